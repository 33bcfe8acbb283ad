// The recorder serving a folder of real recordings: how fast it indexes a
// 1080p H.264 file (as a multiple of its duration), how many sequential
// frames per second it serves over loopback of that file and of a 720p MJPEG
// AVI, and the median time of a frame-exact seek. The recordings are made
// with the ffmpeg command first. Last line:
//   index_x_realtime=<a> h264_fps=<b> mjpeg_fps=<c> seek_ms=<d>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "MediaFigures.h"
#include "RecorderClient.h"
#include "recorder/RecorderServer.h"
#include "recorder/folder/FolderArchive.h"

using namespace corvanta;
using namespace corvanta::recorder;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kH264Seconds = 30;
constexpr int kMjpegSeconds = 12;

double secondsSince(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

void make(const std::string& path, const std::string& options) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    const std::string command = "ffmpeg -v error -nostdin -y " + options + " '" + path + "'";
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
}

struct Served {
    std::unique_ptr<RecorderServer> server;
    double indexSeconds = 0;
};

Served serve(const std::string& dir, const std::string& index) {
    RecorderConfig c;
    c.port = 0;
    c.threads = 2;
    c.folder.dir = dir;
    c.folder.indexFile = index;
    c.folder.rescanSeconds = 3600;
    c.users = {UserAccount{"bench", "bench"}};
    c.log = [](const std::string&) {};
    Served s;
    s.server = std::make_unique<RecorderServer>(c);
    const auto t0 = Clock::now();
    std::string error;
    if (!s.server->start(&error) || !s.server->folderArchive()->waitIndexed(600000)) {
        std::fprintf(stderr, "the folder %s was not served: %s\n", dir.c_str(), error.c_str());
        std::exit(1);
    }
    s.indexSeconds = secondsSince(t0);
    return s;
}

// The name of the only file of the only camera, as the archive lists it.
std::string onlyFile(RecorderServer& server) {
    RecordedArchive& archive = server.recorded();
    const auto files = archive.overlapping(0, 0, std::numeric_limits<Seconds>::max() / 2);
    if (files.size() != 1) {
        std::fprintf(stderr, "expected one file, found %zu\n", files.size());
        std::exit(1);
    }
    return files[0]->fileName;
}

double sequentialFps(RecorderServer& server, uint32_t frames) {
    bench::RecorderClient client(server.baseUrl());
    const std::string sid = client.logIn("bench", "bench");
    const std::string source = client.open(sid, onlyFile(server));
    const auto t0 = Clock::now();
    for (uint32_t i = 0; i < frames; ++i) {
        if (!client.frame(source, sid, i)) {
            std::fprintf(stderr, "frame %u not served\n", i);
            std::exit(1);
        }
    }
    return frames / secondsSince(t0);
}

double medianSeekMs(RecorderServer& server, uint32_t frames) {
    bench::RecorderClient client(server.baseUrl());
    const std::string sid = client.logIn("bench", "bench");
    const std::string source = client.open(sid, onlyFile(server));
    std::mt19937 random(7);
    std::vector<double> ms;
    uint32_t last = 0;
    for (int i = 0; i < 40; ++i) {
        uint32_t n = random() % frames;
        if (n > last && n - last < 50) n = (n + frames / 2) % frames;  // a seek, never a short read-on
        const auto t0 = Clock::now();
        if (!client.frame(source, sid, n)) std::exit(1);
        ms.push_back(secondsSince(t0) * 1000);
        last = n;
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

}  // namespace

int main() {
    const std::string root = std::filesystem::temp_directory_path() / ("corvanta-bench-archive-" + std::to_string(getpid()));
    const std::string h264Dir = root + "/h264", mjpegDir = root + "/mjpeg";
    std::fprintf(stderr, "making the recordings...\n");
    make(h264Dir + "/Road/2026/03/04/100000.mp4",
         "-f lavfi -i testsrc2=size=1920x1080:rate=25:duration=" + std::to_string(kH264Seconds) +
             " -c:v libx264 -preset veryfast -g 50 -pix_fmt yuv420p");
    make(mjpegDir + "/Door/2026/03/04/100000.avi",
         "-f lavfi -i testsrc2=size=1280x720:rate=25:duration=" + std::to_string(kMjpegSeconds) +
             " -c:v mjpeg -q:v 4 -pix_fmt yuvj420p");

    // The media layer alone, without HTTP and the index, for comparison.
    const auto direct = recorder::folder::bench::measureMedia(h264Dir + "/Road/2026/03/04/100000.mp4");
    if (direct)
        std::printf("direct_1080p_h264: index_x_realtime=%.1f fps=%.0f seek_ms=%.1f\n", direct->indexTimesRealTime,
                    direct->sequentialFps, direct->medianSeekMs);

    Served h264 = serve(h264Dir, root + "/index.sqlite3");
    const double indexRealtime = kH264Seconds / h264.indexSeconds;
    const double h264Fps = sequentialFps(*h264.server, kH264Seconds * 25);
    const double seekMs = medianSeekMs(*h264.server, kH264Seconds * 25);
    h264.server->stop();

    Served mjpeg = serve(mjpegDir, root + "/index.sqlite3");
    const double mjpegFps = sequentialFps(*mjpeg.server, kMjpegSeconds * 25);
    mjpeg.server->stop();
    std::filesystem::remove_all(root);

    std::printf("index_seconds_1080p_h264_%ds=%.3f\n", kH264Seconds, h264.indexSeconds);
    std::printf("index_x_realtime=%.1f h264_fps=%.0f mjpeg_fps=%.0f seek_ms=%.1f\n", indexRealtime, h264Fps, mjpegFps,
                seekMs);
    return 0;
}
