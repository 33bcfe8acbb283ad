#pragma once
// Fetching the picture of one recorded second for the day timeline's
// thumbnails. It talks to the recorder with HTTP requests of its own, on the
// calling thread's own connection, never through the local proxies: the
// player's stream proxy and the archive proxy keep serving their users while
// a thumbnail is fetched, and a slow recorder delays only the thumbnail.
//
// Per picture: the file's second index (command 8, asked once per file and
// kept), then the file opened at the playback manager, its frame fetched and
// the file closed again (the recorder counts opens, so a player's open of
// the same file is not disturbed).

#include <atomic>
#include <cstdint>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "archive/ArchiveRecords.h"
#include "imaging/ScaledJpeg.h"

namespace corvanta {

// Where the picture of a second of the day is.
struct ThumbnailSource {
    std::string fileName;
    TimeQuery indexQuery{};       // the command-8 window of the file
    int32_t offset = 0;           // the second's place in that window
    std::vector<uint32_t> table;  // the file's second index when already known
};

// Sends one command record to the recorder's filter `filterName` and keeps
// the answer's data. False when the request failed or was given up, or the
// answer is empty, not a record, or shorter than its own data length. A
// picture answer (encoding 2) comes back as its JPEG bytes.
struct RecorderAnswer {
    uint32_t encoding = 0;
    std::vector<uint8_t> data;
};
bool AskRecorder(std::string_view filterName, uint32_t code, uint32_t param1, const void* data, uint32_t length,
                 const std::atomic<bool>& cancel, RecorderAnswer& answer);

class CThumbnailFetcher {
public:
    // Decoded pictures are at least this wide where the frame allows.
    static constexpr int32_t kMinWidth = 160;
    // Second indexes kept, one per file; the oldest goes first.
    static constexpr size_t kKeptTables = 16;
    // A thumbnail nobody waits long for: a silent recorder is given up soon.
    static constexpr uint32_t kStallTimeoutSeconds = 2;

    // The first frame of the second at `source`, decoded at reduced scale.
    // Nothing for a second without a frame, a recorder that fails or
    // refuses any step, a damaged picture, or when `cancel` turns true.
    // Safe to call from several threads at once.
    std::optional<ScaledPicture> Fetch(const ThumbnailSource& source, const std::atomic<bool>& cancel);
    // Drops the kept second indexes (another day is shown).
    void Forget();
    // Gives up every request under way, closes included, and every later
    // one: the owner is going away and must not wait for a silent recorder.
    void Stop() { m_stopped = true; }

private:
    std::optional<std::vector<uint32_t>> Table(const ThumbnailSource& source, const std::atomic<bool>& cancel);
    std::optional<ScaledPicture> Frame(const std::string& fileName, uint32_t frame, const std::atomic<bool>& cancel);

    std::atomic<bool> m_stopped{false};
    std::mutex m_mutex;
    std::list<std::pair<std::string, std::vector<uint32_t>>> m_tables;  // newest first
};

}  // namespace corvanta
