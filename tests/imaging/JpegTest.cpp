#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <tuple>

#include "JpegTestSupport.h"
#include "imaging/JpegImage.h"

namespace corvanta {
namespace {

namespace fs = std::filesystem;

// Output of `capacity` bytes followed by guard bytes the decoder must never
// touch; a failure must leave the size alone, a success fit the capacity.
struct Output {
    explicit Output(size_t capacity) : capacity(uint32_t(capacity)), bytes(capacity + 64, 0xA5) {}
    bool Untouched(size_t from = 0) const {
        return std::all_of(bytes.begin() + long(from), bytes.end(), [](uint8_t b) { return b == 0xA5; });
    }
    int32_t Decode(const std::vector<uint8_t>& jpeg, size_t length = SIZE_MAX) {
        const uint32_t given = uint32_t(std::min(length, jpeg.size()));
        uint32_t size = given;
        const int32_t result = DecodeJpeg(jpeg.data(), size, bytes.data(), capacity);
        EXPECT_TRUE(result == 1 ? size <= capacity && size % 3 == 0 : size == given) << result << ", size " << size;
        EXPECT_TRUE(Untouched(capacity)) << "written past the capacity";
        decoded = result == 1 ? size : 0;
        return result;
    }

    uint32_t capacity;
    uint32_t decoded = 0;
    std::vector<uint8_t> bytes;
};

// Expects decoded bottom-up pixels to match top-down ones within what JPEG loses.
void ExpectClose(const uint8_t* bottomUp, const std::vector<uint8_t>& topDown, int width, int height, const char* what) {
    const size_t rowBytes = size_t(width) * 3;
    double total = 0;
    int worst = 0;
    for (size_t y = 0; y < size_t(height); ++y) {
        for (size_t i = 0; i < rowBytes; ++i) {
            const int error = std::abs(bottomUp[(height - 1 - y) * rowBytes + i] - topDown[y * rowBytes + i]);
            total += error;
            worst = std::max(worst, error);
        }
    }
    EXPECT_LT(total / double(topDown.size()), 2.0) << what;
    EXPECT_LT(worst, 24) << what;
}

// Grey, YCbCr and CMYK as Adobe applications store it (inks inverted, here
// without black) all come out as the picture put in.
TEST(DecodeJpeg, EveryLayoutComesOutBottomUpUnpaddedBgr) {
    const int width = 23, height = 19;  // 69-byte rows: padding would show
    const std::vector<uint8_t> pattern = test::TestPattern(width, height);
    std::vector<uint8_t> grey, greyAsBgr, cmyk;
    for (size_t i = 0; i < pattern.size(); i += 3) {
        grey.push_back(pattern[i + 1]);
        greyAsBgr.insert(greyAsBgr.end(), 3, pattern[i + 1]);
        cmyk.insert(cmyk.end(), {pattern[i + 2], pattern[i + 1], pattern[i], 255});
    }
    struct Case {
        const char* what;
        const std::vector<uint8_t>& pixels;
        const std::vector<uint8_t>& expected;
        test::EncodeOptions options;
    };
    for (const Case& c : {Case{"YCbCr", pattern, pattern, {width, height}},
                          Case{"grey", grey, greyAsBgr, {width, height, 1, JCS_GRAYSCALE, JCS_GRAYSCALE}},
                          Case{"Adobe CMYK", cmyk, pattern, {width, height, 4, JCS_CMYK, JCS_YCCK}}}) {
        Output out(size_t(width) * height * 3);
        ASSERT_EQ(1, out.Decode(test::EncodeJpeg(c.options, c.pixels))) << c.what;
        EXPECT_EQ(out.capacity, out.decoded) << c.what;
        ExpectClose(out.bytes.data(), c.expected, width, height, c.what);
    }
}

// Every failure leaves the size alone and writes nothing past the capacity (Output checks both).
TEST(DecodeJpeg, TooSmallBuffersTruncatedGarbageAndUnsupportedPicturesFail) {
    const std::vector<uint8_t> jpeg = test::PatternJpeg(64, 48);
    Output tooSmall(64 * 48 * 3 - 1);
    EXPECT_EQ(0, tooSmall.Decode(jpeg));
    EXPECT_TRUE(tooSmall.Untouched()) << "refused before anything is written";
    uint32_t size = uint32_t(jpeg.size());
    EXPECT_EQ(0, DecodeJpeg(nullptr, size, tooSmall.bytes.data(), tooSmall.capacity));
    EXPECT_EQ(0, DecodeJpeg(jpeg.data(), size, nullptr, tooSmall.capacity));
    for (size_t keep : {size_t{0}, size_t{2}, size_t{200}, jpeg.size() / 2, jpeg.size() - 40})
        EXPECT_EQ(0, Output(64 * 48 * 3).Decode(jpeg, keep)) << keep;
    std::vector<uint8_t> twelveBit = test::PatternJpeg(16, 16);
    const uint8_t baselineFrame[] = {0xFF, 0xC0};
    const auto sof = std::search(twelveBit.begin(), twelveBit.end(), std::begin(baselineFrame), std::end(baselineFrame));
    ASSERT_TRUE(sof != twelveBit.end() && sof[4] == 8);
    sof[4] = 12;  // the frame's sample precision
    std::vector<uint8_t> garbage(1000);
    std::mt19937 random(7);
    for (uint8_t& b : garbage) b = uint8_t(random());
    const test::EncodeOptions twoComponents{8, 8, 2, JCS_UNKNOWN, JCS_UNKNOWN};
    for (const auto& bad : {twelveBit, garbage, test::EncodeJpeg(twoComponents, std::vector<uint8_t>(8 * 8 * 2, 100))})
        EXPECT_EQ(0, Output(4096).Decode(bad));
}

// A picture without tables of its own cannot borrow those of the picture
// decoded before it: the result never depends on what came earlier.
TEST(DecodeJpeg, PicturesDoNotInheritTheTablesOfEarlierOnes) {
    const std::vector<uint8_t> whole = test::PatternJpeg(32, 24);
    std::vector<uint8_t> withoutQuantisation = whole;
    const uint8_t dqt[] = {0xFF, 0xDB};
    for (;;) {  // every quantisation segment goes
        const auto at = std::search(withoutQuantisation.begin(), withoutQuantisation.end(), std::begin(dqt), std::end(dqt));
        if (at == withoutQuantisation.end()) break;
        const size_t length = size_t(at[2]) << 8 | at[3];
        withoutQuantisation.erase(at, at + 2 + long(length));
    }
    ASSERT_LT(withoutQuantisation.size(), whole.size());
    EXPECT_EQ(1, Output(32 * 24 * 3).Decode(whole));
    EXPECT_EQ(0, Output(32 * 24 * 3).Decode(withoutQuantisation));
}

TEST(JpegImage, RowsArePaddedToWholeWordsAndBadSizesLeaveNoPicture) {
    for (const auto& [width, padding] : {std::pair<int32_t, uint32_t>{1, 1}, {4, 0}, {7, 3}}) {
        CJpegImage image;
        ASSERT_EQ(1, image.Create(width, 3));
        EXPECT_EQ(std::tuple(padding, uint32_t(width) * 3 + padding, image.Buffer() + 2 * image.RowLength(), nullptr),
                  std::tuple(image.Padding(), image.RowLength(), image.Row(2), image.Row(3))) << width;
        EXPECT_TRUE(std::all_of(image.Buffer(), image.Buffer() + image.Size(), [](uint8_t b) { return b == 0; }));
    }
    CJpegImage image;
    for (const auto& [width, height] : {std::pair{0, 5}, {-1, 5}, {70000, 1}, {60000, 60000}}) {
        ASSERT_EQ(1, image.Create(8, 8));
        EXPECT_EQ(0, image.Create(width, height)) << width << "x" << height;
        EXPECT_EQ(std::tuple(nullptr, 0u), std::tuple(image.Buffer(), image.Size()));
    }
}

class JpegImageWrite : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "jpegimage-XXXXXX").string();
        ASSERT_NE(nullptr, mkdtemp(pattern.data()));
        folder = pattern;
    }
    void TearDown() override { fs::remove_all(folder); }
    size_t EntryCount() const { return size_t(std::distance(fs::directory_iterator(folder), {})); }

    fs::path folder;
};

TEST_F(JpegImageWrite, FailuresLeaveNoFileAndARoundTripKeepsThePictureAndReplacesTheFileWhole) {
    CJpegImage image;
    EXPECT_EQ(0, image.WriteJpegFile((folder / "empty.jpg").c_str(), 90));  // no picture yet
    const int width = 61, height = 45;  // odd sizes: padding and partial blocks
    ASSERT_EQ(1, image.Create(width, height));
    EXPECT_EQ(0, image.WriteJpegFile((folder / "missing" / "snap.jpg").c_str(), 100));
    EXPECT_EQ(0, image.WriteJpegFile(nullptr, 100));
    EXPECT_EQ(0u, EntryCount());

    const std::vector<uint8_t> pattern = test::TestPattern(width, height);
    for (int y = 0; y < height; ++y) std::copy_n(&pattern[size_t(y) * width * 3], width * 3, image.Row(height - 1 - y));
    const fs::path target = folder / "snap.jpg";
    std::ofstream(target) << "an older, longer file that must be replaced whole";
    ASSERT_EQ(1, image.WriteJpegFile(target.c_str(), 95));
    EXPECT_EQ(1u, EntryCount()) << "no temporary left beside it";

    std::ifstream in(target, std::ios::binary);
    const std::vector<uint8_t> jpeg{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    Output out(size_t(width) * height * 3);
    ASSERT_EQ(1, out.Decode(jpeg));
    EXPECT_EQ(out.capacity, out.decoded);
    ExpectClose(out.bytes.data(), pattern, width, height, "round trip");
}

}  // namespace
}  // namespace corvanta
