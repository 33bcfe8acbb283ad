// Frames served from ffmpeg-made files: stored JPEG bytes as the file holds
// them, decoded frames that are ffmpeg's frame N whatever the order of
// access, pictures scaled to fit, damaged files that stay usable.

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>

#include "MediaTestSupport.h"
#include "recorder/folder/FrameReader.h"
#include "recorder/folder/MediaProbe.h"
#include "recorder/folder/MjpegPackets.h"

namespace corvanta::recorder::folder {
namespace {

using test::MediaDir;

struct Opened {
    MediaInfo info;
    std::unique_ptr<FrameReader> reader;
};

Opened openFile(const std::string& path, const FrameReaderOptions& options = {}) {
    Opened o;
    std::string error;
    auto info = probeMedia(path, &error);
    EXPECT_TRUE(info) << error;
    if (!info) return o;
    o.info = *info;
    o.reader = FrameReader::open(path, o.info, options, &error);
    EXPECT_TRUE(o.reader) << error;
    return o;
}

// Frame `index` from the reader, in the order given; every order must give
// the same bytes.
std::map<uint32_t, std::string> readInOrder(FrameReader& reader, const std::vector<uint32_t>& order) {
    std::map<uint32_t, std::string> frames;
    for (uint32_t i : order) {
        auto jpeg = reader.jpeg(i);
        EXPECT_TRUE(jpeg) << "frame " << i;
        if (!jpeg) continue;
        auto [it, inserted] = frames.emplace(i, *jpeg);
        if (!inserted) {
            EXPECT_EQ(it->second, *jpeg) << "frame " << i << " differs between reads";
        }
    }
    return frames;
}

std::vector<uint32_t> allFrames(uint32_t count) {
    std::vector<uint32_t> order(count);
    for (uint32_t i = 0; i < count; ++i) order[i] = i;
    return order;
}

TEST(MediaFrameReader, StoredMjpegIsServedAsTheFileHoldsIt) {
    MediaDir dir;
    const std::string avi = dir.file("m.avi");
    test::makeVideo(test::movingSource("320x240", 2) + " -c:v mjpeg -q:v 4", avi);
    const std::string pattern = dir.file("stored%03d.jpg");
    const std::string copy = "ffmpeg -nostdin -v error -i '" + avi + "' -c copy -f image2 '" + pattern + "'";
    ASSERT_EQ(std::system(copy.c_str()), 0);

    Opened o = openFile(avi);
    ASSERT_TRUE(o.reader);
    EXPECT_TRUE(o.reader->servesStoredJpeg());
    EXPECT_EQ(o.reader->width(), 320u);
    EXPECT_EQ(o.reader->height(), 240u);
    const uint32_t count = o.info.frameCount();
    ASSERT_EQ(count, 50u);
    std::vector<uint32_t> order = allFrames(count);
    std::shuffle(order.begin(), order.end(), std::mt19937(3));
    const std::vector<uint32_t> backwards(order.rbegin(), order.rend());
    order.insert(order.end(), backwards.begin(), backwards.end());
    const auto frames = readInOrder(*o.reader, order);
    for (uint32_t i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "stored%03u.jpg", i + 1);
        EXPECT_EQ(frames.at(i), test::readFile(dir.file(name))) << "frame " << i;
    }
    EXPECT_FALSE(o.reader->jpeg(count));
}

// A JPEG as capture cards store it in AVI: an "AVI1" header in place of
// JFIF and no Huffman tables (the standard ones are implied).
std::string asAvi1(const std::string& jpeg) {
    std::string out = jpeg.substr(0, 2) + std::string("\xFF\xE0\x00\x10" "AVI1", 8) + std::string(10, '\0');
    for (size_t at = 2; at + 4 <= jpeg.size();) {
        const auto marker = uint8_t(jpeg[at + 1]);
        if (marker == 0xDA) return out + jpeg.substr(at);
        const size_t length = size_t(uint8_t(jpeg[at + 2])) << 8 | uint8_t(jpeg[at + 3]);
        if (marker != 0xE0 && marker != 0xC4) out += jpeg.substr(at, 2 + length);
        at += 2 + length;
    }
    return {};
}

TEST(MediaFrameReader, Avi1MjpegWithoutHuffmanTablesIsCompleted) {
    MediaDir dir;
    test::makeVideo(test::movingSource("160x120", 2) + " -c:v mjpeg -huffman default", dir.file("f%03d.jpg"));
    ASSERT_TRUE(std::filesystem::exists(dir.file("f050.jpg")));
    for (int i = 1; i <= 50; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%03d.jpg", i);
        const std::string jpeg = test::readFile(dir.file(name));
        ASSERT_TRUE(definesHuffmanTables(reinterpret_cast<const uint8_t*>(jpeg.data()), jpeg.size()));
        const std::string avi1 = asAvi1(jpeg);
        ASSERT_FALSE(definesHuffmanTables(reinterpret_cast<const uint8_t*>(avi1.data()), avi1.size()));
        test::writeFile(dir.file(std::string("s") + (name + 1)), avi1);
    }
    const std::string avi = dir.file("avi1.avi");
    test::makeVideo("-framerate 25 -i '" + dir.file("s%03d.jpg") + "' -c copy", avi);

    Opened o = openFile(avi);
    ASSERT_TRUE(o.reader);
    ASSERT_EQ(o.info.frameCount(), 50u);
    // Activity needs the pictures decoded: the scrolling picture moves.
    EXPECT_GT(o.info.activity.at(0), 0);
    EXPECT_GT(o.info.activity.at(1), 0);
    for (uint32_t n : {30u, 0u, 49u, 1u}) {
        const auto jpeg = o.reader->jpeg(n);
        ASSERT_TRUE(jpeg);
        EXPECT_TRUE(definesHuffmanTables(reinterpret_cast<const uint8_t*>(jpeg->data()), jpeg->size()));
        char name[32];
        std::snprintf(name, sizeof name, "f%03u.jpg", n + 1);
        const auto served = test::decodeGrey(*jpeg), stored = test::decodeGrey(test::readFile(dir.file(name)));
        ASSERT_TRUE(served && stored);
        EXPECT_EQ(served->grey, stored->grey) << "frame " << n;
    }

    // The header walk stops at the data's end wherever it is cut.
    const std::string jpeg = test::readFile(dir.file("f001.jpg"));
    for (size_t cut = 0; cut < 700 && cut < jpeg.size(); ++cut)
        definesHuffmanTables(reinterpret_cast<const uint8_t*>(jpeg.data()), cut);
    EXPECT_FALSE(definesHuffmanTables(reinterpret_cast<const uint8_t*>("\xFF\xD8\xFF\xE0\x00\x01"), 6));
}

TEST(MediaFrameReader, H264FrameNIsFfmpegsFrameNInAnyOrder) {
    MediaDir dir;
    const std::string mp4 = dir.file("b.mp4");
    test::makeVideo(test::movingSource("320x240", 5) + " -c:v libx264 -bf 3 -g 50 -pix_fmt yuv420p", mp4);
    Opened o = openFile(mp4);
    ASSERT_TRUE(o.reader);
    EXPECT_FALSE(o.reader->servesStoredJpeg());
    ASSERT_EQ(o.reader->width(), 320u);
    ASSERT_EQ(o.reader->height(), 240u);
    const uint32_t count = o.info.frameCount();
    const auto reference = test::ffmpegGreyFrames(mp4, 320, 240);
    ASSERT_EQ(reference.size(), count);

    // Sequential first, then random order, then backwards: the same bytes.
    std::vector<uint32_t> order = allFrames(count);
    std::vector<uint32_t> shuffled = order;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(5));
    order.insert(order.end(), shuffled.begin(), shuffled.end());
    for (uint32_t i = count; i-- > 0;) order.push_back(i);
    const auto frames = readInOrder(*o.reader, order);
    ASSERT_EQ(frames.size(), count);

    for (uint32_t n = 0; n < count; ++n) {
        const auto picture = test::decodeGrey(frames.at(n));
        ASSERT_TRUE(picture);
        ASSERT_EQ(picture->width, 320u);
        const double own = test::thumbnailDifference(picture->grey, reference[n], 320, 240);
        EXPECT_LT(own, 3.0) << "frame " << n;
        for (uint32_t neighbour : {n - 1, n + 1}) {
            if (neighbour >= count) continue;
            EXPECT_LT(own, test::thumbnailDifference(picture->grey, reference[neighbour], 320, 240))
                << "frame " << n << " is nearer to ffmpeg's frame " << neighbour;
        }
    }
}

// Frames in the order given are nearest to ffmpeg's own frames of the same number.
void expectFfmpegsFrames(const std::string& path, std::vector<uint32_t> order) {
    Opened o = openFile(path);
    ASSERT_TRUE(o.reader);
    const uint32_t count = o.info.frameCount();
    ASSERT_EQ(count, test::ffprobeFrameCount(path));
    const uint32_t w = o.reader->width(), h = o.reader->height();
    const auto reference = test::ffmpegGreyFrames(path, w, h);
    ASSERT_EQ(reference.size(), count);
    order.push_back(count - 1);
    for (uint32_t n : order) {
        const auto picture = test::decodeGrey(o.reader->jpeg(n).value_or(""));
        ASSERT_TRUE(picture) << "frame " << n;
        const double own = test::thumbnailDifference(picture->grey, reference[n], w, h);
        EXPECT_LT(own, 4.0) << "frame " << n;
        for (uint32_t neighbour : {n - 1, n + 1})
            if (neighbour < count) {
                EXPECT_LT(own, test::thumbnailDifference(picture->grey, reference[neighbour], w, h))
                    << "frame " << n << " is nearer to ffmpeg's frame " << neighbour;
            }
    }
}

TEST(MediaFrameReader, OtherCodecsAndContainersGiveFfmpegsFrames) {
    MediaDir dir;
    const std::string source = test::movingSource("160x120", 4);
    const std::vector<std::pair<std::string, std::string>> files{
        {"mpeg4.avi", "-c:v mpeg4 -bf 2 -g 30"},  // no presentation times, B-frames reordered
        {"h264.ts", "-c:v libx264 -bf 2 -g 30 -pix_fmt yuv420p"},  // seeks land by decode time
        {"hevc.mkv", "-c:v libx265 -x265-params log-level=none -g 30 -pix_fmt yuv420p"},
        {"mjpeg.mov", "-c:v mjpeg"},
    };
    for (const auto& [name, codec] : files) {
        SCOPED_TRACE(name);
        test::makeVideo(source + " " + codec, dir.file(name));
        expectFfmpegsFrames(dir.file(name), {70, 31, 0, 29, 30, 58, 1, 61, 62});
    }
}

TEST(MediaFrameReader, VariableRateFramesAreFoundByTheirTimes) {
    MediaDir dir;
    const std::string mp4 = dir.file("vfr.mp4");
    // 25 frames a second for a second, then 5 a second.
    test::makeVideo(test::movingSource("160x120", 10) +
                        " -vf \"setpts='if(lt(N,25),N/25,1+(N-25)/5)/TB'\" -fps_mode passthrough -frames:v 40 "
                        "-c:v libx264 -g 12 -pix_fmt yuv420p",
                    mp4);
    Opened o = openFile(mp4);
    ASSERT_TRUE(o.reader);
    ASSERT_EQ(o.info.frameCount(), 40u);
    EXPECT_EQ(o.info.frameMs[24], 960);
    EXPECT_EQ(o.info.frameMs[26], 1200);
    EXPECT_EQ(o.info.frameMs[39], 3800);
    EXPECT_EQ(o.info.activity.size(), 4u);
    const auto reference = test::ffmpegGreyFrames(mp4, 160, 120);
    ASSERT_EQ(reference.size(), 40u);
    for (uint32_t n : {33u, 26u, 5u, 38u, 25u, 24u}) {
        const auto picture = test::decodeGrey(o.reader->jpeg(n).value_or(""));
        ASSERT_TRUE(picture);
        const double own = test::thumbnailDifference(picture->grey, reference[n], 160, 120);
        EXPECT_LT(own, test::thumbnailDifference(picture->grey, reference[n - 1], 160, 120)) << "frame " << n;
        EXPECT_LT(own, test::thumbnailDifference(picture->grey, reference[n + 1], 160, 120)) << "frame " << n;
    }
}

TEST(MediaFrameReader, LargePicturesAreScaledToFitWithTheirAspect) {
    MediaDir dir;
    const std::string mjpeg = dir.file("4k.avi");
    test::makeVideo("-f lavfi -i testsrc2=size=3840x2160:rate=5 -t 1 -c:v mjpeg -q:v 20", mjpeg);
    Opened o = openFile(mjpeg);
    ASSERT_TRUE(o.reader);
    EXPECT_FALSE(o.reader->servesStoredJpeg());
    EXPECT_EQ(o.reader->width(), 1440u);  // 3/8, the largest DCT scale that fits 1600 x 1200
    EXPECT_EQ(o.reader->height(), 810u);
    const auto reference = test::ffmpegGreyFrames(mjpeg, 1440, 810);
    ASSERT_EQ(reference.size(), 5u);
    for (uint32_t n : {4u, 0u, 2u}) {
        const auto jpeg = o.reader->jpeg(n);
        ASSERT_TRUE(jpeg);
        const auto picture = test::decodeGrey(*jpeg);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->width, 1440u);
        EXPECT_EQ(picture->height, 810u);
        EXPECT_LT(test::thumbnailDifference(picture->grey, reference[n], 1440, 810), 4.0) << "frame " << n;
    }

    // Decoded video goes through swscale to any fit, even-sized.
    const std::string h264 = dir.file("small.mp4");
    test::makeVideo(test::movingSource("320x240", 1) + " -c:v libx264 -pix_fmt yuv420p", h264);
    FrameReaderOptions options;
    options.maxWidth = 201;
    options.maxHeight = 201;
    o = openFile(h264, options);
    ASSERT_TRUE(o.reader);
    EXPECT_EQ(o.reader->width(), 200u);
    EXPECT_EQ(o.reader->height(), 150u);
    const auto picture = test::decodeGrey(o.reader->jpeg(7).value_or(""));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 200u);
    EXPECT_EQ(picture->height, 150u);
    EXPECT_LT(test::thumbnailDifference(picture->grey, test::ffmpegGreyFrames(h264, 200, 150).at(7), 200, 150), 4.0);
}

TEST(MediaFrameReader, JpegsLargerThanTheLimitAreEncodedAgainSmaller) {
    MediaDir dir;
    const std::string avi = dir.file("m.avi"), mp4 = dir.file("h.mp4");
    test::makeVideo(test::movingSource("320x240", 1) + " -c:v mjpeg -q:v 2", avi);
    test::makeVideo(test::movingSource("320x240", 1) + " -c:v libx264 -pix_fmt yuv420p", mp4);
    for (const std::string& path : {avi, mp4}) {
        SCOPED_TRACE(path);
        FrameReaderOptions options;
        options.quality = 95;
        const std::string full = openFile(path, options).reader->jpeg(3).value_or("");
        ASSERT_GT(full.size(), 1000u);
        options.maxJpegBytes = full.size() / 2;
        Opened o = openFile(path, options);
        ASSERT_TRUE(o.reader);
        const auto small = o.reader->jpeg(3);
        ASSERT_TRUE(small);
        EXPECT_LE(small->size(), options.maxJpegBytes);
        const auto picture = test::decodeGrey(*small);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->width, 320u);
    }
}

TEST(MediaFrameReader, DamagedFilesServeWhatIsReadable) {
    MediaDir dir;
    const std::string mp4 = dir.file("h.mp4"), avi = dir.file("m.avi");
    test::makeVideo(test::movingSource("320x240", 4) + " -c:v libx264 -g 25 -pix_fmt yuv420p", mp4);
    test::makeVideo(test::movingSource("320x240", 4) + " -c:v mjpeg", avi);
    for (const std::string& path : {mp4, avi}) {
        SCOPED_TRACE(path);
        Opened o = openFile(path);
        ASSERT_TRUE(o.reader);
        const uint32_t count = o.info.frameCount();
        const std::string bytes = test::readFile(path);
        // The file is cut to a third while open (a camera's file replaced,
        // or a disk error): the frames before the cut still come, the others
        // give nothing, and nothing crashes.
        const auto early = o.reader->jpeg(2);
        ASSERT_TRUE(early);
        test::writeFile(path, bytes.substr(0, bytes.size() / 3));
        EXPECT_FALSE(o.reader->jpeg(count - 1));
        EXPECT_FALSE(o.reader->jpeg(count));
        const auto again = o.reader->jpeg(2);
        EXPECT_TRUE(again);

        // Reopened on the cut file with the index of the whole one.
        std::string error;
        auto reader = FrameReader::open(path, o.info, {}, &error);
        if (reader) {
            EXPECT_TRUE(reader->jpeg(1));
            EXPECT_FALSE(reader->jpeg(count - 2));
        }
    }
    std::string error;
    EXPECT_FALSE(FrameReader::open(dir.file("gone.mp4"), MediaInfo{}, {}, &error));
    test::writeFile(dir.file("text.mp4"), "no video here");
    EXPECT_FALSE(FrameReader::open(dir.file("text.mp4"), openFile(avi).info, {}, &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace corvanta::recorder::folder
