#include <gtest/gtest.h>

#include <cmath>
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

// Channel c of the top-first pixel (x, y) of a bottom-first frame.
double At(const std::vector<uint8_t>& f, uint32_t w, uint32_t h, int64_t x, int64_t y, int c) {
    x = std::clamp<int64_t>(x, 0, w - 1);
    y = std::clamp<int64_t>(y, 0, h - 1);
    return f[(size_t(h - 1 - y) * w + size_t(x)) * 3 + size_t(c)];
}

TEST(FrameScaler, VectorAndPlainPathsGiveTheSameBytesAtEverySize) {
    const struct {
        uint32_t w, h, dw, dh;
    } sizes[] = {
        {1600, 1200, 1230, 923},
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

TEST(FrameScaler, FlipsConvertsAndFiltersLikeBilinearSampling) {
    const uint32_t w = 37, h = 23;
    const auto frame = RandomFrame(w, h, 7);
    FrameScaler scaler;
    // Near exact bilinear sampling of pixel centres, upright, red in bits
    // 16..23 (weights have six bits, the vertical step is rounded to a byte).
    for (const auto& [dw, dh] : {std::pair{29u, 17u}, std::pair{80u, 51u}}) {
        const auto out = Scaled(scaler, frame, w, h, dw, dh);
        for (uint32_t y = 0; y < dh; ++y)
            for (uint32_t x = 0; x < dw; ++x) {
                const double sx = std::max(0.0, (x + 0.5) * w / dw - 0.5), sy = std::max(0.0, (y + 0.5) * h / dh - 0.5);
                const auto x0 = int64_t(sx), y0 = int64_t(sy);
                const double fx = sx - double(x0), fy = sy - double(y0);
                for (int c = 0; c < 3; ++c) {
                    const double top = At(frame, w, h, x0, y0, c) * (1 - fx) + At(frame, w, h, x0 + 1, y0, c) * fx;
                    const double bottom =
                        At(frame, w, h, x0, y0 + 1, c) * (1 - fx) + At(frame, w, h, x0 + 1, y0 + 1, c) * fx;
                    const double want = top * (1 - fy) + bottom * fy;
                    const auto got = double((out[size_t(y) * (dw + 1) + x] >> (8 * c)) & 0xFF);
                    ASSERT_NEAR(want, got, 4.0) << dw << "x" << dh << " at " << x << "," << y << " channel " << c;
                }
            }
    }
}

TEST(FrameScaler, CopyAndScaleCopiesTheWholeFrameAndScalesAsScaleDoes) {
    const uint32_t w = 640, h = 480;
    const auto frame = RandomFrame(w, h, 3);
    FrameScaler scaler;
    for (const uint32_t factor : {1u, 5u}) {  // with 5, rows are skipped and still copied
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

}  // namespace
}  // namespace corvanta
