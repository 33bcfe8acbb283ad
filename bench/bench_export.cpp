// Export speed as a multiple of real time: one minute (1500 frames) of the
// demo's 704x576 25 fps entrance camera, exported from the recorder stand-in
// in this process over loopback, the way the viewer exports: its own
// connection, frames asked one after another as fast as they come.
//
// The stand-in renders and encodes demo frames on demand, which costs more
// than a real recorder reading them from disk; the frames are therefore
// fetched once before measuring, so the stand-in serves them from its cache
// and what is measured is the exporter. MJPEG is the median of 5 runs, H.264
// of 3.
//
// With --link-delay-ms N every request to the stand-in is held N ms, as a
// link that far away would; the export asks frames ahead on several
// connections, so it keeps well above one frame per round trip.
//
// Last line: mjpeg_x_realtime=<a> h264_x_realtime=<b>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "playback/PlaybackRecords.h"
#include "playback/export/CVideoExporter.h"
#include "recorder/RecorderServer.h"
#include "remote/RawRecorderChannel.h"
#include "services/UserAccessRecords.h"

namespace {

using namespace corvanta;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kFrames = 1500;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "bench_export: %s\n", what.c_str());
    std::exit(1);
}

std::string LogIn(const std::string& baseUrl) {
    CRawRecorderChannel channel(baseUrl, "");
    LoginRecord login{"demo", "demo", {}, 1};
    std::strcpy(login.userKind, kLoginUserKind);
    if (!channel.Command(kUserPrivilegeFilterName, kPrivilegeLogIn, 0, 0,
                         {reinterpret_cast<const uint8_t*>(&login), sizeof login}))
        Fail("login refused");
    const auto id = channel.Data();
    return std::string(reinterpret_cast<const char*>(id.data()), strnlen(reinterpret_cast<const char*>(id.data()), id.size()));
}

void Warm(const std::string& baseUrl, const std::string& session, const std::string& fileName) {
    CRawRecorderChannel channel(baseUrl, session);
    std::vector<uint8_t> name(fileName.begin(), fileName.end());
    name.push_back(0);
    if (!channel.Command(kPlaybackManagerFilterName, kPlaybackOpenFile, 0, 0, name)) Fail("open refused");
    for (uint32_t i = 0; i < kFrames; ++i)
        if (!channel.GetFrame(fileName, i)) Fail("frame refused");
    channel.Command(kPlaybackManagerFilterName, kPlaybackCloseFile, 0, 0, name);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Multiples of real time of `runs` exports.
double Measure(const ExportJob& job, int runs, double videoSeconds) {
    std::vector<double> ratios;
    for (int i = 0; i < runs; ++i) {
        std::atomic<bool> cancel{false};
        const auto t0 = Clock::now();
        const ExportResult result = CVideoExporter().Run(job, {}, cancel);
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        if (!result.ok || result.framesWritten != kFrames) Fail("export failed: " + result.error);
        std::error_code ignored;
        std::printf("  %s: %u frames in %.2f s (%.0f frames/s, %.1f MB)\n",
                    job.format == ExportFormat::MjpegAvi ? "mjpeg" : "h264", kFrames, seconds, kFrames / seconds,
                    double(std::filesystem::file_size(job.outputPath, ignored)) / 1e6);
        ratios.push_back(videoSeconds / seconds);
        std::filesystem::remove(job.outputPath, ignored);
    }
    return Median(ratios);
}

}  // namespace

int main(int argc, char** argv) {
    uint32_t linkDelayMs = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--link-delay-ms") == 0 && i + 1 < argc)
            linkDelayMs = uint32_t(std::strtoul(argv[++i], nullptr, 10));
        else
            Fail(std::string("usage: bench_export [--link-delay-ms N], not ") + argv[i]);
    }
    recorder::RecorderServer server(recorder::RecorderConfig{
        .port = 0, .seed = 1, .anchorDate = recorder::CivilDate{2024, 3, 2},
        .frames = {.cacheBytes = size_t{512} << 20, .readAhead = 8}, .folder = {}, .sessions = {}, .faults = {},
        .log = [](const std::string&) {}});
    std::string error;
    if (!server.start(&error)) Fail(error);
    const recorder::DemoSource* entrance = nullptr;
    for (const auto& s : server.archive().sources())
        if (s.width == 704 && s.height == 576 && s.rate == 25 * s.scale && !server.archive().recordings(s.index).empty())
            entrance = &s;
    if (!entrance) Fail("no 704x576 25 fps recording");
    const recorder::Recording& rec = server.archive().recordings(entrance->index).front();
    if (rec.frameCount < kFrames) Fail("recording too short");
    const std::string session = LogIn(server.baseUrl());
    Warm(server.baseUrl(), session, rec.fileName);
    if (linkDelayMs) server.setFaults({.delayMs = linkDelayMs});

    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "corvanta-bench-export";
    std::filesystem::create_directories(folder);
    ExportJob job;
    job.serverUrl = server.baseUrl();
    job.sessionId = session;
    ExportPiece piece;
    piece.fileName = rec.fileName;
    piece.sourceId = entrance->id;
    piece.start = recorder::toSystemTime(rec.start);
    piece.stop = recorder::toSystemTime(rec.stop);
    piece.lastFrame = kFrames - 1;
    job.pieces = {piece};
    const double videoSeconds = double(kFrames) * entrance->scale / entrance->rate;

    job.format = ExportFormat::MjpegAvi;
    job.outputPath = (folder / "bench.avi").string();
    const double mjpeg = Measure(job, 5, videoSeconds);
    job.format = ExportFormat::H264Mp4;
    job.outputPath = (folder / "bench.mp4").string();
    const double h264 = Measure(job, 3, videoSeconds);
    std::filesystem::remove_all(folder);
    if (linkDelayMs)
        std::printf("one frame per round trip would be %.2fx real time\n",
                    1000.0 / linkDelayMs * entrance->scale / entrance->rate);
    std::printf("mjpeg_x_realtime=%.1f h264_x_realtime=%.1f\n", mjpeg, h264);
    return 0;
}
