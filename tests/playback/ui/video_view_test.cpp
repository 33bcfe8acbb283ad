#include <gtest/gtest.h>

#include <QApplication>
#include <QBackingStore>
#include <QImage>
#include <QPalette>

#include <tuple>
#include <vector>

#include "playback/ui/CVideoView.h"
#include "PlayerTestSupport.h"

namespace corvanta {
namespace {

using test::At;

// A bottom-up BGR frame: red and green above blue and yellow, as seen.
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

// Quarters() shown in a 64 x 48 area at `at` of `shown`.
void ExpectQuarters(const QImage& shown, QPoint at = {}) {
    for (auto [x, y, want] : {std::tuple{8, 6, qRgb(255, 0, 0)}, {56, 6, qRgb(0, 255, 0)}, {8, 42, qRgb(0, 0, 255)},
                              {56, 42, qRgb(255, 255, 0)}}) {
        const QRgb c = shown.pixel(at.x() + x, at.y() + y);
        EXPECT_TRUE(std::abs(qRed(c) - qRed(want)) < 40 && std::abs(qGreen(c) - qGreen(want)) < 40 &&
                    std::abs(qBlue(c) - qBlue(want)) < 40)
            << x << "," << y << ": " << std::hex << c;
    }
}

TEST(VideoView, ClosedIsWhiteInABlackBorderOpenStretchesTheFrameUpright) {
    test::QtTestApp();  // before any widget
    CVideoView view;
    view.resize(64, 48);
    const std::vector<uint8_t> frame = Quarters(32, 24);
    view.SetFrameSize(32, 24);
    view.SetFrame(frame.data());  // a frame without an open file draws nothing
    QImage shown = view.grab().toImage();
    for (auto [x, y] : {std::pair{0, 0}, {63, 47}}) EXPECT_EQ(0u, At(shown, x, y)) << x << "," << y;
    EXPECT_EQ(0xFFFFFFu, At(shown, 32, 24));

    // 21 * 3 bytes per row: rows that padded-row readers would misread.
    const std::vector<uint8_t> odd = Quarters(21, 15);
    view.SetFrameSize(21, 15);
    view.SetOpen(true);
    view.SetFrame(odd.data());
    ExpectQuarters(view.grab().toImage());
    view.SetOpen(false);
    EXPECT_EQ(0xFFFFFFu, At(view.grab().toImage(), 8, 6));
}

// On screen, a new frame is scaled straight into the window's pixels: at
// the view's place, and not over a sibling that covers part of it.
TEST(VideoView, OnScreenPaintsItsFrameAtItsPlaceInTheWindow) {
    test::QtTestApp();
    QWidget window;
    window.resize(160, 120);
    window.setAutoFillBackground(true);
    window.setPalette(QPalette(Qt::magenta));
    CVideoView view(&window);
    view.setGeometry(30, 20, 64, 48);
    window.show();
    const std::vector<uint8_t> frame = Quarters(32, 24);
    view.SetFrameSize(32, 24);
    view.SetOpen(true);
    for (bool covered : {false, true}) {
        SCOPED_TRACE(covered ? "covered" : "whole");
        QWidget cover(&window);
        cover.setAutoFillBackground(true);
        cover.setPalette(QPalette(Qt::cyan));
        cover.setGeometry(60, 10, 20, 20);
        cover.setVisible(covered);
        QApplication::processEvents();
        view.SetFrame(frame.data());
        const QImage shown = *static_cast<QImage*>(window.backingStore()->paintDevice());
        ExpectQuarters(shown, QPoint(30, 20));
        EXPECT_EQ(QColor(Qt::magenta).rgb(), shown.pixel(29, 19));
        EXPECT_EQ(QColor(Qt::magenta).rgb(), shown.pixel(94, 68));
        EXPECT_EQ(covered, shown.pixel(65, 25) == QColor(Qt::cyan).rgb());
        EXPECT_EQ(frame[0], view.Picture().Bits()[0]);
    }
}

}  // namespace
}  // namespace corvanta
