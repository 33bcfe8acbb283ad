// The day timeline rendered offscreen: a day's columns on both bars, the
// range, hover markers and the time texts. Clicks that play are end to end.

#include <gtest/gtest.h>

#include <QCursor>
#include <QLineEdit>
#include <QLocale>
#include <QTest>

#include <array>

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

// A day of December 2026 whose sessions are {start day, second, stop day, second}.
std::unique_ptr<DayPayload> MakeDay(uint16_t date, std::vector<std::array<int, 4>> sessions, std::vector<uint8_t> activity) {
    auto day = std::make_unique<DayPayload>();
    day->year = 2026, day->month = 12, day->day = date;
    const auto at = [](int d, int s) {
        return SystemTime{2026, 12, 0, uint16_t(d), uint16_t(s / 3600), uint16_t(s / 60 % 60), uint16_t(s % 60), 0};
    };
    for (auto [d0, s0, d1, s1] : sessions) {
        auto node = std::make_unique<ArchiveNode>(NodeKind::Session);
        node->session->start = at(d0, s0), node->session->stop = at(d1, s1);
        day->sessions.Add(std::move(node));
    }
    day->activity = std::move(activity);
    return day;
}

class DayTimelineTest : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        // Bars 480 pixels wide: a column of the whole day is 180 seconds.
        timeline.resize(480 + 2 * CDayTimelineDlg::kBarMargin, 200);
        timeline.show();
    }
    void TearDown() override { QLocale::setDefault(saved); }

    // Day 5: one file from the day before up to 00:30, one 08:00 to 09:00;
    // the activity is 0 except 00:10 to 00:20 (200) and 08:30 to 09:00 (100).
    void ShowDay() {
        std::vector<uint8_t> activity(kSecondsPerDay, 0);
        std::fill(activity.begin() + 600, activity.begin() + 1200, 200);
        std::fill(activity.begin() + 30600, activity.begin() + 32400, 100);
        Show(MakeDay(5, {{4, 82800, 5, 1800}, {5, 28800, 5, 32400}}, activity));
    }
    void Show(std::unique_ptr<DayPayload> shown) {
        timeline.SetSessions(shown->Handle());
        timeline.SetDay(shown->year, shown->month, shown->day, shown->activity);
        day = std::move(shown);  // the old day goes
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

TEST_F(DayTimelineTest, DaysShowRecordingAndActivityOnBothBars) {
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

    // Day 6 recorded 14:00 to 15:00, but the recorder's bytes end at 14:30.
    Show(MakeDay(6, {{6, 50400, 6, 54000}}, std::vector<uint8_t>(52200, 0)));
    for (const Case& c : {Case{170, {kRed, 2}}, {285, {kBlue, 3}}, {295, {kRed, 2}}})
        EXPECT_EQ(c.column, Column(lower, c.x)) << c.x;
    EXPECT_EQ(QStringLiteral("06.12.26 11:30:00"), Text(CDayTimelineDlg::kIdLeftText));
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

}  // namespace
}  // namespace corvanta
