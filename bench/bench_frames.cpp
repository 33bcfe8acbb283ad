// Frames through the whole channel against plain decoding of the same bytes.
//
// The chain: a player-side CFilterIcpClient sends command 6 to the stream
// proxy that "AVIPlayback Manager" made for an open file; the proxy sends
// the Message request over a kept-alive loopback connection to the recorder
// stand-in in this process, decodes the JPEG answer into its answer region,
// and the client copies the answer out. The stand-in serves every frame
// from its cache (warmed first, read-ahead off), so the client side is what
// is measured. The baseline decodes the same JPEG bytes with TurboJPEG into
// the same pixel layout. Rounds alternate between the two so both see the
// same machine load; the median of the per-round ratios is reported.
//
// The whole process runs on one CPU. The chain is serial (the caller waits
// for the proxy, the proxy for the stand-in), so it loses no parallelism,
// and both arms then run on the same CPU. Left free on a virtual machine,
// the chain's threads land on CPUs whose speed and wake-up latency change
// from second to second independently of the baseline's, and the ratio
// measured the host more than the client.
//
// Last line: chain_ratio_1600=<x> chain_ratio_704=<y> fps_1600=<n>

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <turbojpeg.h>

#include "framework/CFilterIcpClient.h"
#include "framework/CMessageQueueManager.h"
#include "framework/FilterCodes.h"
#include "framework/InstanceNames.h"
#include "platform/Tick.h"
#include "recorder/RecorderServer.h"
#include "remote/HttpRequest.h"
#include "remote/RecorderInterface.h"
#include "remote/RemotePlaybackManager.h"
#include "remote/RemoteSession.h"

namespace {

using namespace corvanta;
using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "bench_frames: %s\n", what);
    std::exit(1);
}

bool WaitForQueue(const std::string& name) {
    for (int i = 0; i < 3000; ++i) {
        if (CMessageQueueManager::FindQueue(name) != 0) return true;
        platform::SleepMs(1);
    }
    return false;
}

void LogIn() {
    CRemoteFilter privilege;
    privilege.Init(CFilterDescriptor{.name = kUserPrivilegeFilterName, .classCode = kFilterClassService,
                                     .typeCode = kFilterTypeUserAccess, .version = "1.0.0", .queryCapacity = 64000,
                                     .answerCapacity = 64000});
    if (!WaitForQueue(kUserPrivilegeFilterName)) Fail("privilege proxy not registered");
    CFilterIcpClient client;
    LoginRecord login{};
    std::strcpy(login.userName, "demo");
    std::strcpy(login.password, "demo");
    std::strcpy(login.userKind, kLoginUserKind);
    login.one = 1;
    if (!client.Open(kUserPrivilegeFilterName) || !client.SendCommand(kPrivilegeLogIn, 0, 0, &login, sizeof login))
        Fail("login refused");
    const IcpRecord* answer = client.Answer();
    const char* id = reinterpret_cast<const char*>(answer->data);
    SetSessionId(std::string(id, strnlen(id, answer->dataLength)));
}

// The JPEG the stand-in serves for a frame, fetched without the proxy.
std::vector<uint8_t> ServedJpeg(const std::string& fileName, uint32_t frame) {
    std::vector<uint8_t> record(kIcpOverhead, 0);
    auto* query = reinterpret_cast<IcpRecord*>(record.data());
    query->kind = kIcpCommand;
    query->code = kFrameSourceGetFrame;
    query->param1 = frame;
    std::string url;
    AppendMessageRequestUrl(url, FrameSourceName(fileName), query, 0);
    CHttpRequest request;
    if (!request.Get(url) || request.ReceivedCount() < kIcpHeaderSize) Fail("frame not served");
    IcpHeader header;
    std::memcpy(&header, request.Buffer(), kIcpHeaderSize);
    if (header.encoding != kIcpEncodingPicture || header.dataLength > request.ReceivedCount() - kIcpHeaderSize)
        Fail("frame answer is no picture");
    const uint8_t* jpeg = request.Buffer() + kIcpHeaderSize;
    return std::vector<uint8_t>(jpeg, jpeg + header.dataLength);
}

struct Result {
    double ratio = 0;
    double chainMs = 0;   // per frame, median round
    double decodeMs = 0;  // per frame, median round
    size_t jpegBytes = 0; // average
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Pulls `frames` distinct frames of `rec` through the chain and decodes the
// same JPEGs directly, `perRound` frames per arm and round.
Result Measure(CFilterIcpClient& manager, const recorder::Recording& rec, uint32_t width, uint32_t height,
               uint32_t frames, uint32_t perRound, int rounds) {
    if (!manager.SendCommandText(kPlaybackOpenFile, 0, rec.fileName.c_str())) Fail("open refused");
    const std::string proxyName = FrameSourceName(rec.fileName);
    if (!WaitForQueue(proxyName)) Fail("stream proxy not registered");
    CFilterIcpClient stream;
    if (!stream.Open(proxyName.c_str())) Fail("stream proxy cannot be opened");
    frames = std::min(frames, rec.frameCount);
    perRound = std::min(perRound, frames);

    // Warm the stand-in's cache and every buffer on the way.
    std::vector<std::vector<uint8_t>> jpegs;
    size_t jpegBytes = 0;
    for (uint32_t f = 0; f < frames; ++f) {
        if (!stream.SendCommand(kFrameSourceGetFrame, f, 0, nullptr, 0)) Fail("frame request failed");
        if (stream.Answer()->dataLength != width * height * 3) Fail("frame of the wrong size");
        jpegs.push_back(ServedJpeg(rec.fileName, f));
        jpegBytes += jpegs.back().size();
    }

    std::vector<uint8_t> output(size_t(width) * height * 3);
    tjhandle decompressor = tjInitDecompress();
    auto decode = [&](uint32_t first) {
        for (uint32_t i = 0; i < perRound; ++i) {
            const std::vector<uint8_t>& jpeg = jpegs[(first + i) % frames];
            if (tjDecompress2(decompressor, jpeg.data(), jpeg.size(), output.data(), int(width), 0, int(height),
                              TJPF_BGR, TJFLAG_BOTTOMUP) != 0)
                Fail("baseline decode failed");
        }
    };
    auto pull = [&](uint32_t first) {
        for (uint32_t i = 0; i < perRound; ++i) {
            if (!stream.SendCommand(kFrameSourceGetFrame, (first + i) % frames, 0, nullptr, 0))
                Fail("frame request failed");
        }
    };
    auto seconds = [](Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); };
    decode(0);

    // Short rounds, each arm first in every other one, so both arms of a
    // round meet the same load on a shared machine.
    std::vector<double> ratios, chain, plain;
    for (int round = 0; round < rounds; ++round) {
        const uint32_t first = uint32_t(round) * perRound % frames;
        auto timed = [&](auto& arm) {
            const auto t0 = Clock::now();
            arm(first);
            return seconds(t0, Clock::now());
        };
        double chainSeconds, plainSeconds;
        if (round % 2 == 0) {
            chainSeconds = timed(pull);
            plainSeconds = timed(decode);
        } else {
            plainSeconds = timed(decode);
            chainSeconds = timed(pull);
        }
        ratios.push_back(chainSeconds / plainSeconds);
        chain.push_back(chainSeconds * 1000.0 / perRound);
        plain.push_back(plainSeconds * 1000.0 / perRound);
    }
    tjDestroy(decompressor);
    stream.Close();
    manager.SendCommandText(kPlaybackCloseFile, 0, rec.fileName.c_str());
    return Result{Median(ratios), Median(chain), Median(plain), jpegBytes / frames};
}

const recorder::Recording& RecordingOfSize(const recorder::DemoArchive& archive, uint32_t width, uint32_t height) {
    for (const recorder::DemoSource& source : archive.sources()) {
        if (source.width == width && source.height == height && !archive.recordings(source.index).empty())
            return archive.recordings(source.index).front();
    }
    Fail("no recording of the wanted size");
}

}  // namespace

// Before any thread exists, so every thread of the chain inherits it.
int PinToCurrentCpu() {
    const int cpu = sched_getcpu();
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu < 0 ? 0 : cpu, &set);
    if (sched_setaffinity(0, sizeof set, &set) != 0) Fail("cannot keep the benchmark on one CPU");
    return cpu;
}

int main() {
    const int cpu = PinToCurrentCpu();
    InstanceNames::SetInstanceNumber(60000 + getpid() % 5000);
    CMessageQueueManager queues;
    queues.Start();

    recorder::RecorderConfig config;
    config.port = 0;
    config.threads = 2;
    config.anchorDate = recorder::CivilDate{2026, 12, 5};
    config.frames.quality = 75;
    config.frames.readAhead = 0;
    config.frames.cacheBytes = 256u << 20;
    config.log = [](const std::string&) {};
    recorder::RecorderServer server(config);
    std::string error;
    if (!server.start(&error)) Fail(error.c_str());
    SetFilterServerURL(server.baseUrl());
    LogIn();

    CRemotePlaybackManager playback;
    playback.Init(CRemotePlaybackManager::MakeDescriptor());
    playback.PublishInfo();
    if (!WaitForQueue(kPlaybackManagerFilterName)) Fail("playback manager not registered");
    CFilterIcpClient manager;
    if (!manager.Open(kPlaybackManagerFilterName)) Fail("playback manager cannot be opened");

    const Result large = Measure(manager, RecordingOfSize(server.archive(), 1600, 1200), 1600, 1200, 48, 8, 41);
    const Result small = Measure(manager, RecordingOfSize(server.archive(), 704, 576), 704, 576, 96, 24, 41);

    std::printf("all threads on CPU %d\n", cpu);
    std::printf("1600x1200: chain %.3f ms, decode %.3f ms per frame, JPEG %zu bytes\n", large.chainMs,
                large.decodeMs, large.jpegBytes);
    std::printf("704x576: chain %.3f ms, decode %.3f ms per frame, JPEG %zu bytes\n", small.chainMs, small.decodeMs,
                small.jpegBytes);
    std::printf("chain_ratio_1600=%.3f chain_ratio_704=%.3f fps_1600=%.0f\n", large.ratio, small.ratio,
                1000.0 / large.chainMs);
    return 0;
}
