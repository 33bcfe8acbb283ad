// The writer on its own, with JPEGs made by ffmpeg: which pictures go in and
// what stands in for the others.

#include <gtest/gtest.h>

#include "ExportTestSupport.h"
#include "playback/export/CVideoFileWriter.h"
#include "support/Files.h"

namespace corvanta {
namespace {

class VideoFileWriterTest : public ::testing::Test {
protected:
    std::string Jpeg(int width, int height) {
        const std::string path = folder.File(std::to_string(width) + "x" + std::to_string(height) + ".jpg");
        test::CommandOutput("ffmpeg -v error -y -f lavfi -i testsrc=size=" + std::to_string(width) + "x" +
                            std::to_string(height) + " -frames:v 1 '" + path + "'");
        return test::ReadWholeFile(path);
    }
    static std::span<const uint8_t> Bytes(const std::string& s) {
        return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
    }

    test::TempFolder folder;
};

TEST_F(VideoFileWriterTest, MjpegTakesWholePicturesOfItsSizeOnly) {
    const std::string good = Jpeg(322, 240), large = Jpeg(640, 480);
    ASSERT_GT(good.size(), 100u);
    const std::string cut = good.substr(0, good.size() / 2);
    CVideoFileWriter writer;
    const std::string path = folder.File("odd.avi");
    ASSERT_TRUE(writer.Open(path, ExportFormat::MjpegAvi, 322, 240, 1, 10)) << writer.Error();
    EXPECT_EQ(CVideoFileWriter::Put::Written, writer.Add(Bytes(good), 0));
    EXPECT_EQ(CVideoFileWriter::Put::Skipped, writer.Add(Bytes(large), 100));
    EXPECT_EQ(CVideoFileWriter::Put::Skipped, writer.Add(Bytes(cut), 200));
    EXPECT_EQ(CVideoFileWriter::Put::Skipped, writer.Add({}, 250));
    // A time that does not go forward is moved on by a frame.
    EXPECT_EQ(CVideoFileWriter::Put::Written, writer.Add(Bytes(good), 0));
    EXPECT_EQ(CVideoFileWriter::Put::Written, writer.Add(Bytes(good), 1000));
    ASSERT_TRUE(writer.Finish()) << writer.Error();
    auto probe = test::Probe(path);
    EXPECT_EQ("3", probe["nb_read_packets"]);
    EXPECT_NEAR(1.1, std::stod(probe["duration"]), 0.001);
}

TEST_F(VideoFileWriterTest, H264RepeatsThePreviousPictureForOneThatDoesNotDecode) {
    const std::string good = Jpeg(320, 240);
    const std::string cut = good.substr(0, good.size() - 40);
    CVideoFileWriter writer;
    EXPECT_FALSE(writer.Open(folder.File("odd.mp4"), ExportFormat::H264Mp4, 321, 240, 1, 25));
    EXPECT_EQ("unsupported picture size", writer.Error());

    const std::string path = folder.File("even.mp4");
    ASSERT_TRUE(writer.Open(path, ExportFormat::H264Mp4, 320, 240, 1, 25)) << writer.Error();
    EXPECT_EQ(CVideoFileWriter::Put::Skipped, writer.Add(Bytes(cut), 0));  // nothing to repeat yet
    EXPECT_EQ(CVideoFileWriter::Put::Written, writer.Add(Bytes(good), 40));
    EXPECT_EQ(CVideoFileWriter::Put::Repeated, writer.Add(Bytes(cut), 80));
    EXPECT_EQ(CVideoFileWriter::Put::Written, writer.Add(Bytes(good), 120));
    ASSERT_TRUE(writer.Finish()) << writer.Error();
    EXPECT_EQ("3", test::Probe(path)["nb_read_packets"]);
}

}  // namespace
}  // namespace corvanta
