#include <gtest/gtest.h>

#include <QCursor>
#include <QLineEdit>
#include <QLocale>
#include <QTest>

#include "playback/ui/CDayTimelineDlg.h"
#include "playback/ui/CRangeSlider.h"
#include "playback/ui/CTimelineBar.h"
#include "playback/ui/PlayerTestSupport.h"

namespace corvanta {
namespace {

constexpr QRgb kGrey = 0x969696, kRed = 0xFA6464, kBlue = 0x6464FA, kGreen = 0x64FA64, kLightGrey = 0xD2D2D2;

class DayTimelineTest : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        timeline.resize(480 + 2 * CDayTimelineDlg::kBarMargin, 200);  // a column of the day is 180 s
        timeline.show();
    }
    void TearDown() override { QLocale::setDefault(saved); }

    // A session from `start` of December `startDay` to `stop` of `stopDay` (seconds of the day, whole minutes).
    void AddSession(int start, int stop, int startDay = 5, int stopDay = 5) {
        auto node = std::make_unique<ArchiveNode>(NodeKind::Session);
        node->session->start = {2026, 12, 0, uint16_t(startDay), uint16_t(start / 3600), uint16_t(start / 60 % 60), 0, 0};
        node->session->stop = {2026, 12, 0, uint16_t(stopDay), uint16_t(stop / 3600), uint16_t(stop / 60 % 60), 0, 0};
        day.sessions.Add(std::move(node));
    }
    // The colour of column x and the height of its bar.
    static std::pair<QRgb, int> Column(CTimelineBar* bar, int x) {
        const QImage shown = bar->grab().toImage();
        int height = 0;
        while (height < shown.height() && test::At(shown, x, shown.height() - 1 - height) != kGrey) ++height;
        return {test::At(shown, x, shown.height() - 1), height};
    }
    QString Text(int id) { return timeline.ControlAs<QLineEdit>(id)->text(); }

    QLocale saved;
    test::PlayerWorld world;
    DayPayload day;
    CDayTimelineDlg timeline;
};

TEST_F(DayTimelineTest, DaysShowRecordingAndActivityAndTheHoveredSecond) {
    // A file from the day before up to 00:30 and one 08:00 to 09:00; still
    // but for 00:10 to 00:20 (level 200) and 08:30 to 09:00 (100).
    std::vector<uint8_t> activity(kSecondsPerDay, 0);
    std::fill(activity.begin() + 600, activity.begin() + 1200, 200);
    std::fill(activity.begin() + 30600, activity.begin() + 32400, 100);
    AddSession(82800, 1800, 4);
    AddSession(28800, 32400);
    timeline.SetSessions(day.Handle());
    timeline.SetDay(2026, 12, 5, activity);
    CTimelineBar* lower = timeline.LowerBar();
    CTimelineBar* upper = timeline.UpperBar();
    ASSERT_EQ(480, lower->width());
    const int h = lower->height(), half = (h - 5) * 100 / 200 + 5;
    using Bar = std::pair<QRgb, int>;
    // x = 480 * s / 86399: 00:15 at 5, 00:45 at 15, 08:15 at 165, 08:45 at 175.
    for (auto [x, column] : {std::pair{5, Bar{kGreen, h}}, {15, {kRed, 2}}, {165, {kBlue, 3}}, {175, {kGreen, half}}})
        EXPECT_EQ(column, Column(lower, x)) << x;
    EXPECT_EQ(Bar(kRed, 2), Column(upper, 240));  // the hour around noon
    EXPECT_EQ(QStringLiteral("05.12.26 12:30:00"), Text(CDayTimelineDlg::kIdRightText));

    // 08:00 to 09:00 chosen: blue, then green from 08:30 on the upper bar.
    timeline.RangeSlider()->SetRange(28800, 32400, CDayTimelineDlg::kMinimumGap);
    platform::SendMessage(timeline.Window(), RangeChangedMessage(), kRangeWhole, CDayTimelineDlg::kIdRange);
    EXPECT_EQ(Bar(kBlue, 3), Column(upper, 100));
    EXPECT_EQ(Bar(kGreen, half), Column(upper, 300));
    EXPECT_EQ(QStringLiteral("05.12.26 08:00:00"), Text(CDayTimelineDlg::kIdLeftText));
    EXPECT_TRUE(timeline.grab().save(SCREENSHOT_DIR "/day_timeline.png"));

    // Hovering the lower bar at 240 (11:59:59) marks both bars until the cursor leaves.
    QCursor::setPos(lower->mapToGlobal(QPoint(240, 8)));
    test::Mouse(*lower, QEvent::MouseMove, 240);
    ASSERT_TRUE(QTest::qWaitFor([&] { return upper->HoverMarker() == 43199; }, 5000));
    EXPECT_EQ(43199, lower->HoverMarker());
    EXPECT_EQ(QStringLiteral("05.12.26 11:59:59"), Text(CDayTimelineDlg::kIdMiddleText));
    QCursor::setPos(timeline.mapToGlobal(QPoint(-50, -50)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return lower->HoverMarker() == -1 && upper->HoverMarker() == -1; }, 5000));
    EXPECT_EQ(QString(), Text(CDayTimelineDlg::kIdMiddleText));
}

TEST_F(DayTimelineTest, ARefusedActivityAnswerShowsRecordedSecondsAsNoActivityData) {
    AddSession(28800, 32400);  // 08:00 to 09:00
    timeline.SetSessions(day.Handle());
    timeline.SetDay(2026, 12, 5, {});  // the recorder refused the day's activity
    CTimelineBar* lower = timeline.LowerBar();
    using Bar = std::pair<QRgb, int>;
    // x = 480 * s / 86399: 08:30 at 170, 12:30 at 250 (hours carry ticks).
    EXPECT_EQ(Bar(kLightGrey, 2), Column(lower, 170));
    EXPECT_EQ(Bar(kRed, 2), Column(lower, 250));

    // Bytes that did arrive are shown; the seconds after them are unknown.
    std::vector<uint8_t> partial(30600, 0);  // up to 08:30
    timeline.SetDay(2026, 12, 5, partial);
    EXPECT_EQ(Bar(kBlue, 3), Column(lower, 162));
    EXPECT_EQ(Bar(kLightGrey, 2), Column(lower, 175));
    EXPECT_EQ(Bar(kRed, 2), Column(lower, 105));
}

}  // namespace
}  // namespace corvanta
