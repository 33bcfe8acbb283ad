// A 25 fps 1600x1200 file played as a person plays it: the player in an
// offscreen window, Play on its control panel, the clock on Qt's loop, each
// frame through the stream proxy, HTTP to the recorder stand-in in a child
// process (as a real recorder is another machine), decoding, the copy into
// the view's picture, scaled on the way straight into the window as the
// view paints (a 1280x1024 player, as on a typical screen).
//
// delivered_fps_ratio: frames shown per second of wall time over a fixed
// number of clock ticks, divided by the file's rate. It falls to 0.5 when a
// tick arriving just before the frame hold ends is skipped every time.
//
// cpu_per_frame_ratio: the viewer's CPU time (every thread of this process:
// player, clock, proxy) per frame shown, divided by the CPU time of decoding
// the same JPEGs with TurboJPEG alone at the file's pace: one decode per
// 40 ms, the thread asleep between, as the proxy decodes while playing. A
// decode in a tight loop keeps caches and branch predictors warm as no
// 25 fps player can; on a small virtual machine the same decode costs 15 to
// 25 % more when paced, so a loop baseline would charge the player for the
// pace itself. The loop's figure is printed too. Eight rounds of 50 ticks each
// follow a round of decoding alone (in a loop, then paced), so that both
// sides of a round's ratio see the same machine; the figure is the median
// of the rounds' ratios. The stand-in's work is the recorder's and is not
// counted; it serves every frame from its cache, warmed first, so that it
// never competes with the viewer for a CPU.
//
// Threads run where the scheduler puts them: the chain is serial, and
// pinned to one CPU the clock shares it with whatever else the machine runs,
// whose bursts then make ticks late. `--pin` keeps every thread on the
// starting CPU instead.
//
// `--link-delay-ms N` puts the stand-in N ms away: every request waits N ms
// there before it is answered, as over a site's network, a VPN or a mobile
// link (the warming and the parts before playing go without it). The
// stream proxy reads ahead; two more rounds then play with its read-ahead
// switched off, for the rate a frame per round trip gives.
//
// readahead_off_ratio: delivered_fps_ratio of those rounds. `--no-read-ahead`
// switches it off for the whole run, to compare with a build without it.
//
// Last line: delivered_fps_ratio=<x> cpu_per_frame_ratio=<y> readahead_off_ratio=<z>

#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <turbojpeg.h>

#include "framework/CFilterIcpClient.h"
#include "framework/CMessageQueueManager.h"
#include "framework/InstanceNames.h"
#include "playback/PlayerRecords.h"
#include "playback/ui/CPlayerControlDlg.h"
#include "playback/ui/CPlayerDlg.h"
#include "playback/ui/CVideoView.h"
#include "platform/Tick.h"
#include "platform/qt/QtQueueDriver.h"
#include "recorder/RecorderServer.h"
#include "remote/HttpRequest.h"
#include "remote/RecorderInterface.h"
#include "remote/RemoteFilter.h"
#include "remote/RemotePlaybackManager.h"
#include "remote/RemoteSession.h"
#include "services/CUserPrivilegeProxy.h"
#include "services/UserAccess.h"
#include "services/ui/CMessageWindowHandle.h"

namespace {

using namespace corvanta;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kRounds = 8;           // decode alone, then play, alternately
constexpr uint32_t kTicksPerRound = 50;   // 2 s at 25 fps; 400 ticks in all
constexpr uint32_t kTicks = kRounds * kTicksPerRound;
constexpr uint32_t kOffRounds = 2;      // with the read-ahead switched off
constexpr uint32_t kWarmFrames = 440;  // cached before playing (the ticks and the open's frame)
constexpr uint32_t kMoreWarmFrames = 140;  // also cached: the rounds without read-ahead, and what is read ahead
constexpr uint32_t kWidth = 1600, kHeight = 1200;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "bench_playback: %s\n", what);
    std::exit(1);
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto s = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return s(usage.ru_utime) + s(usage.ru_stime);
}

double Since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// Runs Qt's loop, which sleeps between events, until `done` or the time-out.
void PumpFor(const std::function<bool()>& done, uint32_t timeoutMs) {
    const uint64_t end = platform::MonotonicMs() + timeoutMs;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || platform::MonotonicMs() >= end) loop.quit();
    });
    check.start(50);
    loop.exec();
}

// What one round of playing measured.
struct Round {
    double wallSeconds = 0, cpuSeconds = 0;
    uint32_t frames = 0;
};

// The player with its clock's ticks counted, a round at a time.
class CountingPlayer : public CPlayerDlg {
public:
    using CPlayerDlg::CPlayerDlg;
    int CB_Timer(uint32_t timer) override {
        if (timer == kClockTimer && counting) {
            const auto now = Clock::now();
            if (ticks == 0) {
                first = now;
                framesAtFirst = FramesShown();
                cpuAtFirst = CpuSeconds();
            } else {
                gapsMs.push_back(std::chrono::duration<double, std::milli>(now - last).count());
            }
            last = now;
            if (ticks == kTicksPerRound) {
                rounds.push_back({std::chrono::duration<double>(now - first).count(), CpuSeconds() - cpuAtFirst,
                                  FramesShown() - framesAtFirst});
                counting = false;
            }
            ++ticks;
        }
        return CPlayerDlg::CB_Timer(timer);
    }
    bool counting = false;
    uint32_t ticks = 0;
    std::vector<Round> rounds;
    std::vector<double> gapsMs;  // between ticks of one round

private:
    Clock::time_point first, last;
    uint32_t framesAtFirst = 0;
    double cpuAtFirst = 0;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
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

const recorder::Recording& LargeRecording(const recorder::DemoArchive& archive) {
    for (const recorder::DemoSource& source : archive.sources())
        if (source.width == kWidth && source.height == kHeight) {
            for (const recorder::Recording& rec : archive.recordings(source.index))
                if (rec.frameCount > kWarmFrames + kMoreWarmFrames + 50) return rec;
        }
    Fail("no long 1600x1200 recording");
}

// The stand-in in a child forked before any thread exists. It writes its
// base URL and the file to play on `report`, then serves until the parent
// closes `hold` or dies. Four bytes on `hold` set its delay per request.
struct RecorderChild {
    pid_t pid = -1;
    int hold = -1;
    std::string baseUrl, fileName;
};

[[noreturn]] void ServeInChild(int report, int hold, bool delayed) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    recorder::RecorderConfig config;
    config.port = 0;
    // Over a slow link the read-ahead keeps several connections busy, as
    // many as a recorder serves by default.
    config.threads = delayed ? 8 : 4;
    config.anchorDate = recorder::CivilDate{2026, 12, 5};
    config.rates = {{"CAM02", 1, 25}};  // the car park's 1600x1200 camera at 25 fps
    config.frames.quality = 75;
    config.frames.readAhead = 0;
    config.frames.cacheBytes = 512u << 20;
    config.log = [](const std::string&) {};
    recorder::RecorderServer server(config);
    std::string error;
    if (!server.start(&error)) Fail(error.c_str());
    const std::string line = server.baseUrl() + "\n" + LargeRecording(server.archive()).fileName + "\n";
    if (write(report, line.data(), line.size()) != ssize_t(line.size())) Fail("cannot report the recorder");
    close(report);
    uint32_t delayMs = 0;
    size_t got = 0;
    for (ssize_t n; got < sizeof delayMs && (n = read(hold, reinterpret_cast<char*>(&delayMs) + got, sizeof delayMs - got)) != 0;)
        if (n > 0) got += size_t(n);
        else if (errno != EINTR) break;
    if (got == sizeof delayMs) server.setFaults({.delayMs = delayMs});
    char byte;
    while (read(hold, &byte, 1) != 0 && errno == EINTR) {
    }
    server.stop();
    _exit(0);
}

RecorderChild StartRecorderChild(bool delayed) {
    int report[2], hold[2];
    if (pipe(report) != 0 || pipe(hold) != 0) Fail("no pipe");
    RecorderChild child;
    child.pid = fork();
    if (child.pid < 0) Fail("cannot fork the recorder");
    if (child.pid == 0) {
        close(report[0]);
        close(hold[1]);
        ServeInChild(report[1], hold[0], delayed);
    }
    close(report[1]);
    close(hold[0]);
    child.hold = hold[1];
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = read(report[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno != EINTR) break;
        if (n > 0) text.append(buffer, size_t(n));
    }
    close(report[0]);
    const size_t eol = text.find('\n');
    if (eol == std::string::npos || text.size() < eol + 2 || text.back() != '\n') Fail("the recorder did not start");
    child.baseUrl = text.substr(0, eol);
    child.fileName = text.substr(eol + 1, text.size() - eol - 2);
    return child;
}

void SetLinkDelay(const RecorderChild& child, uint32_t delayMs) {
    if (write(child.hold, &delayMs, sizeof delayMs) != ssize_t(sizeof delayMs)) Fail("cannot set the link delay");
}

void StopRecorderChild(const RecorderChild& child) {
    close(child.hold);
    int status = 0;
    waitpid(child.pid, &status, 0);
}

int PinToCurrentCpu() {
    const int cpu = sched_getcpu();
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu < 0 ? 0 : cpu, &set);
    if (sched_setaffinity(0, sizeof set, &set) != 0) Fail("cannot keep the benchmark on one CPU");
    return cpu;
}

}  // namespace

int main(int argc, char** argv) {
    bool pin = false;
    int playerWidth = 1280, playerHeight = 1024;
    uint32_t linkDelayMs = 0;
    bool readAhead = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-read-ahead") == 0) {
            readAhead = false;
            continue;
        }
        const bool sized = std::strcmp(argv[i], "--player") == 0 && i + 1 < argc &&
                           std::sscanf(argv[++i], "%dx%d", &playerWidth, &playerHeight) == 2 && playerWidth > 0 &&
                           playerHeight > 0;
        const bool delayed = !sized && std::strcmp(argv[i], "--link-delay-ms") == 0 && i + 1 < argc &&
                             std::sscanf(argv[++i], "%u", &linkDelayMs) == 1 && linkDelayMs <= 2000;
        pin = pin || std::strcmp(argv[i], "--pin") == 0;
        if (!sized && !delayed && std::strcmp(argv[i], "--pin") != 0)
            Fail("usage: bench_playback [--pin] [--player WxH] [--link-delay-ms N] [--no-read-ahead]");
    }
    const int cpu = pin ? PinToCurrentCpu() : -1;  // before any thread exists
    const RecorderChild recorderChild = StartRecorderChild(linkDelayMs > 0);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InstanceNames::SetInstanceNumber(65000 + getpid() % 500);
    CMessageQueueManager queues;
    queues.Start();
    platform::QtQueueDriver driver;

    SetFilterServerURL(recorderChild.baseUrl);
    CRemoteStreamFilter::SetReadAheadEnabled(readAhead);

    {
        CUserPrivilegeProxy privilege;
        if (!privilege.Startup() || !LogIn("demo", "demo").loggedIn) Fail("login refused");
        CRemotePlaybackManager playback;
        playback.Init(CRemotePlaybackManager::MakeDescriptor());
        playback.PublishInfo();

        const std::string& file = recorderChild.fileName;
        CFilterIcpClient manager;
        if (!manager.Open(kPlaybackManagerFilterName) || !manager.SendCommandText(kPlaybackOpenFile, 0, file.c_str()))
            Fail("open refused");
        FileDescription description;
        if (manager.Answer()->dataLength < sizeof description) Fail("short file description");
        std::memcpy(&description, manager.Answer()->data, sizeof description);
        if (description.info.rate != 25 || description.info.scale != 1) Fail("the file is not 25 fps");

        // Warm the stand-in's cache; keep the JPEGs for the baseline.
        std::vector<std::vector<uint8_t>> jpegs;
        size_t jpegBytes = 0;
        for (uint32_t f = 0; f < kWarmFrames; ++f) {
            jpegs.push_back(ServedJpeg(file, f));
            jpegBytes += jpegs.back().size();
        }
        for (uint32_t f = kWarmFrames; f < kWarmFrames + kMoreWarmFrames; ++f) ServedJpeg(file, f);

        // Where a frame's time goes, part by part.
        CFilterIcpClient stream;
        if (!stream.Open(FrameSourceName(file).c_str())) Fail("no stream proxy");
        const double cpuFetch0 = CpuSeconds();
        const auto tFetch = Clock::now();
        for (uint32_t f = 0; f < 60; ++f)
            if (!stream.SendCommand(kFrameSourceGetFrame, f, 0, nullptr, 0)) Fail("frame request failed");
        const double fetchMs = Since(tFetch) * 1000 / 60, fetchCpuMs = (CpuSeconds() - cpuFetch0) * 1000 / 60;
        std::vector<uint8_t> copy(size_t(kWidth) * kHeight * 3);
        const auto tCopy = Clock::now();
        for (int i = 0; i < 60; ++i) std::memcpy(copy.data(), stream.Answer()->data, copy.size());
        const double copyMs = Since(tCopy) * 1000 / 60;
        stream.Close();

        // The baseline: decoding the same JPEGs alone.
        std::vector<uint8_t> output(size_t(kWidth) * kHeight * 3);
        tjhandle decompressor = tjInitDecompress();
        auto decode = [&](const std::vector<uint8_t>& jpeg) {
            if (tjDecompress2(decompressor, jpeg.data(), jpeg.size(), output.data(), int(kWidth), 0, int(kHeight),
                              TJPF_BGR, TJFLAG_BOTTOMUP) != 0)
                Fail("baseline decode failed");
        };
        auto decodeAll = [&] {
            for (const auto& jpeg : jpegs) decode(jpeg);
        };
        // Measured before and after playing, and averaged, so that a change
        // in what else the machine runs weighs on both sides alike.
        auto decodeCpuMs = [&] {
            const double cpu0 = CpuSeconds();
            decodeAll();
            return (CpuSeconds() - cpu0) * 1000 / double(jpegs.size());
        };
        decodeAll();

        // The player as the archive view holds it, on a 1280 x 1024 screen.
        CountingPlayer player(kStandalonePlayerName);
        player.resize(playerWidth, playerHeight);
        player.show();
        if (!player.Create()) Fail("player not registered");
        ui::CMessageWindowHandle owner;
        owner.Create("bench owner", [](uint32_t, platform::WParam, platform::LParam, platform::LResult&) { return false; });
        const PlayerOpenBlock block = MakePlayerOpenBlock(description, 0, file.c_str());
        CFilterIcpClient toPlayer;
        if (!toPlayer.Open(kStandalonePlayerName) ||
            !(toPlayer.SendCommand(kPlayerOpen, owner.Handle(), 1, &block, sizeof block), player.FramesShown() == 1))
            Fail("the player did not open the file");
        PumpFor([] { return false; }, 300);

        // A new frame into the view at the size the player gives it (copied
        // and scaled straight into the window as it is painted), and the
        // same frame painted again (scaled from the kept picture).
        const auto tFrame = Clock::now();
        for (int i = 0; i < 20; ++i) player.View()->SetFrame(copy.data());
        const double newFrameMs = Since(tFrame) * 1000 / 20;
        const auto tPaint = Clock::now();
        for (int i = 0; i < 20; ++i) player.View()->repaint();
        const double paintMs = Since(tPaint) * 1000 / 20;

        // The same frames as the round after it plays, decoded alone at
        // the file's pace on absolute deadlines.
        auto pacedDecodeCpuMs = [&](uint32_t first) {
            const double cpu0 = CpuSeconds();
            auto next = Clock::now();
            for (uint32_t f = 0; f < kTicksPerRound; ++f) {
                decode(jpegs[(first + f) % jpegs.size()]);
                next += std::chrono::milliseconds(40);
                std::this_thread::sleep_until(next);
            }
            return (CpuSeconds() - cpu0) * 1000 / kTicksPerRound;
        };

        SetLinkDelay(recorderChild, linkDelayMs);
        std::vector<double> ratios, loopRatios, decodes, pacedDecodes;
        for (uint32_t r = 0; r < kRounds; ++r) {
            decodes.push_back(decodeCpuMs());
            pacedDecodes.push_back(pacedDecodeCpuMs(r * kTicksPerRound));
            player.ticks = 0;
            player.counting = true;
            player.Panel()->Play();
            PumpFor([&] { return !player.counting; }, kTicksPerRound * 40 * 3);
            player.Panel()->Pause();
            if (player.counting) Fail("the clock stopped");
            const Round& round = player.rounds.back();
            const double perFrameMs = round.cpuSeconds * 1000 / std::max<uint32_t>(round.frames, 1);
            ratios.push_back(perFrameMs / pacedDecodes.back());
            loopRatios.push_back(perFrameMs / decodes.back());
        }
        const std::vector<Round> aheadRounds = player.rounds;
        const size_t aheadGaps = player.gapsMs.size();
        // The same with every frame asked for when the clock ticks.
        CRemoteStreamFilter::SetReadAheadEnabled(false);
        for (uint32_t r = 0; r < kOffRounds; ++r) {
            player.ticks = 0;
            player.counting = true;
            player.Panel()->Play();
            PumpFor([&] { return !player.counting; }, kTicksPerRound * 1000);
            player.Panel()->Pause();
            if (player.counting) Fail("the clock stopped");
        }
        CRemoteStreamFilter::SetReadAheadEnabled(readAhead);
        double offWall = 0;
        uint32_t offShown = 0;
        for (size_t r = aheadRounds.size(); r < player.rounds.size(); ++r) {
            offWall += player.rounds[r].wallSeconds;
            offShown += player.rounds[r].frames;
        }
        player.rounds = aheadRounds;
        player.gapsMs.resize(aheadGaps);
        const CRemoteStreamFilter::Figures figures = CRemoteStreamFilter::ReadAheadFigures();
        toPlayer.SendCommand(kPlayerClose, 0, 0, nullptr, 0);
        player.Shutdown();
        manager.SendCommandText(kPlaybackCloseFile, 0, file.c_str());

        tjDestroy(decompressor);

        // How late the clock's ticks came: lateness is what the rate loses,
        // since each period starts when the last tick was handled.
        std::vector<double>& gaps = player.gapsMs;
        std::sort(gaps.begin(), gaps.end());
        double wall = 0, cpuSeconds = 0;
        uint32_t shown = 0;
        for (const Round& round : player.rounds) {
            wall += round.wallSeconds;
            cpuSeconds += round.cpuSeconds;
            shown += round.frames;
        }
        const double fps = shown / wall;
        const double cpuPerFrameMs = cpuSeconds * 1000 / std::max<uint32_t>(shown, 1);
        std::printf("threads %s %d; file %s, %ux%u at 25 fps, JPEG %zu bytes on average\n", pin ? "all on CPU" : "free, started on CPU", pin ? cpu : sched_getcpu(),
                    file.c_str(), kWidth, kHeight, jpegBytes / jpegs.size());
        std::printf("%u ticks in %u rounds: %u frames shown in %.3f s = %.2f fps; tick gaps median %.2f ms, 95th percentile "
                    "%.2f ms, largest %.2f ms\n",
                    kTicks, kRounds, shown, wall, fps, gaps[gaps.size() / 2], gaps[gaps.size() * 95 / 100], gaps.back());
        const auto [lowest, highest] = std::minmax_element(ratios.begin(), ratios.end());
        const auto [loopLowest, loopHighest] = std::minmax_element(loopRatios.begin(), loopRatios.end());
        std::printf("per frame: CPU %.2f ms in playback; TurboJPEG decode alone %.2f ms CPU at the file's pace, %.2f ms "
                    "in a loop (medians of the rounds)\n",
                    cpuPerFrameMs, Median(pacedDecodes), Median(decodes));
        std::printf("playback per frame against the paced decode: rounds %.3f to %.3f; against the loop: rounds %.3f to "
                    "%.3f, median %.3f\n",
                    *lowest, *highest, *loopLowest, *loopHighest, Median(loopRatios));
        std::printf("parts: fetch (proxy, HTTP, decode, client copy) %.2f ms wall / %.2f ms CPU; a plain copy of the "
                    "frame %.2f ms; a new frame into the %dx%d view (copied, scaled into the window) %.2f ms; the "
                    "same frame painted again %.2f ms\n",
                    fetchMs, fetchCpuMs, copyMs, player.View()->width(), player.View()->height(), newFrameMs, paintMs);
        std::printf("link delay %u ms; frames from the read-ahead %llu (%llu of them waited for), asked when needed %llu, "
                    "requests ahead cancelled %llu (%llu waited for too long); read-ahead off: %u frames in %.3f s = %.2f fps\n",
                    linkDelayMs, static_cast<unsigned long long>(figures.kept + figures.waited),
                    static_cast<unsigned long long>(figures.waited), static_cast<unsigned long long>(figures.direct),
                    static_cast<unsigned long long>(figures.cancelled), static_cast<unsigned long long>(figures.gaveUp), offShown, offWall, offShown / offWall);
        std::printf("delivered_fps_ratio=%.3f cpu_per_frame_ratio=%.3f readahead_off_ratio=%.3f\n", fps / 25.0,
                    Median(ratios), offShown / offWall / 25.0);
        privilege.Close();
        playback.Close();
    }
    StopRecorderChild(recorderChild);
    return 0;
}
