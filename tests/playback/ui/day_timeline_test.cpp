// The day timeline rendered offscreen: a day's columns on both bars, hover
// and click markers, the time texts, and clicks that play through stand-in
// filters.

#include <gtest/gtest.h>

#include <QCursor>
#include <QLineEdit>
#include <QLocale>
#include <QTest>

#include "playback/DayTimelineFakes.h"
#include "playback/ui/CDayTimelineDlg.h"
#include "playback/ui/CRangeSlider.h"
#include "playback/ui/CTimelineBar.h"
#include "playback/ui/PlayerTestSupport.h"
#include "WidgetTestSupport.h"

namespace corvanta {
namespace {

using test::At;
using test::Mouse;
constexpr QRgb kGrey = 0x969696, kRed = 0xFA6464, kBlue = 0x6464FA, kGreen = 0x64FA64, kHover = 0xDC141E;

class DayTimelineTest : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        // Bars 480 pixels wide: a column of the whole day is 180 seconds.
        timeline.resize(480 + 2 * CDayTimelineDlg::kBarMargin, 200);
        timeline.show();
    }
    void TearDown() override { QLocale::setDefault(saved); }

    // Shows day 5: C from the day before up to 00:30, A 08:00 to 09:00; the
    // activity is 0 except 00:10 to 00:20 (200) and 08:30 to 09:00 (100).
    void ShowDay(std::vector<uint8_t> activity = {}) {
        if (activity.empty()) {
            activity.assign(kSecondsPerDay, 0);
            std::fill(activity.begin() + 600, activity.begin() + 1200, 200);
            std::fill(activity.begin() + 30600, activity.begin() + 32400, 100);
        }
        day = test::MakeDay(5, {{"C", 4, 82800, 5, 1800}, {"A", 5, 28800, 5, 32400}}, activity);
        timeline.SetSessions(day->Handle());
        timeline.SetDay(2026, 12, 5, day->activity);
    }
    // The colour of column x and the height of its bar.
    std::pair<QRgb, int> Column(CTimelineBar* bar, int x) {
        const QImage shown = bar->grab().toImage();
        const int h = shown.height();
        int height = 0;
        while (height < h && At(shown, x, h - 1 - height) != kGrey) ++height;
        return {At(shown, x, h - 1), height};
    }
    // As a drag of the slider would: the range, then the slider's notification.
    void ChooseRange(double left, double right) {
        timeline.RangeSlider()->SetRange(left, right, CDayTimelineDlg::kMinimumGap);
        platform::SendMessage(timeline.Window(), RangeChangedMessage(), kRangeWhole, CDayTimelineDlg::kIdRange);
    }
    QString Text(int id) { return timeline.ControlAs<QLineEdit>(id)->text(); }

    QLocale saved;
    test::PlayerWorld world;
    std::unique_ptr<DayPayload> day;
    CDayTimelineDlg timeline;
};

TEST_F(DayTimelineTest, ADayShowsRecordingAndActivityOnBothBars) {
    ShowDay();
    CTimelineBar* lower = timeline.LowerBar();
    ASSERT_EQ(480, lower->width());
    const int h = lower->height(), full = (h - 5) * 100 / 200 + 5;
    // x = 480 * s / 86399: 00:15 -> 5, 00:45 -> 15, 08:15 -> 165, 08:45 -> 175, 20:00 -> 400.
    struct Case {
        int x;
        std::pair<QRgb, int> column;
    };
    for (const Case& c : {Case{5, {kGreen, h}}, {15, {kRed, 2}}, {165, {kBlue, 3}}, {175, {kGreen, full}},
                          {400, {kRed, 2}}})
        EXPECT_EQ(c.column, Column(lower, c.x)) << c.x;
    // The upper bar shows the hour around noon: nothing recorded.
    EXPECT_EQ(std::pair(kRed, 2), Column(timeline.UpperBar(), 240));
    EXPECT_EQ(QStringLiteral("05.12.26 11:30:00"), Text(CDayTimelineDlg::kIdLeftText));
    EXPECT_EQ(QStringLiteral("05.12.26 12:30:00"), Text(CDayTimelineDlg::kIdRightText));

    // 08:00 to 09:00 chosen: the upper bar is blue, then green from 08:30.
    ChooseRange(28800, 32400);
    EXPECT_EQ(std::pair(kBlue, 3), Column(timeline.UpperBar(), 100));
    EXPECT_EQ(std::pair(kGreen, full), Column(timeline.UpperBar(), 300));
    EXPECT_EQ(QStringLiteral("05.12.26 08:00:00"), Text(CDayTimelineDlg::kIdLeftText));
    EXPECT_TRUE(timeline.grab().save(SCREENSHOT_DIR "/day_timeline.png"));
}

TEST_F(DayTimelineTest, HoverMarksBothBarsAndLeavingClearsIt) {
    ShowDay();
    CTimelineBar* lower = timeline.LowerBar();
    QCursor::setPos(lower->mapToGlobal(QPoint(240, 8)));
    Mouse(*lower, QEvent::MouseMove, 240);  // 240 / (480 / 86399) = 43199.5: 11:59:59
    ASSERT_TRUE(QTest::qWaitFor([&] { return timeline.UpperBar()->HoverMarker() == 43199; }, 5000));
    EXPECT_EQ(43199, lower->HoverMarker());
    EXPECT_EQ(QStringLiteral("05.12.26 11:59:59"), Text(CDayTimelineDlg::kIdMiddleText));
    EXPECT_EQ(QStringLiteral("43199"), Text(CDayTimelineDlg::kIdHoverNumber));
    // On the upper bar (11:29:59 to 12:29:59 over 480 pixels) the marker is at 240.
    const int middle = timeline.UpperBar()->height() / 2;
    EXPECT_EQ(kHover, At(timeline.UpperBar()->grab().toImage(), 240, middle));

    QCursor::setPos(timeline.mapToGlobal(QPoint(-50, -50)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return lower->HoverMarker() == -1; }, 5000));
    EXPECT_EQ(-1, timeline.UpperBar()->HoverMarker());
    EXPECT_EQ(QString(), Text(CDayTimelineDlg::kIdMiddleText));
    EXPECT_NE(kHover, At(timeline.UpperBar()->grab().toImage(), 240, middle));
}

TEST_F(DayTimelineTest, AClickPlaysTheCoveringFileFromThatSecond) {
    test::FakeManager manager({"A"});
    test::FakeArchive archive;
    test::FakeFilter player(kHistoryPlayerName);
    std::vector<uint32_t> table(3601, kNoFrameInSecond);
    table[901] = 22525;
    archive.SetTable(28800, table);
    ShowDay();
    ChooseRange(28800, 32400);
    Mouse(*timeline.UpperBar(), QEvent::MouseButtonPress, 120);  // 08:15:00, without a frame; 08:15:01 has one
    std::vector<test::Received> played;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !(played = player.Take()).empty(); }, 5000));
    EXPECT_EQ(uint32_t(kPlayerOpen), played.back().code);
    EXPECT_EQ(timeline.Window(), played.back().param1);
    EXPECT_EQ(22525u, played.back().As<PlayerOpenBlock>().firstFrame);
    EXPECT_EQ(29700, timeline.LowerBar()->PositionMarker());
    EXPECT_EQ(29700, timeline.UpperBar()->PositionMarker());
    EXPECT_EQ(QStringLiteral("05.12.26 08:15:00"), Text(CDayTimelineDlg::kIdMiddleText));

    // Noon has no file: A is closed and nothing else opened.
    Mouse(*timeline.LowerBar(), QEvent::MouseButtonPress, 240);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !(played = player.Take()).empty(); }, 5000));
    QTest::qWait(30);
    EXPECT_EQ(1u, played.size() + player.Take().size());
    EXPECT_EQ(uint32_t(kPlayerClose), played.front().code);
    EXPECT_EQ("", timeline.Playback().CurrentFile());
}

TEST_F(DayTimelineTest, ANewDayLetsTheOldOneGoAndShortActivityIsNotRecorded) {
    test::FakeManager manager({"A", "B"});
    test::FakeFilter player(kHistoryPlayerName);
    ShowDay();
    // Day 6 recorded 14:00 to 15:00, but the recorder's bytes end at 14:30.
    auto second = test::MakeDay(6, {{"B", 6, 50400, 6, 54000}}, std::vector<uint8_t>(52200, 0));
    timeline.SetSessions(second->Handle());
    timeline.SetDay(2026, 12, 6, second->activity);
    day.reset();
    EXPECT_EQ(std::pair(kRed, 2), Column(timeline.LowerBar(), 170));   // 08:30
    EXPECT_EQ(std::pair(kBlue, 3), Column(timeline.LowerBar(), 285));  // 14:15
    EXPECT_EQ(std::pair(kRed, 2), Column(timeline.LowerBar(), 295));  // 14:45
    EXPECT_EQ(QStringLiteral("06.12.26 11:30:00"), Text(CDayTimelineDlg::kIdLeftText));

    Mouse(*timeline.LowerBar(), QEvent::MouseButtonPress, 170);  // A's time, on day 6
    QTest::qWait(50);
    EXPECT_TRUE(player.Take().empty());
    Mouse(*timeline.LowerBar(), QEvent::MouseButtonPress, 290);
    ASSERT_TRUE(QTest::qWaitFor([&] { return timeline.Playback().CurrentFile() == "B"; }, 5000));
}

}  // namespace
}  // namespace corvanta
