// Frame throughput of the recorder stand-in. Google Benchmark measures the
// pieces (drawing, encoding, serving a cached frame); the final run pulls
// distinct frames of a 1600x1200 file in sequence over loopback from a
// server with one HTTP thread, as a player does, and prints
// frames_per_second_1600x1200=<n> as its last line.

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "archive/ArchiveRecords.h"
#include "playback/PlaybackRecords.h"
#include "recorder/FrameRenderer.h"
#include "recorder/JpegEncoder.h"
#include "recorder/Protocol.h"
#include "recorder/RecorderServer.h"
#include "RecorderClient.h"
#include "services/UserAccessRecords.h"

using namespace corvanta;
using namespace corvanta::recorder;

namespace {

constexpr CivilDate kAnchor{2026, 12, 5};

const Recording& largeRecording(const DemoArchive& archive) {
    for (const DemoSource& s : archive.sources())
        if (s.width == 1600 && s.height == 1200)
            for (const Recording& r : archive.recordings(s.index))
                if (r.frameCount >= 2000) return r;
    std::fprintf(stderr, "no 1600x1200 recording with enough frames\n");
    std::exit(1);
}

using Client = bench::RecorderClient;

struct Session {
    std::string sid;
    std::string sourceName;  // the frame source of the open file
};

Session openLargeFile(RecorderServer& server, Client& client) {
    Session s;
    s.sid = client.logIn("demo", "demo");
    s.sourceName = client.open(s.sid, largeRecording(server.archive()).fileName);
    return s;
}

RecorderConfig benchConfig(uint32_t readAhead) {
    RecorderConfig c;
    c.port = 0;
    c.threads = 1;  // one server thread
    c.anchorDate = kAnchor;
    c.frames.quality = 75;
    c.frames.readAhead = readAhead;
    c.log = [](const std::string&) {};
    return c;
}

// Pulls `count` distinct frames in sequence from a fresh server; frames per second.
double pullFrames(uint32_t readAhead, uint32_t count) {
    RecorderServer server(benchConfig(readAhead));
    if (!server.start()) std::exit(1);
    Client client(server.baseUrl());
    const Session s = openLargeFile(server, client);
    const auto t0 = std::chrono::steady_clock::now();
    for (uint32_t i = 0; i < count; ++i) {
        if (!client.frame(s.sourceName, s.sid, i)) {
            std::fprintf(stderr, "frame %u not served\n", i);
            std::exit(1);
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return count / seconds;
}

void BM_RenderFrame1600x1200(benchmark::State& state) {
    const DemoArchive archive(1, kAnchor);
    const FrameRenderer renderer(archive);
    const Recording& rec = largeRecording(archive);
    RgbImage image;
    uint32_t frame = 0;
    for (auto _ : state) {
        renderer.render(rec, frame++ % rec.frameCount, image);
        benchmark::DoNotOptimize(image.pixels.data());
    }
}
BENCHMARK(BM_RenderFrame1600x1200)->Unit(benchmark::kMillisecond);

void BM_EncodeFrame1600x1200(benchmark::State& state) {
    const DemoArchive archive(1, kAnchor);
    const FrameRenderer renderer(archive);
    const Recording& rec = largeRecording(archive);
    RgbImage image;
    renderer.render(rec, 100, image);
    JpegEncoder encoder;
    size_t bytes = 0;
    for (auto _ : state) bytes = encoder.encode(image.pixels.data(), image.width, image.height, 75).size();
    state.counters["jpeg_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_EncodeFrame1600x1200)->Unit(benchmark::kMillisecond);

void BM_ServeCachedFrame1600x1200(benchmark::State& state) {
    RecorderServer server(benchConfig(0));
    if (!server.start()) std::exit(1);
    Client client(server.baseUrl());
    const Session s = openLargeFile(server, client);
    client.send(s.sourceName, s.sid, kFrameSourceGetFrame, 7, {});
    for (auto _ : state) benchmark::DoNotOptimize(client.send(s.sourceName, s.sid, kFrameSourceGetFrame, 7, {}).size());
}
BENCHMARK(BM_ServeCachedFrame1600x1200)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    constexpr uint32_t kFrames = 400;
    // Everything on the one server thread: draw, encode and send each frame.
    const double single = pullFrames(0, kFrames);
    // As shipped: a worker encodes the frames after the one asked for.
    const double shipped = pullFrames(FrameStoreOptions{}.readAhead, kFrames);
    std::printf("frames_per_second_1600x1200_without_read_ahead=%.0f\n", single);
    std::printf("read_ahead_speedup=%.2f\n", shipped / single);
    std::printf("frames_per_second_1600x1200=%.0f\n", shipped);
    return 0;
}
