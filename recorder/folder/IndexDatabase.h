#pragma once
// The index of what probing learnt about each video file, kept in one SQLite
// file so a second start is instant: rows are keyed by the file's relative
// path (bytes), size and modification time, so a changed file is simply not
// found and is probed again.
//
// Rules:
//   - WAL mode: another process reads while this one writes; a writer waits
//     for another writer (busy timeout 5 s) instead of failing at once.
//   - Every store is one transaction: a process killed mid-indexing loses at
//     most the file it was storing.
//   - A file that is not a database, fails its integrity check at open, or
//     has another schema version is moved aside (to "<path>.damaged", with
//     its -wal and -shm files) and rebuilt empty; opening and rebuilding are
//     serialised between processes by a lock on "<path>.lock".
//   - Every row read is checked (types, blob sizes, order, ranges); a row
//     that fails is treated as not indexed, never trusted.
//   - Threads: one IndexDatabase may be used from any number of threads; its
//     calls are serialised by an internal mutex (SQLite connections and
//     statements are never used by two threads at once). For reads that
//     should not wait for this object's writes, open a second IndexDatabase
//     on the same path.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "recorder/folder/MediaInfo.h"

struct sqlite3;
struct sqlite3_stmt;

namespace corvanta::recorder::folder {

// What the index knows about one file: its media info, or why probing failed.
struct IndexEntry {
    std::optional<MediaInfo> info;  // nothing when the file failed
    std::string error;              // the probe's error when it failed
};

class IndexDatabase {
public:
    static constexpr int kSchemaVersion = 2;  // 2: the first frame's timestamp
    static constexpr uint32_t kMaxFrames = 1u << 24;  // over six days at 25 fps; larger tables are refused
    static constexpr size_t kMaxCodecBytes = 64;

    // $XDG_CACHE_HOME/corvanta/index.sqlite3, else ~/.cache/corvanta/index.sqlite3;
    // empty when neither variable nor a home folder is known.
    static std::string defaultPath();

    // Opens or creates the database (and its folder). Null with *error set
    // when it cannot be opened even after rebuilding, or stays locked.
    static std::unique_ptr<IndexDatabase> open(const std::string& path, std::string* error);

    ~IndexDatabase();
    IndexDatabase(const IndexDatabase&) = delete;
    IndexDatabase& operator=(const IndexDatabase&) = delete;

    const std::string& path() const { return path_; }
    // One line when open() had to move a damaged or foreign file aside; else empty.
    const std::string& rebuildNote() const { return rebuildNote_; }

    // The entry of a file with exactly this size and modification time, or
    // nothing (not indexed, changed since, or its row fails the checks).
    std::optional<IndexEntry> find(std::string_view relPath, uint64_t size, int64_t mtimeNs);

    // Replace whatever the file's row held. False (with *error) when the
    // info is not storable (times not ascending, key frames out of range,
    // activity above 200) or the database refused.
    bool store(std::string_view relPath, uint64_t size, int64_t mtimeNs, const MediaInfo& info, std::string* error = nullptr);
    bool storeFailure(std::string_view relPath, uint64_t size, int64_t mtimeNs, const std::string& why,
                      std::string* error = nullptr);

    // Checks a MediaInfo the way a stored row is checked; *error says why not.
    static bool isStorable(const MediaInfo& info, std::string* error);

private:
    IndexDatabase(std::string path, sqlite3* db);
    bool prepareStatements(std::string* error);
    bool write(std::string* error);

    std::string path_;
    std::string rebuildNote_;
    std::mutex mutex_;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* find_ = nullptr;
    sqlite3_stmt* store_ = nullptr;
};

}  // namespace corvanta::recorder::folder
