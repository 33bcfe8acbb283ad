// bench_timeline: what the day timeline costs on screen, offscreen, with
// bars 1600 pixels wide over a full day of varying activity. Rebuild is a
// range change that shows the whole day on both bars: both pictures drawn
// anew and repainted. Hover repaint is one pass of the 5 ms update timer
// after the mouse moved: both markers moved and both bars repainted over
// their cached pictures. The baseline is a repaint of both bars with nothing
// changed. Medians.
//
// Thumbnails, against the recorder stand-in on loopback: from the pointer
// coming to rest on a recorded second of the upper bar (rest time included)
// until the thumbnail has been painted, for seconds of different files,
// nothing cached; median. Then, with every answer of the stand-in delayed,
// the longest interval of a 5 ms timer on the same loop while the pointer
// rests on one second after another and their thumbnails load.

#include <unistd.h>

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "archive/ArchiveNodes.h"
#include "framework/InstanceNames.h"
#include "playback/DayActivity.h"
#include "playback/ThumbnailFetch.h"
#include "playback/ui/CDayTimelineDlg.h"
#include "playback/ui/CRangeSlider.h"
#include "playback/ui/CThumbnailPopup.h"
#include "playback/ui/CTimelineBar.h"
#include "platform/WindowSystem.h"
#include "recorder/RecorderServer.h"
#include "remote/RemoteSession.h"
#include "services/UserAccessRecords.h"

using namespace corvanta;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kBarWidth = 1600;
constexpr int kRuns = 101;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template <typename Fn>
double MedianMs(Fn step) {
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        const auto t0 = Clock::now();
        step(i);
        times.push_back(Ms(Clock::now() - t0));
    }
    return Median(times);
}

// Recorded all day: quiet stretches, bursts of motion, a few gaps.
std::unique_ptr<DayPayload> BusyDay() {
    auto day = std::make_unique<DayPayload>();
    day->year = 2026;
    day->month = 12;
    day->day = 5;
    std::mt19937 rng(5);
    day->activity.resize(kSecondsPerDay);
    for (size_t s = 0; s < day->activity.size(); ++s) {
        const bool moving = (s / 600) % 3 == 0;
        day->activity[s] = uint8_t(moving ? rng() % 201 : (s / 3600) % 7 == 3 ? 255 : 0);
    }
    day->activityDataLength = uint32_t(day->activity.size() + 36);
    return day;
}

void MoveOver(QWidget* bar, int x) {
    const QPointF at(x, 5);
    QCursor::setPos(bar->mapToGlobal(at.toPoint()));
    QMouseEvent move(QEvent::MouseMove, at, bar->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &move);
}

bool LogIn() {
    LoginRecord login{"demo", "demo", {}, 1};
    std::strcpy(login.userKind, kLoginUserKind);
    const std::atomic<bool> never{false};
    RecorderAnswer answer;
    if (!AskRecorder(kUserPrivilegeFilterName, kPrivilegeLogIn, 0, &login, sizeof login, never, answer)) return false;
    SetSessionId(std::string(reinterpret_cast<const char*>(answer.data.data()), strnlen(
        reinterpret_cast<const char*>(answer.data.data()), answer.data.size())));
    return true;
}

// The stand-in's busiest day of its first camera, as the archive tree lists it.
std::unique_ptr<DayPayload> RecordedDay(const recorder::DemoArchive& archive, std::vector<int32_t>& middles) {
    const auto& recordings = archive.recordings(0);
    std::vector<int> perDay(recordings.empty() ? 0 : size_t(recordings.back().stop / recorder::kSecondsPerDay + 1));
    for (const auto& r : recordings) ++perDay[size_t(r.start / recorder::kSecondsPerDay)];
    const recorder::Seconds midnight =
        recorder::Seconds(std::max_element(perDay.begin(), perDay.end()) - perDay.begin()) * recorder::kSecondsPerDay;
    auto day = std::make_unique<DayPayload>();
    for (const recorder::Recording* r : archive.overlapping(0, midnight, midnight + recorder::kSecondsPerDay)) {
        auto node = std::make_unique<ArchiveNode>(NodeKind::Session);
        node->session->start = recorder::toSystemTime(r->start);
        node->session->stop = recorder::toSystemTime(r->stop);
        node->session->fileName = r->fileName;
        node->session->sourceId = archive.sources()[0].id;
        day->sessions.Add(std::move(node));
        if (r->start >= midnight && r->stop < midnight + recorder::kSecondsPerDay)
            middles.push_back(int32_t((r->start + r->stop) / 2 - midnight));
    }
    const recorder::CivilDate date = recorder::dateOf(midnight);
    day->year = uint16_t(date.year);
    day->month = uint16_t(date.month);
    day->day = uint16_t(date.day);
    return day;
}

// Runs Qt's loop until `done` or `timeoutMs`; false on the time-out.
template <typename Done>
bool RunUntil(Done done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

// Shows the whole day on the upper bar; the x of `second` there.
int UpperX(CDayTimelineDlg& timeline, int32_t second) {
    return TimelineScale{0, kDayTimelineSeconds, timeline.UpperBar()->width()}.X(second);
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    InstanceNames::SetInstanceNumber(3500000 + getpid() % 100000);
    QApplication app(argc, argv);

    auto day = BusyDay();
    CDayTimelineDlg timeline;
    timeline.resize(kBarWidth + 2 * CDayTimelineDlg::kBarMargin, 200);
    timeline.show();
    QApplication::processEvents();
    timeline.SetDay(day->year, day->month, day->day, day->activity);
    CTimelineBar* lower = timeline.LowerBar();
    CTimelineBar* upper = timeline.UpperBar();
    if (lower->width() != kBarWidth) {
        std::fprintf(stderr, "bars are %d pixels wide, not %d\n", lower->width(), kBarWidth);
        return 1;
    }

    const double repaint = MedianMs([&](int) {
        lower->Refresh(false);
        upper->Refresh(false);
    });
    // The whole day on both bars: every second of it is mapped twice.
    const double rebuild = MedianMs([&](int i) {
        timeline.RangeSlider()->SetRange(i % 2, kDayTimelineSeconds - i % 2, CDayTimelineDlg::kMinimumGap);
        platform::SendMessage(timeline.Window(), RangeChangedMessage(), kRangeWhole, CDayTimelineDlg::kIdRange);
    });
    const double hover = MedianMs([&](int i) {
        MoveOver(lower, 100 + (i * 37) % 1400);
        timeline.UpdateTick();
    });
    if (lower->HoverMarker() < 0) {
        std::fprintf(stderr, "the hover marker never moved\n");
        return 1;
    }

    recorder::RecorderConfig config;
    config.port = 0;
    config.seed = 7;
    config.log = [](const std::string&) {};
    recorder::RecorderServer server(config);
    if (!server.start()) {
        std::fprintf(stderr, "the recorder stand-in did not start\n");
        return 1;
    }
    SetFilterServerURL(server.baseUrl());
    std::vector<int32_t> seconds;
    auto recorded = RecordedDay(server.archive(), seconds);
    if (!LogIn() || seconds.size() < 3) {
        std::fprintf(stderr, "no login or too few recordings at the stand-in\n");
        return 1;
    }
    timeline.SetSessions(recorded->Handle());
    timeline.SetDay(recorded->year, recorded->month, recorded->day, std::vector<uint8_t>(kSecondsPerDay, 0));
    timeline.RangeSlider()->SetRange(0, kDayTimelineSeconds, CDayTimelineDlg::kMinimumGap);
    platform::SendMessage(timeline.Window(), RangeChangedMessage(), kRangeWhole, CDayTimelineDlg::kIdRange);

    std::vector<double> thumbs;
    for (int32_t second : seconds) {
        MoveOver(upper, UpperX(timeline, second));
        const int32_t hovered = upper->HoverSecond();
        const auto rested = Clock::now();
        if (!RunUntil([&] {
                const CThumbnailPopup* popup = timeline.ThumbnailPopup();
                return popup && popup->ShownSecond() == hovered && popup->PaintedSecond() == hovered;
            }, 5000)) {
            std::fprintf(stderr, "no thumbnail for second %d\n", hovered);
            return 1;
        }
        thumbs.push_back(Ms(Clock::now() - rested));
        MoveOver(lower, 10);  // off the upper bar: the popup goes
        RunUntil([&] { return timeline.ThumbnailPopup()->ShownSecond() == -1; }, 1000);
    }
    const double thumb = Median(thumbs);

    // A slow recorder: the timer keeps its period while thumbnails load. The
    // baseline rests on the same seconds of the lower bar, which has no thumbnails.
    server.setFaults({.delayMs = 300});
    QTimer ticks;
    ticks.setInterval(CDayTimelineDlg::kUpdatePeriodMs);
    QElapsedTimer since;
    double worstTick = 0;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        if (since.isValid()) worstTick = std::max(worstTick, since.nsecsElapsed() / 1e6);
        since.start();
    });
    double worstOf[2] = {0, 0};  // lower bar, upper bar
    for (int round = 0; round < 4; ++round) {
        CTimelineBar* bar = round % 2 ? upper : lower;
        worstTick = 0;
        since.invalidate();
        ticks.start();
        for (size_t i = 0; i < seconds.size(); ++i) {
            MoveOver(bar, UpperX(timeline, seconds[i] + 60 + round));
            RunUntil([] { return false; }, 200);  // rested, the fetch under way, moved on
        }
        ticks.stop();
        worstOf[round % 2] = std::max(worstOf[round % 2], worstTick);
    }
    ticks.stop();
    server.stop();

    std::printf("bars %d px, %d runs: plain repaint of both bars %.3f ms; rebuild %.1fx, hover repaint %.1fx of it\n",
                kBarWidth, kRuns, repaint, rebuild / repaint, hover / repaint);
    std::printf("thumbnails: %zu seconds of different files, rest %lld ms included, median %.1f ms (min %.1f, max %.1f); "
                "5 ms timer's worst interval while a 300 ms slow recorder's thumbnails load %.1f ms, resting on the lower bar %.1f ms\n",
                thumbs.size(), static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   TimelineThumbnails::kRest).count()),
                thumb, *std::min_element(thumbs.begin(), thumbs.end()), *std::max_element(thumbs.begin(), thumbs.end()),
                worstOf[1], worstOf[0]);
    std::printf("rebuild_ms=%.3f hover_repaint_ms=%.3f thumb_ms=%.1f slow_tick_worst_ms=%.1f\n", rebuild, hover, thumb,
                worstOf[1]);
    return 0;
}
