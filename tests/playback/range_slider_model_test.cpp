#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "playback/RangeSliderModel.h"

namespace corvanta {
namespace {

using Parts = std::vector<RangePart>;
using Values = std::pair<double, double>;
constexpr RangePart L = kRangeLeftHandle, R = kRangeRightHandle, W = kRangeWhole;

class RangeSliderModelTest : public ::testing::Test {
protected:
    RangeSliderModelTest() { model.SetNotifier([this](RangePart part) { parts.push_back(part); }); }

    // 1024 x 16 pixels: handles 12 wide (3/4 of 16), a track of 1000.
    void Scale(double max, double left, double right, double gap = 0) {
        model.SetMinMax(0, max);
        model.SetRange(left, right, gap);
        model.Layout(1024, 16);
        parts.clear();
    }
    // The day timeline's set-up: an hour around noon, handles at least 10 minutes apart.
    void Day() { Scale(86399, 41399.5, 44999.5, 600); }
    Values Range() const { return {model.Left(), model.Right()}; }

    RangeSliderModel model;
    Parts parts;
};

TEST_F(RangeSliderModelTest, SetMinMaxSwapsAndNormalizeReportsEachCorrectionInOrder) {
    model.SetMinMax(5, 1);
    EXPECT_EQ((Values{1, 5}), (Values{model.Minimum(), model.Maximum()}));

    struct Case {
        Values set, want;
        Parts parts;
    };
    for (const Case& c : {Case{{100, 200}, {100, 200}, {}}, Case{{-5, 2000}, {0, 1000}, {L, R}},
                          Case{{1500, 1200}, {1000, 1000}, {R, L}}}) {
        Scale(1000, 500, 500);
        model.SetRange(c.set.first, c.set.second, 7);
        EXPECT_EQ(c.want, Range()) << c.set.first << ".." << c.set.second;
        EXPECT_EQ(c.parts, parts) << c.set.first << ".." << c.set.second;
    }
}

TEST_F(RangeSliderModelTest, HitTestingUsesTheInsidesOfTheLastPaintedHandles) {
    Scale(1000, 250, 500);
    struct Case {
        int x, y;
        RangePart want;
    };
    // The left handle is 250..262, the right one 512..524; outlines do not count.
    for (const Case& c : {Case{251, 1, L}, Case{250, 8, kRangeNone}, Case{261, 8, kRangeNone}, Case{262, 0, W},
                          Case{522, 13, R}}) {
        EXPECT_EQ(c.want, model.HitTest(c.x, c.y)) << c.x << "," << c.y;
    }
}

TEST_F(RangeSliderModelTest, DraggingKeepsTheGapAndTheWholeRangeKeepsItsWidth) {
    Day();
    // x(41399.5) = 41399.5 / 86399 * 1000 + 0.5 = 479.7: the left handle's inside is 480..489.
    ASSERT_TRUE(model.BeginDrag(485, 8));
    EXPECT_FALSE(model.BeginDrag(510, 8));  // one drag at a time
    model.DragTo(1000);
    EXPECT_EQ((Values{44999.5 - 600, 44999.5}), Range());
    model.EndDrag();

    Day();  // x(44999.5) = 521: the right handle's inside is 534..543
    ASSERT_TRUE(model.BeginDrag(540, 8));
    model.DragTo(0);
    EXPECT_EQ((Values{41399.5, 41399.5 + 600}), Range());
    model.DragTo(0);  // right stays put: reported as the left handle
    model.EndDrag();
    EXPECT_EQ((Parts{R, L}), parts);

    Day();
    ASSERT_TRUE(model.BeginDrag(510, 8));
    model.DragTo(2000);
    EXPECT_EQ((Values{86399 - 3600, 86399}), Range());
    model.DragTo(512);  // the centre follows x - handle width: the middle of the scale
    EXPECT_EQ((Values{41399.5, 44999.5}), Range());
    EXPECT_EQ((Parts{W, W}), parts);
}

TEST_F(RangeSliderModelTest, ArrowKeysStepOnePixelAndStopAtTheEnds) {
    using A = RangeSliderModel::Arrow;
    struct Case {
        Values from;
        A arrow;
        bool shift;
        Values want;
        RangePart part;
    };
    // Scale 0..1000 on a 1000-pixel track: one pixel is worth 1; the gap does not bind keys.
    for (const Case& c : {Case{{100, 200}, A::Right, true, {100, 201}, L}, Case{{100, 200}, A::Left, false, {99, 199}, W},
                          Case{{900, 1000}, A::Right, false, {901, 1000}, W},  // right stops, range shrinks
                          Case{{100, 100}, A::Left, true, {99, 99}, L}}) {  // right passed left: left follows
        Scale(1000, c.from.first, c.from.second, 50);
        EXPECT_TRUE(model.Key(c.arrow, c.shift, false));
        EXPECT_EQ(c.want, Range()) << c.from.first << ".." << c.from.second;
        EXPECT_EQ(Parts{c.part}, parts) << c.from.first << ".." << c.from.second;
    }
    EXPECT_FALSE(model.Key(A::Right, false, true));  // Ctrl: not the slider's
    EXPECT_EQ((Values{99, 99}), Range());
}

TEST_F(RangeSliderModelTest, WithoutScaleOrTrackNothingMoves) {
    model.SetMinMax(7, 7);
    model.Layout(1024, 16);
    EXPECT_EQ(0, model.X(7));
    Scale(100, 10, 20);
    model.Layout(20, 16);  // narrower than two handles
    ASSERT_TRUE(model.BeginDrag(5, 8));
    model.DragTo(15);
    EXPECT_TRUE(model.Key(RangeSliderModel::Arrow::Right, false, false));
    EXPECT_EQ((Values{10, 20}), Range());
    EXPECT_TRUE(parts.empty());
}

}  // namespace
}  // namespace corvanta
