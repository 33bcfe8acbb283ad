#include <gtest/gtest.h>

#include <QTest>

#include <tuple>
#include <vector>

#include "platform/WindowSystem.h"
#include "playback/ui/CRangeSlider.h"
#include "PlayerTestSupport.h"

namespace corvanta {
namespace {

using test::At;
using test::Mouse;
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

}  // namespace
}  // namespace corvanta
