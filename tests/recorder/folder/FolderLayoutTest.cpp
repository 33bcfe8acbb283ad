#include <gtest/gtest.h>

#include "recorder/folder/FolderLayout.h"

namespace corvanta::recorder::folder {
namespace {

Seconds at(int y, unsigned mo, unsigned d, int h, int mi, int s) {
    return startOfDay(CivilDate{y, mo, d}) + h * 3600 + mi * 60 + s;
}

TEST(FolderLayout, EachLayoutGivesCameraAndStart) {
    auto dated = matchLayout("Front Door/2026/12/05/083015-083500.AVI");
    ASSERT_TRUE(dated);
    EXPECT_EQ(dated->layout, Layout::Dated);
    EXPECT_EQ(dated->camera, "Front Door");
    EXPECT_EQ(dated->start, at(2026, 12, 5, 8, 30, 15));

    auto segments = matchLayout("2024-02-29/23/yard/59.58.mp4");
    ASSERT_TRUE(segments);
    EXPECT_EQ(segments->layout, Layout::Segments);
    EXPECT_EQ(segments->camera, "yard");
    EXPECT_EQ(segments->start, at(2024, 2, 29, 23, 59, 58));

    auto flat = matchLayout("gate/rec_20261205-235959_ch1.mkv");
    ASSERT_TRUE(flat);
    EXPECT_EQ(flat->layout, Layout::Flat);
    EXPECT_EQ(flat->camera, "gate");
    EXPECT_EQ(flat->start, at(2026, 12, 5, 23, 59, 59));

    auto undated = matchLayout("gate/clip.MOV");
    ASSERT_TRUE(undated);
    EXPECT_EQ(undated->layout, Layout::Flat);
    EXPECT_FALSE(undated->start) << "the lead takes creation time or modification time then";
}

TEST(FolderLayout, ImpossibleDatesAndTimesDoNotMatch) {
    for (const char* path : {"cam/2026/13/05/083000.avi", "cam/2026/02/30/083000.avi", "cam/2026/12/05/250000.avi",
                             "cam/2026/12/05/086000.avi", "cam/2025/02/29/000000.avi", "cam/2026/12/00/000000.avi",
                             "cam/1969/12/31/000000.avi", "2026-12-05/24/cam/00.00.mp4", "2026-12-05/10/cam/60.00.mp4",
                             "2026-11-31/10/cam/00.00.mp4", "2026-12-05/10/cam/00.61.mp4"})
        EXPECT_FALSE(matchLayout(path)) << path;
    // A flat file with an impossible run is still served, just without a start from its name.
    auto flat = matchLayout("cam/20261305_083000.mp4");
    ASSERT_TRUE(flat);
    EXPECT_FALSE(flat->start);
    EXPECT_FALSE(startFromName("20261205_246000")) << "hour 24";
    EXPECT_FALSE(startFromName("120261205_083000")) << "a run inside a longer number is not a date";
    EXPECT_EQ(startFromName("x20261305_083000y20261205_083000"), at(2026, 12, 5, 8, 30, 0)) << "the first possible run";
}

TEST(FolderLayout, WrongShapesDoNotMatch) {
    for (const char* path : {"cam/2026/12/05/0830.avi", "cam/2026/12/5/083000.avi", "cam/26/12/05/083000.avi",
                             "cam/2026/12/05/083000.txt", "cam/2026/12/05/083000", "2026-12-05/10/cam/5.00.mp4",
                             "2026_12_05/10/cam/00.00.mp4", "2026-12-05/10/cam/00.00.00.mp4", "cam/sub/file.mp4",
                             "file.mp4", "cam/.mp4", "../cam/x.mp4", "cam/../x.mp4", "", "/", "a/b/c/d/e/f.mp4"})
        EXPECT_FALSE(matchLayout(path)) << path;
}

TEST(FolderLayout, ExtensionsAndBytesAboveAscii) {
    for (const char* name : {"a.avi", "a.MP4", "a.mKv", "a.mov", "a.ts", "a.m2ts", "a.mts", "a.mpg", "a.mpeg", "a.m4v",
                             "a.h264", "a.hevc", "a.265", "a.264", "a.mjpg", "a.MJPEG"})
        EXPECT_TRUE(isVideoName(name)) << name;
    for (const char* name : {"a.jpg", "a.mp", "a.mp4.part", "avi", "a.", "a.tss"}) EXPECT_FALSE(isVideoName(name)) << name;

    const std::string latin1 = "Caf\xE9\xFF/2026/12/05/083000.avi";  // not UTF-8: kept as bytes
    auto match = matchLayout(latin1);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->camera, "Caf\xE9\xFF");
    EXPECT_EQ(splitPath("//a///b/"), (std::vector<std::string_view>{"a", "b"}));
}

}  // namespace
}  // namespace corvanta::recorder::folder
