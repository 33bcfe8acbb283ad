#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "imaging/JpegImage.h"
#include "JpegTestSupport.h"

namespace corvanta {
namespace {

namespace fs = std::filesystem;

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "jpegimage-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempFolder() { fs::remove_all(path_); }
    const fs::path& Path() const { return path_; }
    size_t EntryCount() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(path_), fs::directory_iterator()));
    }

private:
    fs::path path_;
};

// Copies top-down unpadded BGR into the image's bottom-up padded rows.
void Fill(CJpegImage& image, const std::vector<uint8_t>& topDown) {
    const size_t rowBytes = static_cast<size_t>(image.Width()) * 3;
    for (int y = 0; y < image.Height(); ++y) {
        std::copy_n(&topDown[y * rowBytes], rowBytes, image.Row(image.Height() - 1 - y));
    }
}

TEST(JpegImageLayout, WidthOneRowIsPaddedToFourBytes) {
    CJpegImage image;
    ASSERT_EQ(1, image.Create(1, 3));
    EXPECT_EQ(1u, image.Padding());
    EXPECT_EQ(4u, image.RowLength());
    EXPECT_EQ(12u, image.Size());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(image.Buffer() + 4 * i, image.Row(i));
    }
    EXPECT_EQ(nullptr, image.Row(3));
    EXPECT_EQ(nullptr, image.Row(-1));
}

TEST(JpegImageLayout, WidthFourNeedsNoPadding) {
    CJpegImage image;
    ASSERT_EQ(1, image.Create(4, 2));
    EXPECT_EQ(0u, image.Padding());
    EXPECT_EQ(12u, image.RowLength());
    EXPECT_EQ(24u, image.Size());
    EXPECT_EQ(image.Buffer() + 12, image.Row(1));
}

TEST(JpegImageLayout, PaddingFollowsWidthModuloFour) {
    const uint32_t expectedPadding[] = {0, 1, 2, 3};  // widths 4, 5, 6, 7 -> 12, 15, 18, 21 bytes
    for (int width = 4; width < 8; ++width) {
        CJpegImage image;
        ASSERT_EQ(1, image.Create(width, 1));
        EXPECT_EQ(expectedPadding[width - 4], image.Padding()) << width;
        EXPECT_EQ(0u, image.RowLength() % 4) << width;
    }
}

TEST(JpegImageLayout, BufferStartsZeroed) {
    CJpegImage image;
    ASSERT_EQ(1, image.Create(33, 17));
    const uint8_t* p = image.Buffer();
    EXPECT_TRUE(std::all_of(p, p + image.Size(), [](uint8_t b) { return b == 0; }));
}

TEST(JpegImageLayout, InfoHeaderDescribesBottomUp24BitPicture) {
    CJpegImage image;
    ASSERT_EQ(1, image.Create(640, 480));
    const BitmapInfoHeader& h = image.InfoHeader();
    EXPECT_EQ(40u, h.size);
    EXPECT_EQ(640, h.width);
    EXPECT_EQ(480, h.height);
    EXPECT_EQ(1, h.planes);
    EXPECT_EQ(24, h.bitCount);
    EXPECT_EQ(0u, h.compression);
    EXPECT_EQ(0u, h.sizeImage);
    EXPECT_EQ(0, h.xPelsPerMeter);
    EXPECT_EQ(0, h.yPelsPerMeter);
    EXPECT_EQ(0u, h.clrUsed);
    EXPECT_EQ(0u, h.clrImportant);
}

TEST(JpegImageLifecycle, ResetFreesAndZeroes) {
    CJpegImage image;
    ASSERT_EQ(1, image.Create(5, 5));
    image.Reset();
    EXPECT_EQ(0, image.Width());
    EXPECT_EQ(0, image.Height());
    EXPECT_EQ(0u, image.Padding());
    EXPECT_EQ(0u, image.Size());
    EXPECT_EQ(nullptr, image.Buffer());
    EXPECT_EQ(nullptr, image.Row(0));
    EXPECT_EQ(0u, image.InfoHeader().size);
}

TEST(JpegImageLifecycle, CreateReplacesEarlierPicture) {
    CJpegImage image;
    ASSERT_EQ(1, image.Create(2, 2));
    image.Buffer()[0] = 7;
    ASSERT_EQ(1, image.Create(3, 4));
    EXPECT_EQ(3, image.Width());
    EXPECT_EQ(4, image.Height());
    EXPECT_EQ(48u, image.Size());
    EXPECT_EQ(0, image.Buffer()[0]);
}

TEST(JpegImageLifecycle, RefusedSizeLeavesNoBuffers) {
    CJpegImage image;
    ASSERT_EQ(1, image.Create(8, 8));
    const int32_t bad[][2] = {{0, 5}, {5, 0}, {-1, 5}, {5, -3}, {70000, 1}, {1, 70000}, {60000, 60000}};
    for (const auto& size : bad) {
        EXPECT_EQ(0, image.Create(size[0], size[1])) << size[0] << "x" << size[1];
        EXPECT_EQ(nullptr, image.Buffer());
        EXPECT_EQ(0u, image.Size());
        EXPECT_EQ(0, image.Width());
    }
}

TEST(JpegImageWrite, WithoutPictureFails) {
    TempFolder folder;
    CJpegImage image;
    EXPECT_EQ(0, image.WriteJpegFile((folder.Path() / "a.jpg").c_str(), 90));
    EXPECT_EQ(0u, folder.EntryCount());
}

TEST(JpegImageWrite, MissingFolderFailsAndLeavesNoFile) {
    TempFolder folder;
    CJpegImage image;
    ASSERT_EQ(1, image.Create(8, 8));
    const fs::path target = folder.Path() / "missing" / "snap.jpg";
    EXPECT_EQ(0, image.WriteJpegFile(target.c_str(), 100));
    EXPECT_FALSE(fs::exists(target.parent_path()));
    EXPECT_EQ(0u, folder.EntryCount());
    EXPECT_EQ(0, image.WriteJpegFile(nullptr, 100));
    EXPECT_EQ(0, image.WriteJpegFile("", 100));
}

TEST(JpegImageWrite, UnwritableFolderLeavesNoFile) {
    TempFolder folder;
    CJpegImage image;
    ASSERT_EQ(1, image.Create(8, 8));
    // A path whose "folder" is a regular file cannot be created.
    const fs::path blocker = folder.Path() / "plainfile";
    { std::FILE* f = std::fopen(blocker.c_str(), "w"); ASSERT_NE(nullptr, f); std::fclose(f); }
    EXPECT_EQ(0, image.WriteJpegFile((blocker / "snap.jpg").c_str(), 100));
    EXPECT_EQ(1u, folder.EntryCount());
}

TEST(JpegImageWrite, FileIsYCbCrWithChromaHalvedBothWays) {
    TempFolder folder;
    CJpegImage image;
    ASSERT_EQ(1, image.Create(37, 23));
    Fill(image, test::TestPattern(37, 23));
    const fs::path target = folder.Path() / "snap.jpg";
    ASSERT_EQ(1, image.WriteJpegFile(target.c_str(), 100));
    // Only the finished file is left, no temporary.
    EXPECT_EQ(1u, folder.EntryCount());

    const test::HeaderFacts facts = test::ReadHeader(test::ReadFile(target.string()));
    ASSERT_TRUE(facts.ok);
    EXPECT_EQ(JCS_YCbCr, facts.colorSpace);
    EXPECT_EQ(3, facts.components);
    EXPECT_EQ(37, facts.width);
    EXPECT_EQ(23, facts.height);
    EXPECT_EQ(2, facts.sampling[0][0]);
    EXPECT_EQ(2, facts.sampling[0][1]);
    for (int c = 1; c < 3; ++c) {
        EXPECT_EQ(1, facts.sampling[c][0]) << c;
        EXPECT_EQ(1, facts.sampling[c][1]) << c;
    }
    EXPECT_FALSE(facts.progressive);
}

TEST(JpegImageWrite, QualityReachesTheEncoderUnchanged) {
    TempFolder folder;
    CJpegImage image;
    ASSERT_EQ(1, image.Create(16, 16));
    Fill(image, test::TestPattern(16, 16));
    for (int quality : {10, 50, 75, 100}) {
        const fs::path target = folder.Path() / ("q" + std::to_string(quality) + ".jpg");
        ASSERT_EQ(1, image.WriteJpegFile(target.c_str(), quality));
        const test::HeaderFacts facts = test::ReadHeader(test::ReadFile(target.string()));
        ASSERT_TRUE(facts.ok);
        EXPECT_EQ(test::ExpectedLumaQuant(quality), facts.firstLumaQuant) << quality;
    }
    EXPECT_NE(test::ExpectedLumaQuant(10), test::ExpectedLumaQuant(100));
}

TEST(JpegImageWrite, ReplacesAnExistingFileWhole) {
    TempFolder folder;
    const fs::path target = folder.Path() / "snap.jpg";
    { std::FILE* f = std::fopen(target.c_str(), "w"); ASSERT_NE(nullptr, f); std::fputs("old", f); std::fclose(f); }
    CJpegImage image;
    ASSERT_EQ(1, image.Create(9, 9));
    ASSERT_EQ(1, image.WriteJpegFile(target.c_str(), 80));
    const std::vector<uint8_t> bytes = test::ReadFile(target.string());
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_EQ(0xFF, bytes[0]);
    EXPECT_EQ(0xD8, bytes[1]);
    EXPECT_EQ(1u, folder.EntryCount());
}

TEST(JpegImageWrite, RoundTripKeepsThePicture) {
    TempFolder folder;
    const int width = 61, height = 45;  // odd sizes: padding and partial blocks
    const std::vector<uint8_t> pattern = test::TestPattern(width, height);
    CJpegImage image;
    ASSERT_EQ(1, image.Create(width, height));
    Fill(image, pattern);
    const fs::path target = folder.Path() / "snap.jpg";
    ASSERT_EQ(1, image.WriteJpegFile(target.c_str(), 95));

    std::vector<uint8_t> jpeg = test::ReadFile(target.string());
    std::vector<uint8_t> decoded(static_cast<size_t>(width) * height * 3);
    uint32_t size = static_cast<uint32_t>(jpeg.size());
    ASSERT_EQ(1, DecodeJpeg(jpeg.data(), size, decoded.data(), static_cast<uint32_t>(decoded.size())));
    ASSERT_EQ(decoded.size(), size);

    // The decoder's rows are unpadded and bottom-up, like the image's but
    // without padding: compare each against the image's own row.
    long totalError = 0;
    int worst = 0;
    for (int row = 0; row < height; ++row) {
        const uint8_t* want = image.Row(row);
        const uint8_t* got = &decoded[static_cast<size_t>(row) * width * 3];
        for (int i = 0; i < width * 3; ++i) {
            const int error = std::abs(int{want[i]} - int{got[i]});
            totalError += error;
            worst = std::max(worst, error);
        }
    }
    EXPECT_LT(static_cast<double>(totalError) / (width * height * 3), 2.0);
    EXPECT_LT(worst, 24);
}

}  // namespace
}  // namespace corvanta
