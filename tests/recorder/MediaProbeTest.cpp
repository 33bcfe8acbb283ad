// What indexing learns from real video files made by ffmpeg, checked against
// ffprobe's own reading of them.

#include <algorithm>
#include <filesystem>
#include <random>

#include "MediaTestSupport.h"
#include "recorder/folder/MediaProbe.h"

namespace corvanta::recorder::folder {
namespace {

using test::MediaDir;

// The first three seconds show one picture with fresh sensor noise in every
// frame; from then on the test picture moves.
const std::string kStillThenMoving =
    "-f lavfi -i 'testsrc2=size=320x240:rate=25,split[x][y];[x][y]freezeframes=first=0:last=74:replace=0,"
    "noise=alls=8:allf=t' -t 6";

void expectAscendingFromZero(const MediaInfo& info) {
    ASSERT_FALSE(info.frameMs.empty());
    EXPECT_EQ(info.frameMs.front(), 0);
    EXPECT_TRUE(std::adjacent_find(info.frameMs.begin(), info.frameMs.end(), std::greater_equal<>()) ==
                info.frameMs.end());
}

TEST(MediaProbe, H264WithBFramesHasFfmpegsFramesInPresentationOrder) {
    MediaDir dir;
    const std::string path = dir.file("b.mp4");
    test::makeVideo(test::movingSource("320x240", 5) + " -c:v libx264 -bf 3 -g 50 -pix_fmt yuv420p", path);
    std::string error;
    const auto info = probeMedia(path, &error);
    ASSERT_TRUE(info) << error;
    EXPECT_EQ(info->codec, "h264");
    EXPECT_EQ(info->width, 320u);
    EXPECT_EQ(info->height, 240u);
    EXPECT_EQ(info->rate, 25u);
    EXPECT_EQ(info->scale, 1u);
    EXPECT_FALSE(info->intraOnly);
    EXPECT_EQ(info->frameCount(), test::ffprobeFrameCount(path));
    EXPECT_EQ(info->frameCount(), 125u);
    expectAscendingFromZero(*info);
    EXPECT_EQ(info->frameMs[50], 2000);
    ASSERT_GE(info->keyFrames.size(), 3u);
    EXPECT_EQ(info->keyFrames[0], 0u);
    EXPECT_TRUE(std::find(info->keyFrames.begin(), info->keyFrames.end(), 50u) != info->keyFrames.end());
    EXPECT_TRUE(std::is_sorted(info->keyFrames.begin(), info->keyFrames.end()));
    EXPECT_EQ(info->activity.size(), 5u);
    EXPECT_FALSE(info->creationTimeUtc);
}

TEST(MediaProbe, MjpegAviAndOddRatesAndCreationTime) {
    MediaDir dir;
    const std::string avi = dir.file("m.avi");
    test::makeVideo(test::movingSource("176x144", 2, 12) + " -c:v mjpeg -q:v 5", avi);
    auto info = probeMedia(avi, nullptr);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->codec, "mjpeg");
    EXPECT_TRUE(info->intraOnly);
    EXPECT_EQ(info->frameCount(), test::ffprobeFrameCount(avi));
    EXPECT_EQ(info->keyFrames.size(), info->frameCount());
    EXPECT_EQ(info->rate, 12u);
    EXPECT_EQ(info->frameMs[6], 500);
    expectAscendingFromZero(*info);

    const std::string ntsc = dir.file("ntsc.mkv");
    test::makeVideo("-f lavfi -i testsrc2=size=160x120:rate=30000/1001 -t 1 -c:v libx264 "
                    "-metadata creation_time=2026-03-04T05:06:07Z",
                    ntsc);
    info = probeMedia(ntsc, nullptr);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->rate, 30000u);
    EXPECT_EQ(info->scale, 1001u);
    EXPECT_EQ(info->frameMs[1], 33);
    EXPECT_EQ(info->frameMs[3], 100);
    ASSERT_TRUE(info->creationTimeUtc);
    EXPECT_EQ(*info->creationTimeUtc, 1772600767);  // 2026-03-04 05:06:07 UTC
}

// The header alone says how long a file is, before it is read through.
TEST(MediaProbe, TheSpanOfAFileComesFromItsHeaderAndAgreesWithTheFullProbe) {
    MediaDir dir;
    const std::string avi = dir.file("m.avi"), mp4 = dir.file("c.mp4"), ts = dir.file("t.ts");
    test::makeVideo(test::movingSource("176x144", 5, 10) + " -c:v mjpeg", avi);
    test::makeVideo(test::movingSource("176x144", 3) + " -c:v libx264 -pix_fmt yuv420p "
                    "-metadata creation_time=2026-03-04T05:06:07Z", mp4);
    test::makeVideo(test::movingSource("176x144", 4) + " -c:v libx264 -pix_fmt yuv420p -f mpegts", ts);
    for (const auto& [path, seconds] : {std::pair{avi, 5}, std::pair{mp4, 3}, std::pair{ts, 4}}) {
        SCOPED_TRACE(path);
        const auto span = probeSpan(path);
        const auto full = probeMedia(path, nullptr);
        ASSERT_TRUE(span && full);
        EXPECT_NEAR(double(span->durationMs), seconds * 1000.0, 150.0);
        EXPECT_EQ(span->creationTimeUtc, full->creationTimeUtc);
    }
    EXPECT_EQ(probeSpan(mp4)->creationTimeUtc, std::optional<int64_t>(1772600767));
    test::writeFile(dir.file("notes.avi"), "This is not a video.\n");
    EXPECT_FALSE(probeSpan(dir.file("notes.avi")));
    EXPECT_FALSE(probeSpan(dir.file("gone.mp4")));
}

TEST(MediaProbe, ActivityRanksMovingSecondsAboveStillOnesForBothSignals) {
    MediaDir dir;
    const std::string mjpeg = dir.file("half.avi"), h264 = dir.file("half.mp4");
    test::makeVideo(kStillThenMoving + " -c:v mjpeg -q:v 5", mjpeg);
    test::makeVideo(kStillThenMoving + " -c:v libx264 -g 50 -pix_fmt yuv420p", h264);
    for (const std::string& path : {mjpeg, h264}) {
        SCOPED_TRACE(path);
        const auto info = probeMedia(path, nullptr);
        ASSERT_TRUE(info);
        ASSERT_EQ(info->activity.size(), 6u);
        for (size_t s = 0; s < 3; ++s) EXPECT_EQ(info->activity[s], 0) << "still second " << s;
        for (size_t s = 3; s < 6; ++s) {
            EXPECT_GE(info->activity[s], 1) << "moving second " << s;
            EXPECT_LE(info->activity[s], 200) << "moving second " << s;
        }
        // Deterministic: the same file gives the same levels.
        EXPECT_EQ(probeMedia(path, nullptr)->activity, info->activity);
    }
}

TEST(MediaProbe, BrokenAndForeignFilesGiveNothingOrWhatIsReadable) {
    MediaDir dir;
    const std::string good = dir.file("good.mp4"), avi = dir.file("good.avi");
    test::makeVideo(test::movingSource("320x240", 4) + " -c:v libx264 -g 25 -pix_fmt yuv420p", good);
    test::makeVideo(test::movingSource("320x240", 4) + " -c:v mjpeg", avi);
    const std::string bytes = test::readFile(good), aviBytes = test::readFile(avi);
    const auto full = probeMedia(avi, nullptr);
    ASSERT_TRUE(full);

    std::mt19937 random(7);
    std::string noise(200000, '\0');
    for (char& c : noise) c = char(random());
    test::writeFile(dir.file("empty.mp4"), "");
    test::writeFile(dir.file("noise.mp4"), noise);
    test::writeFile(dir.file("notes.txt"), "This is not a video.\nIt only has a name like one.\n");
    test::writeFile(dir.file("notes.avi"), "This is not a video.\nIt only has a name like one.\n");
    test::writeFile(dir.file("head.mp4"), bytes.substr(0, 64));
    test::makeVideo("-f lavfi -i testsrc2=size=64x48 -frames:v 1", dir.file("still.jpg"));
    for (const char* name : {"empty.mp4", "noise.mp4", "notes.txt", "notes.avi", "head.mp4", "still.jpg", "gone.mp4"}) {
        std::string error;
        EXPECT_FALSE(probeMedia(dir.file(name), &error)) << name;
        EXPECT_FALSE(error.empty()) << name;
    }

    // Cut in half: an AVI keeps the frames before the cut; an MP4 whose
    // index sits at the end is refused; neither crashes.
    test::writeFile(dir.file("half.avi"), aviBytes.substr(0, aviBytes.size() / 2));
    test::writeFile(dir.file("half.mp4"), bytes.substr(0, bytes.size() / 2));
    const auto cut = probeMedia(dir.file("half.avi"), nullptr);
    ASSERT_TRUE(cut);
    EXPECT_GT(cut->frameCount(), full->frameCount() / 3);
    EXPECT_LT(cut->frameCount(), full->frameCount());
    const auto cutMp4 = probeMedia(dir.file("half.mp4"), nullptr);
    if (cutMp4) {
        EXPECT_GT(cutMp4->frameCount(), 0u);
    }

    // Damaged in the middle: probing goes on past the damage.
    std::string damaged = bytes;
    for (size_t i = damaged.size() / 3; i < damaged.size() / 3 + 4000; ++i) damaged[i] = char(random());
    test::writeFile(dir.file("damaged.mp4"), damaged);
    const auto info = probeMedia(dir.file("damaged.mp4"), nullptr);
    if (info) {
        EXPECT_LE(info->frameCount(), 100u);
    }
}

}  // namespace
}  // namespace corvanta::recorder::folder
