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
