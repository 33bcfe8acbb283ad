#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>

#include <vector>

#include "playback/ui/CVideoView.h"
#include "WidgetTestSupport.h"

namespace corvanta {
namespace {

using test::App;  // one application for every test of this binary

// A bottom-up BGR frame: each quarter of the picture (as seen) has its own colour.
std::vector<uint8_t> Quarters(int w, int h) {
    std::vector<uint8_t> bgr(size_t(w) * h * 3);
    for (int row = 0; row < h; ++row) {
        const int y = h - 1 - row;  // picture row of this memory row
        for (int x = 0; x < w; ++x) {
            const bool right = x >= w / 2, bottom = y >= h / 2;
            const QRgb c = !bottom ? (right ? qRgb(0, 255, 0) : qRgb(255, 0, 0)) : (right ? qRgb(255, 255, 0) : qRgb(0, 0, 255));
            uint8_t* p = &bgr[(size_t(row) * w + x) * 3];
            p[0] = uint8_t(qBlue(c));
            p[1] = uint8_t(qGreen(c));
            p[2] = uint8_t(qRed(c));
        }
    }
    return bgr;
}

QImage Shown(CVideoView& view) {
    return view.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

constexpr QRgb kBlack = 0x000000, kWhite = 0xFFFFFF;
QRgb At(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFF;
}

bool Near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) < 40 && std::abs(qGreen(a) - qGreen(b)) < 40 && std::abs(qBlue(a) - qBlue(b)) < 40;
}

class VideoViewTest : public ::testing::Test {
protected:
    void SetUp() override { view.resize(64, 48); }
    QApplication& app = App();  // before any widget
    CVideoView view;
};

TEST_F(VideoViewTest, ClosedViewShowsAWhiteAreaWithABlackBorder) {
    for (int pass = 0; pass < 2; ++pass) {
        const QImage shown = Shown(view);
        EXPECT_EQ(kBlack, At(shown, 0, 0));
        EXPECT_EQ(kBlack, At(shown, 63, 47));
        EXPECT_EQ(kBlack, At(shown, 30, 47));
        EXPECT_EQ(kWhite, At(shown, 1, 1));
        EXPECT_EQ(kWhite, At(shown, 32, 24));
        // A frame size and frame without an open file still draw nothing.
        view.SetFrameSize(32, 24);
        const std::vector<uint8_t> frame = Quarters(32, 24);
        view.SetFrame(frame.data());
    }
}

TEST_F(VideoViewTest, OpenViewStretchesTheFrameUprightOverItsArea) {
    view.SetFrameSize(32, 24);
    view.SetOpen(true);
    const std::vector<uint8_t> frame = Quarters(32, 24);
    view.SetFrame(frame.data());
    const QImage shown = Shown(view);
    EXPECT_TRUE(Near(qRgb(255, 0, 0), shown.pixel(8, 6))) << std::hex << shown.pixel(8, 6);
    EXPECT_TRUE(Near(qRgb(0, 255, 0), shown.pixel(56, 6))) << std::hex << shown.pixel(56, 6);
    EXPECT_TRUE(Near(qRgb(0, 0, 255), shown.pixel(8, 42))) << std::hex << shown.pixel(8, 42);
    EXPECT_TRUE(Near(qRgb(255, 255, 0), shown.pixel(56, 42))) << std::hex << shown.pixel(56, 42);

    // Closing keeps the picture but shows the empty state again.
    view.SetOpen(false);
    view.SetFrame(nullptr);
    EXPECT_EQ(kWhite, At(Shown(view), 8, 6));
    EXPECT_EQ(frame[0], view.Picture().Bits()[0]);
}

TEST_F(VideoViewTest, SameFrameSizeKeepsThePictureAndANewSizeReplacesIt) {
    view.SetFrameSize(32, 24);
    const uint8_t* first = view.Picture().Bits();
    ASSERT_NE(nullptr, first);
    view.SetFrameSize(32, 24);
    EXPECT_EQ(first, view.Picture().Bits());
    // 21 * 3 bytes per row: rows that padded-row readers would misread.
    view.SetFrameSize(21, 15);
    EXPECT_EQ(21u * 15u * 3u, view.Picture().Size());
    view.SetOpen(true);
    const std::vector<uint8_t> frame = Quarters(21, 15);
    view.SetFrame(frame.data());
    const QImage shown = Shown(view);
    EXPECT_TRUE(Near(qRgb(255, 0, 0), shown.pixel(8, 6)));
    EXPECT_TRUE(Near(qRgb(255, 255, 0), shown.pixel(56, 42)));
}

}  // namespace
}  // namespace corvanta
