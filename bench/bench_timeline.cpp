// bench_timeline: what the day timeline costs on screen, offscreen, with
// bars 1600 pixels wide over a full day of varying activity. Rebuild is a
// range change that shows the whole day on both bars: both pictures drawn
// anew and repainted. Hover repaint is one pass of the 5 ms update timer
// after the mouse moved: both markers moved and both bars repainted over
// their cached pictures. The baseline is a repaint of both bars with nothing
// changed. Medians.

#include <unistd.h>

#include <QApplication>
#include <QMouseEvent>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "archive/ArchiveNodes.h"
#include "framework/InstanceNames.h"
#include "playback/DayActivity.h"
#include "playback/ui/CDayTimelineDlg.h"
#include "playback/ui/CRangeSlider.h"
#include "playback/ui/CTimelineBar.h"
#include "platform/WindowSystem.h"

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
    QMouseEvent move(QEvent::MouseMove, at, bar->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &move);
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
    std::printf("bars %d px, %d runs: plain repaint of both bars %.3f ms; rebuild %.1fx, hover repaint %.1fx of it\n",
                kBarWidth, kRuns, repaint, rebuild / repaint, hover / repaint);
    std::printf("rebuild_ms=%.3f hover_repaint_ms=%.3f\n", rebuild, hover);
    return 0;
}
