// Thumbnails on the day timeline's upper bar, against the recorder stand-in.

#include <gtest/gtest.h>

#include <QCursor>
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <cstring>

#include "playback/DayActivity.h"
#include "playback/ThumbnailFetch.h"
#include "playback/ui/CDayTimelineDlg.h"
#include "playback/ui/CRangeSlider.h"
#include "playback/ui/CThumbnailPopup.h"
#include "playback/ui/CTimelineBar.h"
#include "playback/ui/PlayerTestSupport.h"
#include "platform/WindowSystem.h"
#include "services/UserAccessRecords.h"
#include "services/recorder_world.h"

namespace corvanta {
namespace {

using recorder::Seconds;
using test::PumpUntil;

void LogIn() {
    LoginRecord login{"demo", "demo", {}, 1};
    std::strcpy(login.userKind, kLoginUserKind);
    const std::atomic<bool> never{false};
    RecorderAnswer answer;
    ASSERT_TRUE(AskRecorder(kUserPrivilegeFilterName, kPrivilegeLogIn, 0, &login, sizeof login, never, answer));
    const char* id = reinterpret_cast<const char*>(answer.data.data());
    SetSessionId(std::string(id, strnlen(id, answer.data.size())));
}

// A day of source 0 with a recording that starts and ends on it and a gap
// of at least ten minutes after it; the timeline shows that day in the lower
// part of a window, as the motion history view holds it.
class DayTimelineThumbnailTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(recorder.Started());
        ASSERT_NO_FATAL_FAILURE(LogIn());
        const recorder::DemoArchive& archive = recorder.Server().archive();
        const auto& recordings = archive.recordings(0);
        for (size_t i = 0; i + 1 < recordings.size() && !rec; ++i) {
            const recorder::Recording& r = recordings[i];
            if (recorder::dateOf(r.start) == recorder::dateOf(r.stop + 600) && recordings[i + 1].start >= r.stop + 600)
                rec = &r;
        }
        ASSERT_NE(nullptr, rec);
        midnight = recorder::startOfDay(recorder::dateOf(rec->start));
        for (const recorder::Recording* r : archive.overlapping(0, midnight, midnight + recorder::kSecondsPerDay)) {
            auto node = std::make_unique<ArchiveNode>(NodeKind::Session);
            node->session->start = recorder::toSystemTime(r->start);
            node->session->stop = recorder::toSystemTime(r->stop);
            node->session->fileName = r->fileName;
            node->session->sourceId = archive.sources()[0].id;
            day.sessions.Add(std::move(node));
        }
        const recorder::CivilDate date = recorder::dateOf(rec->start);
        window.resize(640 + 2 * CDayTimelineDlg::kBarMargin, 480);
        timeline.setGeometry(0, 160, window.width(), 320);
        window.show();
        timeline.SetSessions(day.Handle());
        timeline.SetDay(date.year, int(date.month), int(date.day), std::vector<uint8_t>(kSecondsPerDay, 0));
        // The recording and the gap after it on the upper bar.
        range = {int32_t(rec->start - midnight), int32_t(rec->stop - midnight) + 600};
        timeline.RangeSlider()->SetRange(range.first, range.second, CDayTimelineDlg::kMinimumGap);
        platform::SendMessage(timeline.Window(), RangeChangedMessage(), kRangeWhole, CDayTimelineDlg::kIdRange);
    }
    // Moves the pointer onto the upper bar over `second`; the second the bar reads there.
    int32_t Point(int32_t second) {
        CTimelineBar* upper = timeline.UpperBar();
        const TimelineScale scale{range.first, range.second, upper->width()};
        const int x = scale.X(second);
        QCursor::setPos(upper->mapToGlobal(QPoint(x, 8)));
        test::Mouse(*upper, QEvent::MouseMove, x);
        return upper->HoverSecond();
    }
    int32_t Shown() const { return timeline.ThumbnailPopup() ? timeline.ThumbnailPopup()->ShownSecond() : -1; }
    // Runs Qt's loop for `ms`; the longest gap between two update ticks in that time.
    double RunTicks(int ms) {
        QElapsedTimer clock;
        clock.start();
        double worst = 0;
        qint64 last = clock.nsecsElapsed();
        QMetaObject::Connection tick = QObject::connect(&ticks, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            worst = std::max(worst, double(now - last) / 1e6);
            last = now;
        });
        PumpUntil([] { return false; }, uint32_t(ms));
        QObject::disconnect(tick);
        return worst;
    }

    test::PlayerWorld world;
    test::RecorderWorld recorder;
    DayPayload day;
    QWidget window;
    CDayTimelineDlg timeline{&window};
    QTimer ticks;  // a second 5 ms timer on the same loop stands in for the dialog's
    const recorder::Recording* rec = nullptr;
    Seconds midnight = 0;
    std::pair<int32_t, int32_t> range;
};

TEST_F(DayTimelineThumbnailTest, ARecordedSecondShowsItsPictureBesideThePointerAndAGapShowsNone) {
    const int32_t second = Point(range.first + 300);
    ASSERT_TRUE(PumpUntil([&] { return Shown() == second; }, 10000));
    CThumbnailPopup* popup = timeline.ThumbnailPopup();
    ASSERT_TRUE(PumpUntil([&] { return popup->PaintedSecond() == second; }, 5000));
    // Beside the pointer, inside the window, about 160 pixels of picture wide.
    EXPECT_EQ(&window, popup->parentWidget());
    EXPECT_TRUE(window.rect().contains(popup->geometry()));
    EXPECT_FALSE(popup->geometry().contains(window.mapFromGlobal(QCursor::pos())));
    EXPECT_GE(popup->width(), CThumbnailPopup::kPictureWidth);
    EXPECT_LT(popup->width(), CThumbnailPopup::kPictureWidth + 20);
    // A picture of the camera, not an empty box: more than a few colours.
    const QImage shown = popup->grab().toImage();
    QSet<QRgb> colours;
    for (int y = 4; y < shown.height() / 2; y += 3)
        for (int x = 4; x < shown.width() - 4; x += 3) colours.insert(shown.pixel(x, y));
    EXPECT_GT(colours.size(), 8);
    EXPECT_EQ(1u, timeline.Thumbnails().Cached());
    popup->window()->grab().save(SCREENSHOT_DIR "/day_timeline_thumbnail.png");

    // The gap after the recording: no picture and nothing asked of the recorder.
    const uint64_t started = timeline.Thumbnails().Started();
    const uint64_t requests = recorder.Requests();
    const int32_t gap = Point(range.second - 300);
    ASSERT_TRUE(PumpUntil([&] { return Shown() == -1; }, 5000));
    RunTicks(400);
    EXPECT_EQ(-1, Shown());
    EXPECT_EQ(gap, timeline.UpperBar()->HoverMarker());
    EXPECT_EQ(started, timeline.Thumbnails().Started());
    EXPECT_EQ(requests, recorder.Requests());

    // Back on the recorded second: from the cache, without a request.
    EXPECT_EQ(second, Point(range.first + 300));
    ASSERT_TRUE(PumpUntil([&] { return Shown() == second; }, 5000));
    EXPECT_EQ(requests, recorder.Requests());

    // The window stays when the timeline is hidden (the view plays a file): the popup goes with the timeline.
    timeline.hide();
    EXPECT_FALSE(popup->isVisible());
    RunTicks(100);
    EXPECT_FALSE(popup->isVisible());
}

// A recorder that refuses or answers slowly: no picture, and the bar goes
// on following the pointer; the ticks' worst interval is recorded, not judged.
TEST_F(DayTimelineThumbnailTest, ARefusingOrSlowRecorderShowsNothingAndDoesNotHoldTheBar) {
    ticks.setInterval(CDayTimelineDlg::kUpdatePeriodMs);
    ticks.start();
    recorder.Server().setFaults({.emptyShare = 1});
    Point(range.first + 100);
    ASSERT_TRUE(PumpUntil([&] { return timeline.Thumbnails().Started() == 1 && timeline.Thumbnails().Running() == 0; },
                          10000));
    RunTicks(200);
    EXPECT_EQ(-1, Shown());

    recorder.Server().setFaults({.delayMs = 400});
    for (int32_t s : {range.first + 200, range.first + 400, range.first + 600}) {
        const int32_t hovered = Point(s);
        const double worst = RunTicks(250);  // longer than the rest, shorter than an answer
        ::testing::Test::RecordProperty("worst_tick_ms_" + std::to_string(s - range.first), std::to_string(worst));
        EXPECT_EQ(hovered, timeline.UpperBar()->HoverMarker());
        EXPECT_EQ(-1, Shown());
    }
    EXPECT_LE(timeline.Thumbnails().Running(), TimelineThumbnails::kWorkers);
    EXPECT_GE(timeline.Thumbnails().CancelledCount(), 2u);
    // Resting on the last one long enough shows it once the slow answers came.
    const int32_t last = timeline.UpperBar()->HoverSecond();
    ASSERT_TRUE(PumpUntil([&] { return Shown() == last; }, 10000));
}

}  // namespace
}  // namespace corvanta
