#include <gtest/gtest.h>

#include <QCursor>
#include <QTest>

#include <vector>

#include "playback/DayActivity.h"
#include "playback/ui/CTimelineBar.h"
#include "PlayerTestSupport.h"

namespace corvanta {
namespace {

using test::At;
using test::Mouse;
constexpr QRgb kGrey = 0x969696, kRed = 0xFA6464, kBlack = 0, kWhite = 0xFFFFFF;

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
