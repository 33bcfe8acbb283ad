#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <set>

#include "FolderTestSupport.h"
#include "recorder/folder/FolderIndexer.h"

namespace corvanta::recorder::folder {
namespace {

using test::TempFolder;

// Stands in for the media layer: an info derived from the path, a failure
// for paths containing "bad"; counts and orders its calls, and can hold
// every call at a gate until the test opens it.
class FakeProbe {
public:
    MediaProbe function() {
        return [this](const std::string& path, std::string* error) { return probe(path, error); };
    }

    void closeGate() {
        std::lock_guard lock(mutex_);
        gateOpen_ = false;
    }
    void openGate() {
        std::lock_guard lock(mutex_);
        gateOpen_ = true;
        changed_.notify_all();
    }
    void waitUntilHeld(size_t n) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return held_ >= n; });
    }
    std::vector<std::string> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

    static MediaInfo infoFor(const std::string& path) {
        MediaInfo info;
        info.codec = "h264";
        info.width = static_cast<uint32_t>(path.size());
        for (int i = 0; i < 10; ++i) info.frameMs.push_back(i * 40);
        info.keyFrames = {0};
        return info;
    }

private:
    std::optional<MediaInfo> probe(const std::string& path, std::string* error) {
        std::unique_lock lock(mutex_);
        calls_.push_back(path);
        ++held_;
        changed_.notify_all();
        changed_.wait(lock, [&] { return gateOpen_; });
        if (path.find("bad") != std::string::npos) {
            *error = "not a video file";
            return std::nullopt;
        }
        return infoFor(path);
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool gateOpen_ = true;
    size_t held_ = 0;
    std::vector<std::string> calls_;
};

struct Done {
    IndexEntry entry;
    bool probed = false;
};

ScannedFile file(const std::string& rel, std::optional<Seconds> start, uint64_t size = 100, int64_t mtimeNs = 1) {
    return ScannedFile{rel, "cam", Layout::Dated, start, size, mtimeNs};
}

Seconds day(unsigned d, int hour = 8) { return startOfDay(CivilDate{2026, 12, d}) + hour * 3600; }

class FolderIndexerTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        db_ = IndexDatabase::open(dir_ / "index.sqlite3", &error);
        ASSERT_TRUE(db_) << error;
    }

    // One whole run; what the callback saw, by path.
    std::map<std::string, Done> index(const std::vector<ScannedFile>& files, unsigned threads = 2) {
        std::map<std::string, Done> done;
        std::mutex doneMutex;
        FolderIndexer indexer(dir_.path(), *db_, probe_.function(), IndexerOptions{threads, sink()});
        indexer.start(files, [&](const ScannedFile& f, const IndexEntry& entry, bool probed) {
            std::lock_guard lock(doneMutex);
            EXPECT_TRUE(done.emplace(f.relPath, Done{entry, probed}).second) << "reported twice: " << f.relPath;
        });
        indexer.wait();
        EXPECT_FALSE(indexer.running());
        stats_ = indexer.stats();
        return done;
    }

    std::function<void(const std::string&)> sink() {
        return [this](const std::string& line) { lines_.push_back(line); };
    }

    size_t callsOf(const std::string& rel) const {
        const auto calls = probe_.calls();
        return static_cast<size_t>(std::count(calls.begin(), calls.end(), dir_ / rel));
    }

    TempFolder dir_;
    std::unique_ptr<IndexDatabase> db_;
    FakeProbe probe_;
    IndexerStats stats_;
    std::vector<std::string> lines_;
};

TEST_F(FolderIndexerTest, ProbesEachFileOnceAndASecondStartFindsEverything) {
    const std::vector<ScannedFile> files = {file("cam/2026/12/05/080000.avi", day(5)), file("cam/2026/12/05/090000.avi", day(5, 9)),
                                            file("cam/2026/12/04/080000.avi", day(4)), file("cam/2026/12/04/bad.avi", day(4, 10)),
                                            file("cam/2026/12/03/080000.avi", day(3))};
    auto first = index(files);
    EXPECT_EQ(probe_.calls().size(), files.size());
    ASSERT_EQ(first.size(), files.size());
    for (const ScannedFile& f : files) {
        EXPECT_EQ(callsOf(f.relPath), 1u) << f.relPath;
        EXPECT_TRUE(first[f.relPath].probed);
        auto stored = db_->find(f.relPath, f.size, f.mtimeNs);
        ASSERT_TRUE(stored) << f.relPath;
        EXPECT_EQ(stored->info.has_value(), f.relPath.find("bad") == std::string::npos);
        if (stored->info) {
            EXPECT_EQ(stored->info->width, FakeProbe::infoFor(dir_ / f.relPath).width);
        }
    }
    EXPECT_EQ(first["cam/2026/12/04/bad.avi"].entry.error, "not a video file");
    EXPECT_EQ(stats_.failed, 1u);
    ASSERT_FALSE(lines_.empty());
    EXPECT_EQ(lines_.back().rfind("indexing done: 5/5 files (0 known, 5 probed, 1 failed)", 0), 0u) << lines_.back();

    auto second = index(files);
    EXPECT_EQ(probe_.calls().size(), files.size()) << "nothing probed again, the broken file included";
    ASSERT_EQ(second.size(), files.size());
    for (const auto& [path, done] : second) {
        EXPECT_FALSE(done.probed) << path;
        EXPECT_EQ(done.entry.info.has_value(), first[path].entry.info.has_value()) << path;
    }
    EXPECT_EQ(second["cam/2026/12/04/bad.avi"].entry.error, "not a video file");
    EXPECT_EQ(lines_.back().rfind("indexing done: 5/5 files (5 known, 0 probed, 0 failed)", 0), 0u) << lines_.back();
}

TEST_F(FolderIndexerTest, ChangedFilesAreProbedAgain) {
    std::vector<ScannedFile> files = {file("cam/a.avi", day(5)), file("cam/bad.avi", day(5)), file("cam/c.avi", day(5))};
    index(files);
    files[0].size += 4096;  // grown by a camera still writing
    files[1].mtimeNs += 1;  // the broken file rewritten
    auto again = index(files);
    EXPECT_EQ(callsOf("cam/a.avi"), 2u);
    EXPECT_EQ(callsOf("cam/bad.avi"), 2u);
    EXPECT_EQ(callsOf("cam/c.avi"), 1u);
    EXPECT_TRUE(again["cam/a.avi"].probed && again["cam/bad.avi"].probed);
    EXPECT_FALSE(again["cam/c.avi"].probed);
    EXPECT_TRUE(db_->find("cam/a.avi", files[0].size, files[0].mtimeNs));
}

TEST_F(FolderIndexerTest, NewestDayIsIndexedFirst) {
    tm t{};
    t.tm_year = 2026 - 1900, t.tm_mon = 11, t.tm_mday = 6, t.tm_hour = 12, t.tm_isdst = -1;
    const int64_t dec6Noon = int64_t{::mktime(&t)} * 1'000'000'000;  // a flat file dated by its modification time
    const std::vector<ScannedFile> files = {file("cam/2026/12/03/080000.avi", day(3)), file("cam/2026/12/05/100000.avi", day(5, 10)),
                                            file("flat/clip.mp4", std::nullopt, 100, dec6Noon),
                                            file("cam/2026/12/05/080000.avi", day(5)), file("cam/2026/12/04/080000.avi", day(4))};
    index(files, 1);
    std::vector<std::string> expected;
    for (const char* rel : {"flat/clip.mp4", "cam/2026/12/05/080000.avi", "cam/2026/12/05/100000.avi",
                            "cam/2026/12/04/080000.avi", "cam/2026/12/03/080000.avi"})
        expected.push_back(dir_ / rel);
    EXPECT_EQ(probe_.calls(), expected);
}

TEST_F(FolderIndexerTest, StopIsPromptAndKeepsTheProbesInProgress) {
    std::vector<ScannedFile> files;
    for (int i = 0; i < 50; ++i) files.push_back(file("cam/2026/12/05/08" + std::to_string(1000 + i).substr(1) + "0.avi", day(5)));
    std::atomic<size_t> reported{0};
    FolderIndexer indexer(dir_.path(), *db_, probe_.function(), IndexerOptions{2, sink()});
    probe_.closeGate();
    indexer.start(files, [&](const ScannedFile&, const IndexEntry&, bool) { ++reported; });
    probe_.waitUntilHeld(2);  // both threads are inside a probe
    EXPECT_TRUE(indexer.running());
    indexer.requestStop();
    probe_.openGate();
    indexer.stop();
    EXPECT_FALSE(indexer.running());
    const auto calls = probe_.calls();
    ASSERT_EQ(calls.size(), 2u) << "no probe starts after a stop";
    EXPECT_EQ(reported.load(), 2u);
    size_t stored = 0;
    for (const ScannedFile& f : files) stored += db_->find(f.relPath, f.size, f.mtimeNs).has_value();
    EXPECT_EQ(stored, 2u) << "the probes in progress finished and were stored";
    EXPECT_EQ(lines_.back().rfind("indexing stopped: 2/50 files", 0), 0u) << lines_.back();

    index(files);
    EXPECT_EQ(probe_.calls().size(), files.size()) << "the next start probes only the rest";
}

}  // namespace
}  // namespace corvanta::recorder::folder
