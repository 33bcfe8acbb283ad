#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "imaging/JpegImage.h"
#include "JpegTestSupport.h"

namespace corvanta {
namespace {

constexpr uint8_t kGuard = 0xA5;
constexpr size_t kGuardBytes = 64;

// An output buffer of `capacity` bytes followed by guard bytes that the
// decoder must never touch.
struct GuardedBuffer {
    explicit GuardedBuffer(size_t capacity) : capacity(capacity), bytes(capacity + kGuardBytes, kGuard) {}
    uint8_t* Data() { return bytes.data(); }
    uint32_t Capacity() const { return static_cast<uint32_t>(capacity); }
    bool GuardIntact() const {
        return std::all_of(bytes.begin() + static_cast<long>(capacity), bytes.end(),
                           [](uint8_t b) { return b == kGuard; });
    }
    bool AllUntouched() const {
        return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == kGuard; });
    }
    size_t capacity;
    std::vector<uint8_t> bytes;
};

// libjpeg's own decode of the same data, flipped to bottom-up BGR: what
// DecodeJpeg has to produce byte for byte.
std::vector<uint8_t> ReferenceDecode(const std::vector<uint8_t>& jpeg) {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&cinfo);
    const size_t rowBytes = size_t{cinfo.output_width} * 3;
    std::vector<uint8_t> pixels(rowBytes * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &pixels[(cinfo.output_height - 1 - cinfo.output_scanline) * rowBytes];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return pixels;
}

// Mean absolute difference between decoded bottom-up BGR and a top-down
// BGR original.
double MeanError(const uint8_t* bottomUp, const std::vector<uint8_t>& topDown, int width, int height) {
    const size_t rowBytes = size_t(width) * 3;
    long total = 0;
    for (int y = 0; y < height; ++y) {
        const uint8_t* a = bottomUp + size_t(height - 1 - y) * rowBytes;
        const uint8_t* b = &topDown[size_t(y) * rowBytes];
        for (size_t i = 0; i < rowBytes; ++i) {
            total += std::abs(int{a[i]} - int{b[i]});
        }
    }
    return double(total) / double(rowBytes * height);
}

std::vector<uint8_t> ColourJpeg(int width, int height, int quality = 90) {
    test::EncodeOptions options;
    options.width = width;
    options.height = height;
    options.quality = quality;
    return test::EncodeJpeg(options, test::TestPattern(width, height));
}

// Byte offset of the first start-of-frame marker's precision field.
size_t PrecisionOffset(const std::vector<uint8_t>& jpeg) {
    for (size_t i = 2; i + 4 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            return i + 4;
        }
    }
    return 0;
}

TEST(DecodeJpegColour, MatchesLibjpegBottomUpWithoutPadding) {
    const int width = 23, height = 19;  // 69-byte rows: padding would show
    const std::vector<uint8_t> jpeg = ColourJpeg(width, height);
    GuardedBuffer out(size_t(width) * height * 3);
    uint32_t size = static_cast<uint32_t>(jpeg.size());
    ASSERT_EQ(1, DecodeJpeg(jpeg.data(), size, out.Data(), out.Capacity()));
    EXPECT_EQ(uint32_t(width * height * 3), size);
    const std::vector<uint8_t> reference = ReferenceDecode(jpeg);
    EXPECT_TRUE(std::equal(reference.begin(), reference.end(), out.bytes.begin()));
    EXPECT_TRUE(out.GuardIntact());
    EXPECT_LT(MeanError(out.Data(), test::TestPattern(width, height), width, height), 3.0);
}

TEST(DecodeJpegColour, GreyBecomesThreeEqualBytesPerPixel) {
    const int width = 10, height = 6;
    std::vector<uint8_t> grey(size_t(width) * height);
    for (size_t i = 0; i < grey.size(); ++i) {
        grey[i] = static_cast<uint8_t>(i * 4);
    }
    test::EncodeOptions options;
    options.width = width;
    options.height = height;
    options.components = 1;
    options.input = JCS_GRAYSCALE;
    options.stored = JCS_GRAYSCALE;
    options.quality = 100;
    const std::vector<uint8_t> jpeg = test::EncodeJpeg(options, grey);
    ASSERT_EQ(1, test::ReadHeader(jpeg).components);

    GuardedBuffer out(size_t(width) * height * 3);
    uint32_t size = static_cast<uint32_t>(jpeg.size());
    ASSERT_EQ(1, DecodeJpeg(jpeg.data(), size, out.Data(), out.Capacity()));
    EXPECT_EQ(uint32_t(width * height * 3), size);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = out.Data() + (size_t(height - 1 - y) * width + x) * 3;
            EXPECT_EQ(p[0], p[1]);
            EXPECT_EQ(p[1], p[2]);
            EXPECT_NEAR(grey[size_t(y) * width + x], p[0], 3) << x << "," << y;
        }
    }
    EXPECT_TRUE(out.GuardIntact());
}

TEST(DecodeJpegColour, RgbStoredPictureKeepsItsColours) {
    const int width = 16, height = 16;
    test::EncodeOptions options;
    options.width = width;
    options.height = height;
    options.stored = JCS_RGB;
    const std::vector<uint8_t> pattern = test::TestPattern(width, height);
    const std::vector<uint8_t> jpeg = test::EncodeJpeg(options, pattern);
    ASSERT_EQ(JCS_RGB, test::ReadHeader(jpeg).colorSpace);
    std::vector<uint8_t> out(size_t(width) * height * 3);
    uint32_t size = static_cast<uint32_t>(jpeg.size());
    ASSERT_EQ(1, DecodeJpeg(jpeg.data(), size, out.data(), uint32_t(out.size())));
    EXPECT_LT(MeanError(out.data(), pattern, width, height), 3.0);
}

TEST(DecodeJpegColour, AdobeCmykIsConvertedToBgr) {
    const int width = 16, height = 8;
    // Inverted inks, as Adobe applications store them: top half red
    // (no cyan ink), bottom half blue (no yellow ink), no black.
    std::vector<uint8_t> cmyk(size_t(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &cmyk[(size_t(y) * width + x) * 4];
            const bool top = y < height / 2;
            p[0] = top ? 255 : 0;    // cyan
            p[1] = 0;                // magenta
            p[2] = top ? 0 : 255;    // yellow
            p[3] = 255;              // black
        }
    }
    test::EncodeOptions options;
    options.width = width;
    options.height = height;
    options.components = 4;
    options.input = JCS_CMYK;
    options.stored = JCS_YCCK;
    options.quality = 100;
    const std::vector<uint8_t> jpeg = test::EncodeJpeg(options, cmyk);
    ASSERT_EQ(4, test::ReadHeader(jpeg).components);

    GuardedBuffer out(size_t(width) * height * 3);
    uint32_t size = static_cast<uint32_t>(jpeg.size());
    ASSERT_EQ(1, DecodeJpeg(jpeg.data(), size, out.Data(), out.Capacity()));
    EXPECT_EQ(uint32_t(width * height * 3), size);
    const uint8_t* bottom = out.Data();                                   // blue
    const uint8_t* top = out.Data() + size_t(height - 1) * width * 3;     // red
    EXPECT_GT(bottom[0], 220);
    EXPECT_LT(bottom[2], 35);
    EXPECT_LT(top[0], 35);
    EXPECT_GT(top[2], 220);
    EXPECT_TRUE(out.GuardIntact());
}

TEST(DecodeJpegColour, ProgressivePictureDecodesLikeBaseline) {
    const int width = 40, height = 30;
    test::EncodeOptions options;
    options.width = width;
    options.height = height;
    options.progressive = true;
    const std::vector<uint8_t> pattern = test::TestPattern(width, height);
    const std::vector<uint8_t> jpeg = test::EncodeJpeg(options, pattern);
    ASSERT_TRUE(test::ReadHeader(jpeg).progressive);
    GuardedBuffer out(size_t(width) * height * 3);
    uint32_t size = static_cast<uint32_t>(jpeg.size());
    ASSERT_EQ(1, DecodeJpeg(jpeg.data(), size, out.Data(), out.Capacity()));
    EXPECT_LT(MeanError(out.Data(), pattern, width, height), 3.0);
    EXPECT_TRUE(out.GuardIntact());
}

TEST(DecodeJpegBounds, CapacityIsRespectedToTheByte) {
    const int width = 20, height = 20;
    const std::vector<uint8_t> jpeg = ColourJpeg(width, height);
    const uint32_t original = static_cast<uint32_t>(jpeg.size());

    // One byte short: refused before anything is written.
    GuardedBuffer tooSmall(size_t(width) * height * 3 - 1);
    uint32_t size = original;
    EXPECT_EQ(0, DecodeJpeg(jpeg.data(), size, tooSmall.Data(), tooSmall.Capacity()));
    EXPECT_EQ(original, size);
    EXPECT_TRUE(tooSmall.AllUntouched());

    GuardedBuffer exact(size_t(width) * height * 3);
    EXPECT_EQ(1, DecodeJpeg(jpeg.data(), size, exact.Data(), exact.Capacity()));
    EXPECT_EQ(exact.Capacity(), size);
    EXPECT_TRUE(exact.GuardIntact());
}

TEST(DecodeJpegBounds, MissingInputOrOutputFails) {
    const std::vector<uint8_t> jpeg = ColourJpeg(8, 8);
    std::vector<uint8_t> out(8 * 8 * 3);
    uint32_t size = static_cast<uint32_t>(jpeg.size());
    EXPECT_EQ(0, DecodeJpeg(nullptr, size, out.data(), uint32_t(out.size())));
    EXPECT_EQ(0, DecodeJpeg(jpeg.data(), size, nullptr, uint32_t(out.size())));
    uint32_t empty = 0;
    EXPECT_EQ(0, DecodeJpeg(jpeg.data(), empty, out.data(), uint32_t(out.size())));
    EXPECT_EQ(0u, empty);
    EXPECT_EQ(jpeg.size(), size);
}

TEST(DecodeJpegDamage, TruncatedPictureFailsAndKeepsSize) {
    const int width = 64, height = 48;
    const std::vector<uint8_t> jpeg = ColourJpeg(width, height);
    for (size_t keep : {size_t{1}, size_t{2}, size_t{20}, size_t{200}, jpeg.size() / 2, jpeg.size() - 40}) {
        GuardedBuffer out(size_t(width) * height * 3);
        uint32_t size = static_cast<uint32_t>(keep);
        EXPECT_EQ(0, DecodeJpeg(jpeg.data(), size, out.Data(), out.Capacity())) << keep;
        EXPECT_EQ(keep, size);
        EXPECT_TRUE(out.GuardIntact());
    }
}

TEST(DecodeJpegDamage, TwelveBitPrecisionIsRefused) {
    std::vector<uint8_t> jpeg = ColourJpeg(16, 16);
    const size_t at = PrecisionOffset(jpeg);
    ASSERT_NE(0u, at);
    ASSERT_EQ(8, jpeg[at]);
    jpeg[at] = 12;
    GuardedBuffer out(16 * 16 * 3);
    const uint32_t original = static_cast<uint32_t>(jpeg.size());
    uint32_t size = original;
    EXPECT_EQ(0, DecodeJpeg(jpeg.data(), size, out.Data(), out.Capacity()));
    EXPECT_EQ(original, size);
    EXPECT_TRUE(out.GuardIntact());
}

TEST(DecodeJpegDamage, TwoComponentPictureIsRefused) {
    test::EncodeOptions options;
    options.width = 8;
    options.height = 8;
    options.components = 2;
    options.input = JCS_UNKNOWN;
    options.stored = JCS_UNKNOWN;
    const std::vector<uint8_t> jpeg = test::EncodeJpeg(options, std::vector<uint8_t>(8 * 8 * 2, 100));
    ASSERT_EQ(2, test::ReadHeader(jpeg).components);
    GuardedBuffer out(8 * 8 * 3);
    uint32_t size = static_cast<uint32_t>(jpeg.size());
    EXPECT_EQ(0, DecodeJpeg(jpeg.data(), size, out.Data(), out.Capacity()));
    EXPECT_TRUE(out.AllUntouched());
}

TEST(DecodeJpegDamage, GarbageFails) {
    std::vector<uint8_t> garbage(1000);
    std::mt19937 random(7);
    for (auto& b : garbage) {
        b = static_cast<uint8_t>(random());
    }
    GuardedBuffer out(4096);
    uint32_t size = static_cast<uint32_t>(garbage.size());
    EXPECT_EQ(0, DecodeJpeg(garbage.data(), size, out.Data(), out.Capacity()));
    EXPECT_EQ(1000u, size);
    EXPECT_TRUE(out.AllUntouched());
}

// Flipped bytes in the header and in the entropy-coded data, baseline and
// progressive: each attempt decodes to a full picture or fails cleanly.
TEST(DecodeJpegDamage, MutatedPicturesDecodeOrFailWithinBounds) {
    const int width = 48, height = 32;
    test::EncodeOptions options;
    options.width = width;
    options.height = height;
    const std::vector<uint8_t> pattern = test::TestPattern(width, height);
    std::mt19937 random(2024);
    int failures = 0;
    for (bool progressive : {false, true}) {
        options.progressive = progressive;
        const std::vector<uint8_t> original = test::EncodeJpeg(options, pattern);
        for (int attempt = 0; attempt < 300; ++attempt) {
            std::vector<uint8_t> jpeg = original;
            const int flips = 1 + static_cast<int>(random() % 4);
            for (int i = 0; i < flips; ++i) {
                jpeg[random() % jpeg.size()] ^= static_cast<uint8_t>(1u + random() % 255u);
            }
            GuardedBuffer out(size_t(width) * height * 3);
            const uint32_t length = static_cast<uint32_t>(jpeg.size());
            uint32_t size = length;
            if (DecodeJpeg(jpeg.data(), size, out.Data(), out.Capacity())) {
                // Only a changed header can change the size, and it must fit.
                EXPECT_LE(size, out.Capacity());
                EXPECT_EQ(0u, size % 3);
            } else {
                EXPECT_EQ(length, size);
                ++failures;
            }
            EXPECT_TRUE(out.GuardIntact());
        }
    }
    // The mutations are harsh enough that some attempts must be refused.
    EXPECT_GT(failures, 0);
}

TEST(DecodeJpegDamage, DecoderIsReusableAfterFailure) {
    const std::vector<uint8_t> good = ColourJpeg(12, 12);
    std::vector<uint8_t> bad(good.begin(), good.begin() + static_cast<long>(good.size() / 2));
    std::vector<uint8_t> out(12 * 12 * 3);
    for (int i = 0; i < 3; ++i) {
        uint32_t badSize = static_cast<uint32_t>(bad.size());
        EXPECT_EQ(0, DecodeJpeg(bad.data(), badSize, out.data(), uint32_t(out.size())));
        uint32_t goodSize = static_cast<uint32_t>(good.size());
        EXPECT_EQ(1, DecodeJpeg(good.data(), goodSize, out.data(), uint32_t(out.size())));
        EXPECT_EQ(out.size(), goodSize);
    }
}

TEST(DecodeJpegThreads, ThreadsDecodeIndependently) {
    const std::vector<uint8_t> small = ColourJpeg(17, 9);
    const std::vector<uint8_t> large = ColourJpeg(64, 40);
    const std::vector<uint8_t> smallReference = ReferenceDecode(small);
    const std::vector<uint8_t> largeReference = ReferenceDecode(large);
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            const std::vector<uint8_t>& jpeg = (t % 2) ? large : small;
            const std::vector<uint8_t>& reference = (t % 2) ? largeReference : smallReference;
            std::vector<uint8_t> out(reference.size());
            for (int i = 0; i < 25; ++i) {
                uint32_t size = static_cast<uint32_t>(jpeg.size());
                if (DecodeJpeg(jpeg.data(), size, out.data(), uint32_t(out.size())) == 1 && out == reference) {
                    good++;
                }
                // A failure in between must not disturb this thread's next picture.
                uint32_t half = static_cast<uint32_t>(jpeg.size() / 2);
                DecodeJpeg(jpeg.data(), half, out.data(), uint32_t(out.size()));
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(100, good.load());
}

}  // namespace
}  // namespace corvanta
