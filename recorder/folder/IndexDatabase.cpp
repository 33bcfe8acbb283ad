#include "recorder/folder/IndexDatabase.h"

#include <fcntl.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <vector>

namespace corvanta::recorder::folder {
namespace {

constexpr int kBusyTimeoutMs = 5000;
constexpr size_t kMaxErrorBytes = 1000;

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS files("
    " path BLOB NOT NULL UNIQUE, size INTEGER NOT NULL, mtime_ns INTEGER NOT NULL,"
    " failed TEXT,"  // NULL when probing worked
    " codec TEXT, width INTEGER, height INTEGER, rate INTEGER, scale INTEGER, intra INTEGER, creation INTEGER,"
    " frames BLOB, keys BLOB, activity BLOB, first_ts INTEGER)";

// Opening and rebuilding are serialised between processes, so two of them
// never both move a damaged file aside (the second would move the first's new one).
class OpenLock {
public:
    explicit OpenLock(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (fd_ >= 0) ::flock(fd_, LOCK_EX);  // without a lock file, opening still works, unserialised
    }
    ~OpenLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    OpenLock(const OpenLock&) = delete;
    OpenLock& operator=(const OpenLock&) = delete;

private:
    int fd_;
};

enum class Check { Ok, Damaged, Failed };

Check classify(int rc) { return (rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT) ? Check::Damaged : Check::Failed; }

std::string message(sqlite3* db, int rc) { return db ? sqlite3_errmsg(db) : sqlite3_errstr(rc); }

// The first column of the first row of a statement, as text ("" when none).
int queryText(sqlite3* db, const char* sql, std::string* out) {
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(st);
        if (rc == SQLITE_ROW) {
            const auto* text = sqlite3_column_text(st, 0);
            *out = text ? reinterpret_cast<const char*>(text) : "";
            rc = SQLITE_OK;
        } else if (rc == SQLITE_DONE) {
            out->clear();
            rc = SQLITE_OK;
        }
    }
    sqlite3_finalize(st);
    return rc;
}

Check checkSchema(sqlite3* db, std::string* why) {
    std::string text;
    int rc = queryText(db, "PRAGMA user_version", &text);
    if (rc != SQLITE_OK) return *why = message(db, rc), classify(rc);
    const int version = std::atoi(text.c_str());
    if (version == IndexDatabase::kSchemaVersion) {
        rc = queryText(db, "PRAGMA quick_check(1)", &text);
        if (rc != SQLITE_OK) return *why = message(db, rc), classify(rc);
        if (text != "ok") return *why = "integrity check: " + text, Check::Damaged;
        return Check::Ok;
    }
    if (version != 0) return *why = "schema version " + std::to_string(version), Check::Damaged;
    rc = queryText(db, "SELECT count(*) FROM sqlite_master", &text);
    if (rc != SQLITE_OK) return *why = message(db, rc), classify(rc);
    if (text != "0") return *why = "tables of something else", Check::Damaged;
    const std::string create = std::string("BEGIN IMMEDIATE; ") + kSchema + "; PRAGMA user_version = " +
                               std::to_string(IndexDatabase::kSchemaVersion) + "; COMMIT;";
    rc = sqlite3_exec(db, create.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        *why = message(db, rc);
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return classify(rc);
    }
    return Check::Ok;
}

Check openChecked(const std::string& path, sqlite3** out, std::string* why) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db, kBusyTimeoutMs);
        rc = sqlite3_exec(db, "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;", nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        *why = message(db, rc);
        sqlite3_close(db);
        return classify(rc);
    }
    const Check check = checkSchema(db, why);
    if (check != Check::Ok) {
        sqlite3_close(db);
        return check;
    }
    *out = db;
    return Check::Ok;
}

// Moves the database and its WAL files aside; false when the main file stays.
bool moveAside(const std::string& path) {
    const std::string aside = path + ".damaged";
    if (std::rename(path.c_str(), aside.c_str()) != 0 && std::remove(path.c_str()) != 0) return false;
    for (const char* suffix : {"-wal", "-shm"}) {
        const std::string from = path + suffix;
        if (std::rename(from.c_str(), (aside + suffix).c_str()) != 0) std::remove(from.c_str());
    }
    return true;
}

// Ascending sequences as runs of equal steps: (int32 step, uint32 count)
// pairs, little-endian. A constant-rate file's frame table is one pair.
void putLe32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

uint32_t getLe32(const unsigned char* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

template <typename T>
std::string encodeRuns(const std::vector<T>& values) {
    std::string out;
    int64_t previous = 0, step = 0;
    uint32_t count = 0;
    for (T value : values) {
        const int64_t d = static_cast<int64_t>(value) - previous;
        previous = static_cast<int64_t>(value);
        if (count > 0 && d == step) {
            ++count;
            continue;
        }
        if (count > 0) putLe32(out, static_cast<uint32_t>(step)), putLe32(out, count);
        step = d;
        count = 1;
    }
    if (count > 0) putLe32(out, static_cast<uint32_t>(step)), putLe32(out, count);
    return out;
}

template <typename T>
std::optional<std::vector<T>> decodeRuns(const unsigned char* bytes, size_t size, uint64_t maxCount) {
    if (size % 8 != 0) return std::nullopt;
    uint64_t total = 0;
    for (size_t i = 0; i < size; i += 8) {
        const uint32_t count = getLe32(bytes + i + 4);
        total += count;
        if (count == 0 || total > maxCount) return std::nullopt;
    }
    std::vector<T> values;
    values.reserve(total);
    int64_t value = 0;
    for (size_t i = 0; i < size; i += 8) {
        const auto step = static_cast<int32_t>(getLe32(bytes + i));
        for (uint32_t k = getLe32(bytes + i + 4); k > 0; --k) {
            value += step;
            if (value < 0 || value > std::numeric_limits<T>::max()) return std::nullopt;
            values.push_back(static_cast<T>(value));
        }
    }
    return values;
}

std::optional<int64_t> integerColumn(sqlite3_stmt* st, int col, int64_t lo, int64_t hi) {
    if (sqlite3_column_type(st, col) != SQLITE_INTEGER) return std::nullopt;
    const int64_t v = sqlite3_column_int64(st, col);
    if (v < lo || v > hi) return std::nullopt;
    return v;
}

// A BLOB column's bytes (NULL reads as empty); false for any other type.
bool blobColumn(sqlite3_stmt* st, int col, const unsigned char** bytes, size_t* size) {
    const int type = sqlite3_column_type(st, col);
    if (type == SQLITE_NULL) return *bytes = nullptr, *size = 0, true;
    if (type != SQLITE_BLOB) return false;
    *bytes = static_cast<const unsigned char*>(sqlite3_column_blob(st, col));
    *size = static_cast<size_t>(sqlite3_column_bytes(st, col));
    return *size == 0 || *bytes != nullptr;
}

enum Column { kFailed, kCodec, kWidth, kHeight, kRate, kScale, kIntra, kCreation, kFrames, kKeys, kActivity, kFirstTs };

std::optional<MediaInfo> readInfo(sqlite3_stmt* st) {
    constexpr int64_t kU32 = std::numeric_limits<uint32_t>::max();
    MediaInfo info;
    if (sqlite3_column_type(st, kCodec) != SQLITE_TEXT) return std::nullopt;
    info.codec.assign(reinterpret_cast<const char*>(sqlite3_column_text(st, kCodec)), sqlite3_column_bytes(st, kCodec));
    auto width = integerColumn(st, kWidth, 0, kU32), height = integerColumn(st, kHeight, 0, kU32);
    auto rate = integerColumn(st, kRate, 1, kU32), scale = integerColumn(st, kScale, 1, kU32);
    auto intra = integerColumn(st, kIntra, 0, 1);
    if (!width || !height || !rate || !scale || !intra) return std::nullopt;
    info.width = static_cast<uint32_t>(*width), info.height = static_cast<uint32_t>(*height);
    info.rate = static_cast<uint32_t>(*rate), info.scale = static_cast<uint32_t>(*scale);
    info.intraOnly = *intra == 1;
    if (sqlite3_column_type(st, kCreation) != SQLITE_NULL) {
        info.creationTimeUtc = integerColumn(st, kCreation, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max());
        if (!info.creationTimeUtc) return std::nullopt;
    }
    // Frames are found again by their timestamps, which count from the stream's first one.
    auto firstTs = integerColumn(st, kFirstTs, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max());
    if (!firstTs) return std::nullopt;
    info.firstTimestamp = *firstTs;
    const unsigned char* bytes = nullptr;
    size_t size = 0;
    if (!blobColumn(st, kFrames, &bytes, &size)) return std::nullopt;
    auto frames = decodeRuns<int64_t>(bytes, size, IndexDatabase::kMaxFrames);
    if (!frames || !blobColumn(st, kKeys, &bytes, &size)) return std::nullopt;
    auto keys = decodeRuns<uint32_t>(bytes, size, frames->size());
    if (!keys || !blobColumn(st, kActivity, &bytes, &size)) return std::nullopt;
    info.frameMs = std::move(*frames);
    info.keyFrames = std::move(*keys);
    info.activity.assign(bytes, bytes + size);
    if (!IndexDatabase::isStorable(info, nullptr)) return std::nullopt;
    return info;
}

bool fail(std::string* error, std::string why) {
    if (error) *error = std::move(why);
    return false;
}

}  // namespace

std::string IndexDatabase::defaultPath() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && xdg[0] == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        base = std::string(home) + "/.cache";
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/') {
        base = std::string(pw->pw_dir) + "/.cache";
    } else {
        return {};
    }
    return base + "/corvanta/index.sqlite3";
}

std::unique_ptr<IndexDatabase> IndexDatabase::open(const std::string& path, std::string* error) {
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    OpenLock lock(path + ".lock");
    std::string note;
    for (int attempt = 0; attempt < 2; ++attempt) {
        sqlite3* db = nullptr;
        std::string why;
        Check check = openChecked(path, &db, &why);
        std::unique_ptr<IndexDatabase> index;
        if (check == Check::Ok) {
            index.reset(new IndexDatabase(path, db));
            if (!index->prepareStatements(&why)) check = Check::Damaged, index.reset();
        }
        if (index) {
            index->rebuildNote_ = note;
            return index;
        }
        if (check == Check::Failed || attempt == 1) return fail(error, path + ": " + why), nullptr;
        if (!moveAside(path)) return fail(error, path + ": " + why + ", and it cannot be moved aside"), nullptr;
        note = path + ": " + why + "; moved to " + path + ".damaged and rebuilt";
    }
    return nullptr;
}

IndexDatabase::IndexDatabase(std::string path, sqlite3* db) : path_(std::move(path)), db_(db) {}

IndexDatabase::~IndexDatabase() {
    sqlite3_finalize(find_);
    sqlite3_finalize(store_);
    sqlite3_close(db_);
}

bool IndexDatabase::prepareStatements(std::string* error) {
    const char* findSql =
        "SELECT failed, codec, width, height, rate, scale, intra, creation, frames, keys, activity, first_ts"
        " FROM files WHERE path = ?1 AND size = ?2 AND mtime_ns = ?3";
    const char* storeSql =
        "INSERT OR REPLACE INTO files(path, size, mtime_ns, failed, codec, width, height, rate, scale, intra,"
        " creation, frames, keys, activity, first_ts)"
        " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15)";
    if (sqlite3_prepare_v3(db_, findSql, -1, SQLITE_PREPARE_PERSISTENT, &find_, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v3(db_, storeSql, -1, SQLITE_PREPARE_PERSISTENT, &store_, nullptr) != SQLITE_OK)
        return fail(error, sqlite3_errmsg(db_));
    return true;
}

std::optional<IndexEntry> IndexDatabase::find(std::string_view relPath, uint64_t size, int64_t mtimeNs) {
    std::lock_guard lock(mutex_);
    sqlite3_bind_blob(find_, 1, relPath.data(), static_cast<int>(relPath.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(find_, 2, static_cast<int64_t>(size));
    sqlite3_bind_int64(find_, 3, mtimeNs);
    std::optional<IndexEntry> entry;
    if (sqlite3_step(find_) == SQLITE_ROW) {
        if (sqlite3_column_type(find_, kFailed) == SQLITE_TEXT)
            entry = IndexEntry{std::nullopt, reinterpret_cast<const char*>(sqlite3_column_text(find_, kFailed))};
        else if (sqlite3_column_type(find_, kFailed) == SQLITE_NULL)
            if (auto info = readInfo(find_)) entry = IndexEntry{std::move(info), {}};
    }
    sqlite3_reset(find_);
    sqlite3_clear_bindings(find_);
    return entry;
}

bool IndexDatabase::isStorable(const MediaInfo& info, std::string* error) {
    if (info.codec.size() > kMaxCodecBytes) return fail(error, "codec name too long");
    if (info.rate == 0 || info.scale == 0) return fail(error, "no frame rate");
    if (info.frameMs.size() > kMaxFrames) return fail(error, "too many frames");
    int64_t previous = 0;
    for (int64_t ms : info.frameMs) {
        if (ms < previous || ms - previous > std::numeric_limits<int32_t>::max())
            return fail(error, "frame times not ascending");
        previous = ms;
    }
    for (size_t i = 0; i < info.keyFrames.size(); ++i)
        if (info.keyFrames[i] >= info.frameCount() || (i > 0 && info.keyFrames[i] <= info.keyFrames[i - 1]))
            return fail(error, "key frames out of order or range");
    const uint64_t seconds = info.frameMs.empty() ? 0 : static_cast<uint64_t>(info.frameMs.back()) / 1000;
    if (info.activity.size() > seconds + 2) return fail(error, "activity longer than the file");
    for (uint8_t level : info.activity)
        if (level > 200) return fail(error, "activity level above 200");
    return true;
}

bool IndexDatabase::store(std::string_view relPath, uint64_t size, int64_t mtimeNs, const MediaInfo& info,
                          std::string* error) {
    if (!isStorable(info, error)) return false;
    const std::string frames = encodeRuns(info.frameMs), keys = encodeRuns(info.keyFrames);
    std::lock_guard lock(mutex_);
    sqlite3_bind_blob(store_, 1, relPath.data(), static_cast<int>(relPath.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(store_, 2, static_cast<int64_t>(size));
    sqlite3_bind_int64(store_, 3, mtimeNs);
    sqlite3_bind_null(store_, 4);
    sqlite3_bind_text(store_, 5, info.codec.data(), static_cast<int>(info.codec.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(store_, 6, info.width);
    sqlite3_bind_int64(store_, 7, info.height);
    sqlite3_bind_int64(store_, 8, info.rate);
    sqlite3_bind_int64(store_, 9, info.scale);
    sqlite3_bind_int(store_, 10, info.intraOnly ? 1 : 0);
    if (info.creationTimeUtc) sqlite3_bind_int64(store_, 11, *info.creationTimeUtc);
    sqlite3_bind_blob(store_, 12, frames.data(), static_cast<int>(frames.size()), SQLITE_TRANSIENT);
    sqlite3_bind_blob(store_, 13, keys.data(), static_cast<int>(keys.size()), SQLITE_TRANSIENT);
    sqlite3_bind_blob(store_, 14, info.activity.data(), static_cast<int>(info.activity.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(store_, 15, info.firstTimestamp);
    return write(error);
}

bool IndexDatabase::storeFailure(std::string_view relPath, uint64_t size, int64_t mtimeNs, const std::string& why,
                                 std::string* error) {
    const std::string text = why.empty() ? "unreadable" : why.substr(0, kMaxErrorBytes);
    std::lock_guard lock(mutex_);
    sqlite3_bind_blob(store_, 1, relPath.data(), static_cast<int>(relPath.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(store_, 2, static_cast<int64_t>(size));
    sqlite3_bind_int64(store_, 3, mtimeNs);
    sqlite3_bind_text(store_, 4, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return write(error);  // the other columns stay unbound: NULL
}

bool IndexDatabase::write(std::string* error) {
    const int rc = sqlite3_step(store_);
    const bool ok = rc == SQLITE_DONE;
    if (!ok) fail(error, path_ + ": " + sqlite3_errmsg(db_));
    sqlite3_reset(store_);
    sqlite3_clear_bindings(store_);
    return ok;
}

}  // namespace corvanta::recorder::folder
