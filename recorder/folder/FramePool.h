#pragma once
// Open files' frame readers, shared by every session that plays them. A
// reader keeps its decoder's position, so sequential requests cost one
// decode each; requests that arrive a little out of order (a client reading
// ahead on several connections) are met by decoding forward through the
// gap and keeping the pictures passed on the way.

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "recorder/RecordedArchive.h"

namespace corvanta::recorder::folder {

struct FolderFile;

// One file's pictures as JPEG, frame by frame; not thread-safe.
class FrameDecoder {
public:
    virtual ~FrameDecoder() = default;
    virtual std::optional<std::string> jpeg(uint32_t index) = 0;
    // The size of the pictures it serves.
    virtual uint32_t width() const = 0;
    virtual uint32_t height() const = 0;
    // A frame's time from the first frame's, and how long it shows.
    virtual uint64_t timeMs(uint32_t index) const = 0;
    virtual uint32_t holdMs(uint32_t index) const = 0;
};

using DecoderFactory = std::function<std::unique_ptr<FrameDecoder>(const FolderFile& file, std::string* error)>;

struct FramePoolOptions {
    size_t maxReaders = 16;    // open files kept; the least recently used idle one closes first
    uint32_t keptFrames = 24;  // pictures kept per file for requests that come late
    uint32_t catchUp = 24;     // a request this far ahead decodes forward instead of seeking
};

class FramePool {
public:
    FramePool(DecoderFactory factory, FramePoolOptions options = {});

    // Nothing when the file cannot be opened or the frame not decoded.
    JpegBytes frame(const std::shared_ptr<const FolderFile>& file, uint32_t index, std::string* error = nullptr);

    // The frame's time and hold time; nothing when the file cannot be opened.
    std::optional<std::pair<uint64_t, uint32_t>> times(const std::shared_ptr<const FolderFile>& file, uint32_t index,
                                                       std::string* error = nullptr);

    // The size of the file's pictures as served; nothing when it cannot be opened.
    std::optional<std::pair<uint32_t, uint32_t>> servedSize(const std::shared_ptr<const FolderFile>& file,
                                                            std::string* error = nullptr);

    size_t openReaders() const;
    uint64_t decodedFrames() const;

private:
    struct Reader {
        std::mutex mutex;  // one request at a time per file
        std::unique_ptr<FrameDecoder> decoder;
        bool failed = false;
        std::string error;  // why it could not be opened
        std::optional<uint32_t> last;  // the decoder's position: the last frame it gave
        std::list<std::pair<uint32_t, JpegBytes>> kept;  // newest first
    };
    std::shared_ptr<Reader> readerFor(const std::shared_ptr<const FolderFile>& file);
    bool openLocked(Reader& reader, const FolderFile& file, std::string* error);
    JpegBytes decodeLocked(Reader& reader, uint32_t index);

    DecoderFactory factory_;
    FramePoolOptions options_;
    mutable std::mutex mutex_;
    // By what indexing learnt of the file, which copies of its record share
    // and a changed file does not; the list orders by last use, newest first.
    using Key = const void*;
    static Key keyOf(const FolderFile& file);
    std::list<std::pair<Key, std::shared_ptr<Reader>>> readers_;
    std::unordered_map<Key, decltype(readers_)::iterator> index_;
    std::unordered_map<Key, std::shared_ptr<const void>> holds_;  // keeps keys alive
    uint64_t decoded_ = 0;
};

}  // namespace corvanta::recorder::folder
