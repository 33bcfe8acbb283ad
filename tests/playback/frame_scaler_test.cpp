#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "playback/FrameScaler.h"

namespace corvanta {
namespace {

// Blue-green-red, bottom row first, as the stream delivers frames.
std::vector<uint8_t> RandomFrame(uint32_t w, uint32_t h, unsigned seed) {
    std::vector<uint8_t> frame(size_t(w) * h * 3);
    std::mt19937 random(seed);
    for (uint8_t& b : frame) b = uint8_t(random());
    return frame;
}

std::vector<uint32_t> Scaled(FrameScaler& scaler, const std::vector<uint8_t>& frame, uint32_t w, uint32_t h,
                             uint32_t dw, uint32_t dh) {
    std::vector<uint32_t> out(size_t(dw + 1) * dh, 0);  // one spare pixel a row: the stride is honoured
    scaler.Scale(frame.data(), w, h, out.data(), dw, dh, (dw + 1) * 4);
    return out;
}

TEST(FrameScaler, VectorAndPlainPathsGiveTheSameBytesAtEverySize) {
    const struct {
        uint32_t w, h, dw, dh;
    } sizes[] = {
        {1600, 1200, 1230, 923},
        {1600, 1200, 546, 409},  // averaged from here on
        {600, 400, 2, 1},        // sums of more than 257 pixels
        {353, 17, 31, 5},
        {1, 1, 9, 4},
        {7, 3, 2, 1},
    };
    for (const auto& s : sizes) {
        SCOPED_TRACE(testing::Message() << s.w << "x" << s.h << " -> " << s.dw << "x" << s.dh);
        const auto frame = RandomFrame(s.w, s.h, s.w + s.dw);
        FrameScaler vectors, plain;
        plain.UseVectors(false);
        EXPECT_EQ(Scaled(plain, frame, s.w, s.h, s.dw, s.dh), Scaled(vectors, frame, s.w, s.h, s.dw, s.dh));
    }
}

TEST(FrameScaler, CopyAndScaleCopiesTheWholeFrameAndScalesAsScaleDoes) {
    const uint32_t w = 640, h = 479;  // rows are copied in bands: the last one is short
    const auto frame = RandomFrame(w, h, 3);
    FrameScaler scaler;
    for (const uint32_t factor : {1u, 3u, 5u}) {  // shrunk 3 or 5 times, spans of rows are averaged
        const uint32_t dw = w / factor, dh = h / factor;
        std::vector<uint8_t> copy(frame.size(), 0);
        std::vector<uint32_t> out(size_t(dw) * dh, 0);
        scaler.CopyAndScale(frame.data(), copy.data(), w, h, out.data(), dw, dh, dw * 4);
        EXPECT_EQ(frame, copy) << factor;
        const auto alone = Scaled(scaler, frame, w, h, dw, dh);
        for (uint32_t y = 0; y < dh; ++y)
            ASSERT_EQ(0, std::memcmp(&out[size_t(y) * dw], &alone[size_t(y) * (dw + 1)], dw * 4)) << factor;
    }
    std::vector<uint8_t> copy(frame.size(), 0);
    scaler.CopyAndScale(frame.data(), copy.data(), w, h, nullptr, 0, 0, 0);
    EXPECT_EQ(frame, copy);
}

// Blue-green-red pixels from a function of the column and the row from the
// top, stored bottom row first.
template <typename Pixel>
std::vector<uint8_t> Frame(uint32_t w, uint32_t h, Pixel pixel) {
    std::vector<uint8_t> frame(size_t(w) * h * 3);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t bgr = pixel(x, y);
            uint8_t* p = &frame[(size_t(h - 1 - y) * w + x) * 3];
            p[0] = uint8_t(bgr), p[1] = uint8_t(bgr >> 8), p[2] = uint8_t(bgr >> 16);
        }
    return frame;
}

uint8_t Blue(uint32_t pixel) { return uint8_t(pixel); }

TEST(FrameScaler, ShrinkingByMoreThanOneAndAHalfAveragesTheCoveredPixels) {
    FrameScaler scaler;
    // A fence of one white column in three: bilinear sampling lands on the
    // same column of every three and paints it all black or all white.
    const auto fence = Frame(300, 120, [](uint32_t x, uint32_t) { return x % 3 == 0 ? 0xFFFFFFu : 0u; });
    const auto fenced = Scaled(scaler, fence, 300, 120, 100, 40);
    for (uint32_t y = 0; y < 40; ++y)
        for (uint32_t x = 0; x < 100; ++x) ASSERT_EQ(0xFF555555u, fenced[y * 101 + x]) << x << "," << y;  // 255 / 3

    // Rows alternating black and white into the small pane: bilinear makes
    // stripes of every grey from black to white.
    const auto lines = Frame(1600, 1200, [](uint32_t, uint32_t y) { return y % 2 ? 0xFFFFFFu : 0u; });
    const auto pane = Scaled(scaler, lines, 1600, 1200, 546, 409);
    uint64_t sum = 0;
    for (uint32_t y = 0; y < 409; ++y)
        for (uint32_t x = 0; x < 546; ++x) {
            const uint8_t blue = Blue(pane[y * 547 + x]);
            ASSERT_NEAR(127.5, blue, 50) << x << "," << y;
            sum += blue;
        }
    EXPECT_NEAR(127.5, double(sum) / (546 * 409), 2);

    // Each target pixel is the mean of its block, also at odd sizes.
    const auto frame = RandomFrame(21, 9, 7);
    const auto out = Scaled(scaler, frame, 21, 9, 7, 3);
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 7; ++x)
            for (uint32_t c = 0; c < 3; ++c) {
                uint32_t total = 0;
                for (uint32_t j = 0; j < 3; ++j)
                    for (uint32_t i = 0; i < 3; ++i) total += frame[((8 - (3 * y + j)) * 21 + 3 * x + i) * 3 + c];
                EXPECT_NEAR(total / 9.0, (out[y * 8 + x] >> (8 * c)) & 0xFF, 0.5) << x << "," << y << "," << c;
            }
}

TEST(FrameScaler, AUniformFrameStaysExactAtEveryScale) {
    const auto frame = Frame(353, 17, [](uint32_t, uint32_t) { return 0x4DC80Au; });
    FrameScaler scaler;
    for (const auto& [dw, dh] : {std::pair{31u, 5u}, {300u, 15u}, {353u, 17u}, {700u, 40u}, {1u, 1u}}) {
        const auto out = Scaled(scaler, frame, 353, 17, dw, dh);
        for (uint32_t y = 0; y < dh; ++y)
            for (uint32_t x = 0; x < dw; ++x) ASSERT_EQ(0xFF4DC80Au, out[y * (dw + 1) + x]) << dw << "x" << dh;
    }
}

// Up to a shrink of 1.5 the picture stays bilinear: each pixel blends the
// two rows and two columns its centre falls between.
TEST(FrameScaler, MildShrinksAndEnlargementsStayBilinear) {
    const auto frame = RandomFrame(120, 90, 11);
    FrameScaler scaler;
    for (const auto& [dw, dh] : {std::pair{100u, 75u}, {81u, 61u}, {300u, 200u}}) {
        const auto out = Scaled(scaler, frame, 120, 90, dw, dh);
        const auto columns = FrameScaler::Taps(120, dw, 3), rows = FrameScaler::Taps(90, dh, 1);
        auto blend = [](uint32_t a, uint32_t b, uint32_t w) { return (a * (64 - w) + b * w + 32) / 64; };
        for (uint32_t y = 0; y < dh; ++y)
            for (uint32_t x = 0; x < dw; ++x)
                for (uint32_t c = 0; c < 3; ++c) {
                    const uint8_t* upper = &frame[(89 - rows[y].offset) * 360 + columns[x].offset + c];
                    const uint8_t* lower = rows[y].weight ? upper - 360 : upper;
                    const uint32_t w = columns[x].weight, right = w ? 3 : 0;
                    const uint32_t expected = blend(blend(upper[0], lower[0], rows[y].weight),
                                                    blend(upper[right], lower[right], rows[y].weight), w);
                    ASSERT_EQ(expected, (out[y * (dw + 1) + x] >> (8 * c)) & 0xFF) << dw << ":" << x << "," << y;
                }
    }
}

}  // namespace
}  // namespace corvanta
