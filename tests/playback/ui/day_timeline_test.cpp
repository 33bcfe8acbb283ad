// The day timeline and its parts: the range slider and the two bars.

#include <gtest/gtest.h>

#include <QCursor>
#include <QLineEdit>
#include <QLocale>
#include <QTest>

#include <tuple>
#include <vector>

#include "platform/WindowSystem.h"
#include "playback/DayActivity.h"
#include "playback/ui/CDayTimelineDlg.h"
#include "playback/ui/CRangeSlider.h"
#include "playback/ui/CTimelineBar.h"
#include "playback/ui/PlayerTestSupport.h"

namespace corvanta {
namespace {

using test::At;
using test::Mouse;
constexpr QRgb kGrey = 0x969696, kRed = 0xFA6464, kBlue = 0x6464FA, kGreen = 0x64FA64, kLightGrey = 0xD2D2D2;
constexpr QRgb kBlack = 0, kWhite = 0xFFFFFF;

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
        while (height < shown.height() && At(shown, x, shown.height() - 1 - height) != kGrey) ++height;
        return {At(shown, x, shown.height() - 1), height};
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
    Mouse(*lower, QEvent::MouseMove, 240);
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

using Values = std::pair<double, double>;

// 224 x 16: handles 12 wide and a 200-pixel track, so on the scale 0..200
// value v is at pixel v.
class RangeSliderTest : public ::testing::Test {
protected:
    RangeSliderTest() {
        slider.resize(224, 16);
        slider.SetMinMax(0, 200);
        slider.SetRange(50, 150, 10);
    }
    Values Range() const {
        Values v;
        slider.GetRange(v.first, v.second);
        return v;
    }
    QApplication& app = test::QtTestApp();
    CRangeSlider slider;
};

TEST_F(RangeSliderTest, PaintsGreyTrackRaisedHandlesWithArrowsAndAWhiteRange) {
    const QPalette& palette = slider.palette();
    const QImage shown = slider.grab().toImage();
    EXPECT_EQ(0x787878u, At(shown, 10, 8));
    // Left handle 50..61: outline, light edge, face, arrow (x 54..58 at mid height).
    EXPECT_EQ(0u, At(shown, 50, 8));
    EXPECT_EQ(palette.color(QPalette::Light).rgb() & 0xFFFFFF, At(shown, 51, 8));
    EXPECT_EQ(palette.color(QPalette::Button).rgb() & 0xFFFFFF, At(shown, 52, 12));
    EXPECT_EQ(0u, At(shown, 55, 8));
    // Right handle 162..173: dark right edge.
    EXPECT_EQ(palette.color(QPalette::Dark).rgb() & 0xFFFFFF, At(shown, 172, 8));
    EXPECT_EQ(0xFFFFFFu, At(shown, 100, 4));
}

TEST_F(RangeSliderTest, ChangesAreSentToTheParentWindowAndTheCallback) {
    std::vector<std::tuple<uint32_t, platform::WParam, platform::LParam>> sent;
    const platform::Hwnd parent = platform::CreateMessageWindow(
        "range slider parent", [&](platform::Hwnd, uint32_t m, platform::WParam w, platform::LParam l) -> platform::LResult {
            sent.emplace_back(m, w, l);
            return 0;
        });
    ASSERT_NE(0u, parent);
    std::vector<RangePart> parts;
    slider.SetNotifyTarget(parent, 1027);
    slider.SetOnRangeChanged([&](RangePart part) { parts.push_back(part); });
    slider.grab();  // hit areas and track come from the last paint

    QTest::keyClick(&slider, Qt::Key_Right);
    EXPECT_EQ((Values{51, 151}), Range());
    Mouse(slider, QEvent::MouseButtonPress, 57);  // the left handle
    Mouse(slider, QEvent::MouseMove, 220, true);
    Mouse(slider, QEvent::MouseButtonRelease, 220);
    Mouse(slider, QEvent::MouseMove, 0);  // released: no drag
    EXPECT_EQ((Values{141, 151}), Range());  // the gap before the right value

    const uint32_t message = platform::RegisterWindowMessage(kRangeChangedMessageName);
    using Sent = std::tuple<uint32_t, platform::WParam, platform::LParam>;
    EXPECT_EQ((std::vector<Sent>{{message, 2, 1027}, {message, 0, 1027}}), sent);
    EXPECT_EQ((std::vector<RangePart>{kRangeWhole, kRangeLeftHandle}), parts);
    platform::DestroyWindow(parent);
}


class TimelineBarTest : public ::testing::Test {
protected:
    // 243 pixels show the day: a picture 240 wide, one column per 360 s.
    void ShowDay() {
        bar.SetShownRange(0, kDayTimelineSeconds);
        bar.resize(243, 36);
        bar.show();
    }
    QApplication& app = test::QtTestApp();
    CTimelineBar bar;
};

TEST_F(TimelineBarTest, MarkersAreDrawnOverTheColumnsAndANewSizeRebuildsThem) {
    const std::vector<uint8_t> unrecorded(kDayTimelineSeconds, kNoRecording);  // the bar keeps a view of it
    bar.SetData(unrecorded);
    ShowDay();
    EXPECT_EQ(240u, bar.Columns().Picture().Width());
    bar.SetPositionMarker(43200);  // x = 43200 * 243 / 86399 = 121.5
    bar.SetHoverMarker(21600);     // x = 60.75
    bar.Refresh(false);
    const QImage shown = bar.grab().toImage();
    EXPECT_EQ(0x3232FAu, At(shown, 122, 34));
    EXPECT_EQ(kRed, At(shown, 121, 35));  // the marker is one row short of the bottom
    EXPECT_EQ(0xDC141Eu, At(shown, 60, 3));

    bar.resize(163, 36);  // a new size rebuilds the picture
    EXPECT_EQ(160u, bar.Columns().Picture().Width());
    EXPECT_EQ(kRed, At(bar.grab().toImage(), 20, 35));
}

TEST_F(TimelineBarTest, TicksAndTheSelectionFrameOverAPictureWithoutData) {
    bar.resize(100, 28);
    bar.SetShownRange(5, 105);  // one pixel per second from second 5
    bar.SetTickIntervals(50, 10);
    bar.SetSelectionFrame(true, 25, 75);  // counted from second 0: x 25..74
    bar.show();
    const QImage shown = bar.grab().toImage();
    // Short ticks at seconds 10, 20, ... (x 5, 15, ...): 2 wide, 28 / 7 high.
    EXPECT_EQ(kBlack, At(shown, 16, 3));
    EXPECT_EQ(kGrey, At(shown, 17, 1));
    // Long ticks at seconds 50 and 100 (x 45 and 95): 3 wide, 28 / 4 high.
    EXPECT_EQ(kWhite, At(shown, 47, 6));
    EXPECT_EQ(kGrey, At(shown, 47, 7));
    for (auto [x, y] : {std::pair{25, 14}, {74, 14}, {50, 27}}) EXPECT_EQ(kBlack, At(shown, x, y)) << x << "," << y;
    EXPECT_EQ(kGrey, At(shown, 50, 14));
}

TEST_F(TimelineBarTest, MouseSetsHoverAndClickSecondsAndLeavingClearsTheHover) {
    ShowDay();
    QCursor::setPos(bar.mapToGlobal(QPoint(121, 8)));
    Mouse(bar, QEvent::MouseMove, 121);
    EXPECT_EQ(43021, bar.HoverSecond());  // 121 / (243 / 86399) = 43021.7
    Mouse(bar, QEvent::MouseButtonPress, 60);
    EXPECT_TRUE(bar.LeftClicked());
    EXPECT_EQ(21333, bar.LeftClickSecond());  // 60 / (243 / 86399) = 21333.1
    QCursor::setPos(bar.mapToGlobal(QPoint(400, 8)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar.HoverSecond() == -1; }, 5000));
}

}  // namespace
}  // namespace corvanta
