#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "FolderTestSupport.h"
#include "recorder/folder/IndexDatabase.h"

namespace corvanta::recorder::folder {
namespace {

using test::TempFolder;
namespace fs = std::filesystem;

// A variable-rate file: steps of 40 ms with a gap, a key frame every 50.
MediaInfo sampleInfo(int seed) {
    MediaInfo info;
    info.codec = seed % 2 ? "h264" : "mjpeg";
    info.width = 1920 + seed;
    info.height = 1080;
    info.rate = 30000;
    info.scale = 1001;
    info.intraOnly = seed % 2 == 0;
    info.creationTimeUtc = seed % 3 ? std::optional<int64_t>(1'700'000'000 + seed) : std::nullopt;
    info.firstTimestamp = 126'000 + seed;  // an MPEG-TS stream's clock
    for (int i = 0; i < 300 + seed; ++i) info.frameMs.push_back(i * 40 + (i >= 100 ? 2500 : 0) + (i % 7 == 3));
    for (uint32_t k = 0; k < info.frameCount(); k += 50) info.keyFrames.push_back(k);
    if (info.keyFrames.back() != info.frameCount() - 1) info.keyFrames.push_back(info.frameCount() - 1);
    for (int s = 0; s <= info.frameMs.back() / 1000; ++s) info.activity.push_back(static_cast<uint8_t>((s * 37 + seed) % 201));
    return info;
}

void expectSame(const MediaInfo& a, const MediaInfo& b) {
    EXPECT_EQ(a.codec, b.codec);
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    EXPECT_EQ(a.rate, b.rate);
    EXPECT_EQ(a.scale, b.scale);
    EXPECT_EQ(a.intraOnly, b.intraOnly);
    EXPECT_EQ(a.creationTimeUtc, b.creationTimeUtc);
    EXPECT_EQ(a.firstTimestamp, b.firstTimestamp);
    EXPECT_EQ(a.frameMs, b.frameMs);
    EXPECT_EQ(a.keyFrames, b.keyFrames);
    EXPECT_EQ(a.activity, b.activity);
}

std::unique_ptr<IndexDatabase> openOk(const std::string& path) {
    std::string error;
    auto db = IndexDatabase::open(path, &error);
    EXPECT_TRUE(db) << error;
    return db;
}

// Runs SQL on its own connection, as another program would.
void rawSql(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 5000);
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK) << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
}

TEST(IndexDatabase, KeepsInfoAndFailuresKeyedByPathSizeAndTime) {
    TempFolder dir;
    const std::string path = dir / "sub/index.sqlite3";
    const std::string name = "Caf\xE9/2026/12/05/083000.avi";
    {
        auto db = openOk(path);
        ASSERT_TRUE(db);
        EXPECT_TRUE(db->rebuildNote().empty());
        ASSERT_TRUE(db->store(name, 1000, 111, sampleInfo(1)));
        ASSERT_TRUE(db->store("empty.mp4", 0, 5, MediaInfo{}));
        ASSERT_TRUE(db->storeFailure("bad.avi", 10, 7, "moov atom not found"));
    }
    auto db = openOk(path);  // a second start finds everything
    ASSERT_TRUE(db);
    auto found = db->find(name, 1000, 111);
    ASSERT_TRUE(found && found->info);
    expectSame(*found->info, sampleInfo(1));
    ASSERT_TRUE(db->find("empty.mp4", 0, 5) && db->find("empty.mp4", 0, 5)->info);
    EXPECT_EQ(db->find("empty.mp4", 0, 5)->info->frameCount(), 0u);
    auto failed = db->find("bad.avi", 10, 7);
    ASSERT_TRUE(failed);
    EXPECT_FALSE(failed->info);
    EXPECT_EQ(failed->error, "moov atom not found");

    EXPECT_FALSE(db->find(name, 1001, 111)) << "grown";
    EXPECT_FALSE(db->find(name, 1000, 112)) << "touched";
    EXPECT_FALSE(db->find("caf\xE9/2026/12/05/083000.avi", 1000, 111)) << "paths are bytes, case and all";
    ASSERT_TRUE(db->store(name, 2000, 222, sampleInfo(2)));
    EXPECT_FALSE(db->find(name, 1000, 111)) << "the file's new row replaces the old";
    expectSame(*db->find(name, 2000, 222)->info, sampleInfo(2));
}

TEST(IndexDatabase, RefusesInfoThatCouldNotBeReadBack) {
    TempFolder dir;
    auto db = openOk(dir / "index.sqlite3");
    ASSERT_TRUE(db);
    std::string error;
    MediaInfo info = sampleInfo(0);
    std::swap(info.frameMs[4], info.frameMs[5]);
    EXPECT_FALSE(db->store("a.avi", 1, 1, info, &error));
    EXPECT_EQ(error, "frame times not ascending");
    info = sampleInfo(0);
    info.keyFrames.push_back(info.frameCount());
    EXPECT_FALSE(db->store("a.avi", 1, 1, info, &error));
    info = sampleInfo(0);
    info.activity[0] = 201;
    EXPECT_FALSE(db->store("a.avi", 1, 1, info, &error));
    EXPECT_FALSE(db->find("a.avi", 1, 1));
}

TEST(IndexDatabase, DefaultPathFollowsTheCacheFolderAndOpenMakesIt) {
    TempFolder dir;
    const char* oldXdg = std::getenv("XDG_CACHE_HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    ::setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
    EXPECT_EQ(IndexDatabase::defaultPath(), dir / "cache/corvanta/index.sqlite3");
    EXPECT_TRUE(openOk(IndexDatabase::defaultPath()));
    EXPECT_TRUE(fs::exists(dir / "cache/corvanta/index.sqlite3"));
    ::setenv("XDG_CACHE_HOME", "relative/not/allowed", 1);
    const char* home = std::getenv("HOME");
    if (home) {
        EXPECT_EQ(IndexDatabase::defaultPath(), std::string(home) + "/.cache/corvanta/index.sqlite3");
    }
    if (oldXdg)
        ::setenv("XDG_CACHE_HOME", savedXdg.c_str(), 1);
    else
        ::unsetenv("XDG_CACHE_HOME");
}

TEST(IndexDatabase, DamagedOrForeignFilesAreMovedAsideAndRebuilt) {
    TempFolder dir;
    const std::string path = dir / "index.sqlite3";
    auto expectRebuilt = [&](const char* what) {
        std::string error;
        auto db = IndexDatabase::open(path, &error);
        ASSERT_TRUE(db) << what << ": " << error;
        EXPECT_NE(db->rebuildNote().find("moved to"), std::string::npos) << what;
        EXPECT_TRUE(fs::exists(path + ".damaged")) << what;
        EXPECT_FALSE(db->find("a.avi", 1, 1)) << what;
        EXPECT_TRUE(db->store("a.avi", 1, 1, sampleInfo(3))) << what;
        EXPECT_TRUE(db->find("a.avi", 1, 1)) << what;
    };

    dir.write("index.sqlite3", std::string(4096, 'x'));
    expectRebuilt("not a database");

    fs::remove(path);
    rawSql(path, "CREATE TABLE files(path BLOB); PRAGMA user_version = 99;");
    expectRebuilt("another schema version");

    fs::remove(path);
    rawSql(path, "CREATE TABLE photos(x)");
    expectRebuilt("someone else's database");

    // Real index pages overwritten in the middle.
    fs::remove(path);
    {
        auto db = openOk(path);
        for (int i = 0; i < 200; ++i) db->store("f" + std::to_string(i), 1, 1, sampleInfo(i));
    }
    rawSql(path, "PRAGMA wal_checkpoint(TRUNCATE)");
    const auto size = fs::file_size(path);
    ASSERT_GT(size, 16384u);
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(size / 2));
        const std::string junk(8192, '\xA5');
        f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    }
    expectRebuilt("pages overwritten");
}

TEST(IndexDatabase, HostileRowsReadAsNotIndexed) {
    TempFolder dir;
    const std::string path = dir / "index.sqlite3";
    {
        auto db = openOk(path);
        ASSERT_TRUE(db->store("a.avi", 1, 1, sampleInfo(1)));
    }
    const char* edits[] = {
        "frames = x'01020304050607'",                 // not whole runs
        "frames = x'28000000ffffffff'",               // four billion frames
        "frames = x'ffffffff02000000'",               // times going back
        "keys = x'0100000000100000'",                 // key frames past the last frame
        "keys = x'0000000002000000'",                 // the same key frame twice
        "codec = zeroblob(4)", "width = 'wide'", "rate = 0", "scale = -1", "intra = 2", "creation = 1.5",
        "activity = x'ff'",                           // level above 200
        "activity = zeroblob(100000)",                // far longer than the file
        "frames = 'text'", "failed = x'00'",
    };
    for (const char* edit : edits) {
        TempFolder copy;
        fs::copy_file(path, copy / "index.sqlite3");
        rawSql(copy / "index.sqlite3", std::string("UPDATE files SET ") + edit);
        auto db = openOk(copy / "index.sqlite3");
        ASSERT_TRUE(db);
        EXPECT_FALSE(db->find("a.avi", 1, 1)) << edit;
    }
}

TEST(IndexDatabase, ASecondConnectionReadsWhileAWriterHoldsTheLockAndWritersWait) {
    TempFolder dir;
    const std::string path = dir / "index.sqlite3";
    auto first = openOk(path), second = openOk(path);
    ASSERT_TRUE(first && second);
    ASSERT_TRUE(first->store("old.avi", 1, 1, sampleInfo(1)));

    // Another process in the middle of a write transaction.
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer, "BEGIN IMMEDIATE; DELETE FROM files;", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_TRUE(second->find("old.avi", 1, 1)) << "readers see the last commit and do not wait";
    EXPECT_TRUE(openOk(path)) << "opening does not need the write lock";

    bool stored = false;
    std::thread waiting([&] { stored = first->store("new.avi", 2, 2, sampleInfo(2)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let the store start waiting
    ASSERT_EQ(sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    waiting.join();
    sqlite3_close(writer);
    EXPECT_TRUE(stored) << "the store waited for the lock instead of failing";
    EXPECT_TRUE(second->find("new.avi", 2, 2));
    EXPECT_TRUE(second->find("old.avi", 1, 1));
}

TEST(IndexDatabase, KillDuringIndexingLosesAtMostTheFileBeingStored) {
    TempFolder dir;
    const std::string path = dir / "index.sqlite3";
    openOk(path).reset();  // created before the child starts writing
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeFds[0]);
        std::string error;
        auto db = IndexDatabase::open(path, &error);
        for (int i = 0; db; ++i) {
            if (!db->store("f" + std::to_string(i), static_cast<uint64_t>(i), i, sampleInfo(i % 40))) break;
            const char done = 1;
            if (::write(pipeFds[1], &done, 1) != 1) break;
        }
        ::_exit(1);
    }
    ::close(pipeFds[1]);
    char buffer[64];
    size_t reported = 0;
    while (reported < 100) {
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        ASSERT_GT(n, 0) << "the child stopped storing";
        reported += static_cast<size_t>(n);
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(pipeFds[0]);
    ASSERT_TRUE(WIFSIGNALED(status));

    auto db = openOk(path);
    ASSERT_TRUE(db);
    EXPECT_TRUE(db->rebuildNote().empty());
    int rows = 0;
    for (int i = 0; i < 1'000'000; ++i, ++rows) {
        auto found = db->find("f" + std::to_string(i), static_cast<uint64_t>(i), i);
        if (!found) break;
        ASSERT_TRUE(found->info);
        expectSame(*found->info, sampleInfo(i % 40));
    }
    EXPECT_GE(static_cast<size_t>(rows), reported) << "every store the child reported is there";
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
    sqlite3_stmt* count = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(raw, "SELECT count(*) FROM files", -1, &count, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(count), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(count, 0), rows) << "no row beyond the complete ones";
    sqlite3_finalize(count);
    sqlite3_close(raw);
}

}  // namespace
}  // namespace corvanta::recorder::folder
