// Which frames a range takes, what the dialog says about it, and the file
// details read from the stand-in.

#include <gtest/gtest.h>

#include "ExportTestSupport.h"
#include "archive/ArchiveRecords.h"
#include "playback/export/ExportPlan.h"

namespace corvanta {
namespace {

constexpr int64_t kSecond = 1000;

platform::SystemTime At(uint16_t hour, uint16_t minute, uint16_t second) {
    return platform::SystemTime{2026, 12, 0, 6, hour, minute, second, 0};
}

// A file of `seconds` seconds at 10 frames per second from `start`.
ExportCandidate File(const char* name, platform::SystemTime start, uint32_t seconds) {
    ExportCandidate c;
    c.file.fileName = name;
    c.file.sourceId = "CAM01";
    c.file.start = start;
    c.sourceName = "Front door";
    c.width = 704;
    c.height = 576;
    c.scale = 1;
    c.rate = 10;
    c.frameCount = seconds * 10;
    c.sampleJpegBytes = 50000;
    return c;
}

TEST(ExportPlanTest, RangeTakesTheFramesOfEachFileInsideItAndKeepsFilesInOrder) {
    ExportPlan plan;
    // 10:00:00-10:01:00 and 10:05:00-10:06:00.
    plan.SetCandidates({File("a", At(10, 0, 0), 60), File("b", At(10, 5, 0), 60)});
    EXPECT_EQ(RecorderTimeMs(At(10, 0, 0)), plan.FirstFrameMs());
    EXPECT_EQ(RecorderTimeMs(At(10, 5, 59)) + 900, plan.LastFrameMs());

    plan.SetRange(RecorderTimeMs(At(10, 0, 30)), RecorderTimeMs(At(10, 5, 10)));
    ASSERT_EQ(2u, plan.Pieces().size());
    EXPECT_EQ("a", plan.Pieces()[0].fileName);
    EXPECT_EQ(300u, plan.Pieces()[0].firstFrame);
    EXPECT_EQ(599u, plan.Pieces()[0].lastFrame);
    EXPECT_EQ("b", plan.Pieces()[1].fileName);
    EXPECT_EQ(0u, plan.Pieces()[1].firstFrame);
    EXPECT_EQ(100u, plan.Pieces()[1].lastFrame);  // the frame at 10:05:10.000 itself
    EXPECT_EQ(300u + 101u, plan.FrameCount());
    EXPECT_EQ(401u * 50000, plan.EstimatedBytes());
    EXPECT_EQ("401 frames, about 20.1 MB", plan.Summary());
    EXPECT_EQ("", plan.Reason());

    plan.SetFormat(ExportFormat::H264Mp4);
    EXPECT_LT(plan.EstimatedBytes(), 401u * 50000 / 4);
}

TEST(ExportPlanTest, RangeWithoutRecordingOrBackwardsSaysWhy) {
    ExportPlan plan;
    plan.SetCandidates({File("a", At(10, 0, 0), 60), File("b", At(10, 5, 0), 60)});
    plan.SetRange(RecorderTimeMs(At(10, 2, 0)), RecorderTimeMs(At(10, 4, 0)));
    EXPECT_EQ(0u, plan.FrameCount());
    EXPECT_EQ("Nothing was recorded in this range.", plan.Reason());
    plan.SetRange(RecorderTimeMs(At(10, 0, 20)), RecorderTimeMs(At(10, 0, 10)));
    EXPECT_EQ("The end of the range is before its start.", plan.Reason());
    plan.SetCandidates({});
    plan.SetRange(RecorderTimeMs(At(10, 0, 0)), RecorderTimeMs(At(11, 0, 0)));
    EXPECT_FALSE(plan.Reason().empty());

    ExportCandidate large = File("b", At(10, 5, 0), 60);
    large.width = 1600;
    plan.SetCandidates({File("a", At(10, 0, 0), 60), large});
    plan.SetRange(RecorderTimeMs(At(10, 0, 0)), RecorderTimeMs(At(11, 0, 0)));
    EXPECT_EQ("The recordings in this range have different picture sizes.", plan.Reason());
}

TEST(ExportPlanTest, GapInsideAFileIsPlacedByItsSecondIndex) {
    // 3 s recorded, 57 s without frames, 3 s recorded: frames 0-29 and 30-59.
    ExportCandidate c = File("a", At(10, 0, 0), 6);
    c.secondIndex.assign(63, kNoFrameInSecond);
    for (uint32_t s = 0; s < 3; ++s) c.secondIndex[s] = s * 10;
    for (uint32_t s = 0; s < 3; ++s) c.secondIndex[60 + s] = 30 + s * 10;
    ExportPlan plan;
    plan.SetCandidates({c});
    EXPECT_EQ(RecorderTimeMs(At(10, 1, 2)) + 900, plan.LastFrameMs());
    plan.SetRange(RecorderTimeMs(At(10, 0, 30)), RecorderTimeMs(At(10, 1, 0)) + 500);
    ASSERT_EQ(1u, plan.Pieces().size());
    EXPECT_EQ(30u, plan.Pieces()[0].firstFrame);
    EXPECT_EQ(35u, plan.Pieces()[0].lastFrame);
}

TEST(ExportPlanTest, DefaultNameHoldsSourceAndRange) {
    ExportPlan plan;
    ExportCandidate c = File("a", At(9, 5, 0), 3600);
    c.sourceName = "Front door/1";
    plan.SetCandidates({c});
    plan.SetRange(RecorderTimeMs(At(9, 5, 7)), RecorderTimeMs(At(9, 45, 30)));
    EXPECT_EQ("Front_door_1_20261206_090507-094530.avi", plan.DefaultFileName());
    plan.SetFormat(ExportFormat::H264Mp4);
    EXPECT_EQ("Front_door_1_20261206_090507-094530.mp4", plan.DefaultFileName());
    EXPECT_EQ(RecorderTimeMs(At(9, 5, 7)), RecorderTimeMs(RecorderTimeOf(RecorderTimeMs(At(9, 5, 7)))));
}

class ExportPlanRecorderTest : public test::RecorderFixture {};

TEST_F(ExportPlanRecorderTest, FileDetailsComeFromTheRecorder) {
    const recorder::DemoSource& bay = Source("CAM04");
    const recorder::Recording& rec = server->archive().recordings(bay.index).front();
    ExportPiece file;
    file.fileName = rec.fileName;
    file.sourceId = bay.id;
    file.start = recorder::toSystemTime(rec.start);
    file.stop = recorder::toSystemTime(rec.stop);
    CRawRecorderChannel channel(server->baseUrl(), session);
    ExportCandidate candidate;
    ASSERT_TRUE(FetchCandidate(channel, file, candidate));
    EXPECT_EQ(640u, candidate.width);
    EXPECT_EQ(480u, candidate.height);
    EXPECT_EQ(rec.frameCount, candidate.frameCount);
    EXPECT_GT(candidate.sampleJpegBytes, 1000u);
    EXPECT_FALSE(candidate.secondIndex.empty());

    ExportPlan plan;
    plan.SetCandidates({candidate});
    plan.SetRange(plan.FirstFrameMs(), plan.LastFrameMs());
    EXPECT_EQ(rec.frameCount, plan.FrameCount());
    // The last frame lies in the file's last recorded second.
    EXPECT_LT(plan.LastFrameMs(), RecorderTimeMs(file.stop));
    EXPECT_GE(plan.LastFrameMs(), RecorderTimeMs(file.stop) - 2 * 1500);

    file.fileName += "x";
    EXPECT_FALSE(FetchCandidate(channel, file, candidate));
}

}  // namespace
}  // namespace corvanta
