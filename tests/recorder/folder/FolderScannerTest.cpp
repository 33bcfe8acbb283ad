#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "FolderTestSupport.h"
#include "recorder/folder/FolderScanner.h"

namespace corvanta::recorder::folder {
namespace {

using test::TempFolder;
namespace fs = std::filesystem;

std::vector<std::string> pathsOf(const ScanResult& scan) {
    std::vector<std::string> paths;
    for (const ScannedFile& f : scan.files) paths.push_back(f.relPath);
    return paths;
}

bool noted(const ScanResult& scan, const std::string& what) {
    return std::any_of(scan.notes.begin(), scan.notes.end(),
                       [&](const std::string& n) { return n.find(what) != std::string::npos; });
}

TEST(FolderScanner, ListsVideoFilesOfEveryLayoutWithSizeTimeAndStart) {
    TempFolder dir;
    dir.write("CAM01/2026/12/05/083000.avi", "12345");
    dir.write("2026-12-05/08/yard/30.15.mp4");
    dir.write("Caf\xE9/clip_20261205_101500.mkv");
    dir.write("Caf\xE9/notes.txt", "not video, not noted");
    dir.write("CAM01/2026/12/05/thumbs/083000.jpg");
    dir.write(".hidden/2026/12/05/083000.avi");
    dir.write("CAM01/2026/12/05/.083500.avi");
    const ScanResult scan = scanFolder(dir.path());
    EXPECT_EQ(pathsOf(scan), (std::vector<std::string>{"2026-12-05/08/yard/30.15.mp4", "CAM01/2026/12/05/083000.avi",
                                                         "Caf\xE9/clip_20261205_101500.mkv"}));
    EXPECT_TRUE(scan.notes.empty()) << scan.notes.front();
    ASSERT_EQ(scan.files.size(), 3u);
    const ScannedFile& dated = scan.files[1];
    EXPECT_EQ(dated.camera, "CAM01");
    EXPECT_EQ(dated.layout, Layout::Dated);
    EXPECT_EQ(dated.nameStart, startOfDay(CivilDate{2026, 12, 5}) + 8 * 3600 + 30 * 60);
    EXPECT_EQ(dated.size, 5u);
    struct stat st{};
    ASSERT_EQ(::stat((dir / dated.relPath).c_str(), &st), 0);
    EXPECT_EQ(dated.mtimeNs, int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec);
    EXPECT_EQ(scan.files[0].camera, "yard");
    EXPECT_EQ(scan.files[2].camera, "Caf\xE9");
    EXPECT_EQ(scan.files[2].layout, Layout::Flat);
}

TEST(FolderScanner, FollowsLinksOnceAndNotesWhatItSkips) {
    TempFolder dir, outside;
    outside.write("2026/12/05/120000.avi");
    dir.write("cam/2026/12/05/080000.avi");
    fs::create_directory_symlink(outside.path(), dir / "linked");     // a camera elsewhere: served
    fs::create_directory_symlink(dir.path(), dir / "cam/2026/loop");  // back to the top: a loop
    fs::create_directory_symlink(dir / "cam", dir / "again");         // the same camera twice
    fs::create_symlink(dir / "missing.avi", dir / "cam/dangling.avi");
    dir.write("cam/2026/13/05/080000.avi");  // fits no layout
    ASSERT_EQ(::mkfifo((dir / "cam/2026/12/05/090000.avi").c_str(), 0600), 0);

    const ScanResult scan = scanFolder(dir.path());
    EXPECT_EQ(pathsOf(scan), (std::vector<std::string>{"cam/2026/12/05/080000.avi", "linked/2026/12/05/120000.avi"}))
        << "the real folder wins over a link to it, though 'again' sorts first";
    EXPECT_TRUE(noted(scan, "loop: folder already listed"));
    EXPECT_TRUE(noted(scan, "cam/dangling.avi"));
    EXPECT_TRUE(noted(scan, "13/05/080000.avi: fits no folder layout"));
    EXPECT_TRUE(noted(scan, "090000.avi: not a regular file"));
    EXPECT_EQ(scan.skipped, scan.notes.size());

    if (::geteuid() != 0) {  // root reads every folder
        ASSERT_EQ(::chmod((dir / "linked").c_str(), 0), 0);
        EXPECT_TRUE(noted(scanFolder(dir.path()), "linked: Permission denied"));
    }
    EXPECT_FALSE(scanFolder(dir / "nope").rootReadable);
}

TEST(FolderScanner, NotesAreCappedAndAHugeDayFolderIsListedWhole) {
    TempFolder dir;
    // 20 000 files in one folder (100 000 list in under half a second, but
    // making and removing them takes the test several seconds).
    constexpr int kFiles = 20'000;
    const std::string day = dir / "cam/2026/12/05/";
    fs::create_directories(day);
    char name[64];
    for (int i = 0; i < kFiles; ++i) {
        const int s = i % 86400;
        std::snprintf(name, sizeof name, "%02d%02d%02d_%d.avi", s / 3600, s / 60 % 60, s % 60, i);
        const int fd = ::open((day + name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    for (int i = 0; i < 500; ++i) dir.write("bad/2026/02/30/0000" + std::to_string(10 + i % 50) + "_" + std::to_string(i) + ".avi");

    const ScanResult scan = scanFolder(dir.path(), ScanOptions{.maxNotes = 10});
    EXPECT_EQ(scan.files.size(), size_t{kFiles});
    EXPECT_EQ(scan.skipped, 500u);
    ASSERT_EQ(scan.notes.size(), 11u);
    EXPECT_EQ(scan.notes.back(), "skipped 490 more entries");
    EXPECT_TRUE(std::is_sorted(scan.files.begin(), scan.files.end(),
                               [](const ScannedFile& a, const ScannedFile& b) { return a.relPath < b.relPath; }));
}

}  // namespace
}  // namespace corvanta::recorder::folder
