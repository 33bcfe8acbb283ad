#pragma once
// Encoded frames of the demo archive. Rendering and encoding a large frame
// costs a few milliseconds, so encoded pictures are kept in a cache bounded
// by bytes (least recently used go first), and workers encode the frames
// after the one just asked for, because players ask for frames in sequence.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <future>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "recorder/DemoArchive.h"
#include "recorder/FrameRenderer.h"
#include "recorder/RecordedArchive.h"

namespace corvanta::recorder {

struct FrameStoreOptions {
    int quality = 75;
    size_t cacheBytes = 128u << 20;
    uint32_t readAhead = 8;  // frames encoded ahead of a request; 0 turns the workers off
    uint32_t encoders = 2;   // worker threads that encode ahead
    size_t maxJpegBytes = 0; // larger pictures are encoded again at lower quality; 0 = no limit
};

struct FrameStoreStats {
    uint64_t hits = 0;
    uint64_t encoded = 0;
    size_t cachedBytes = 0;
    size_t cachedFrames = 0;
};

class FrameStore {
public:
    FrameStore(const DemoArchive& archive, FrameStoreOptions options);
    ~FrameStore();
    FrameStore(const FrameStore&) = delete;
    FrameStore& operator=(const FrameStore&) = delete;

    // The JPEG of a frame (frame < rec.frameCount), from the cache or made
    // now; queues the following frames for the worker. Never null, but empty
    // when encoding failed.
    JpegBytes frame(const Recording& rec, uint32_t index);

    FrameStoreStats stats() const;

private:
    using Key = uint64_t;
    static Key keyOf(const Recording& rec, uint32_t index) { return (uint64_t{rec.fileNumber} << 32) | index; }

    JpegBytes produce(const Recording& rec, uint32_t index, bool countHit);
    JpegBytes encode(const Recording& rec, uint32_t index);
    void insertLocked(Key key, JpegBytes bytes);
    void workerLoop();

    FrameRenderer renderer_;
    FrameStoreOptions options_;

    mutable std::mutex mutex_;
    std::list<Key> lru_;  // most recent first
    struct Entry {
        JpegBytes bytes;
        std::list<Key>::iterator position;
    };
    std::unordered_map<Key, Entry> cache_;
    std::unordered_map<Key, std::shared_future<JpegBytes>> inFlight_;
    size_t cachedBytes_ = 0;
    FrameStoreStats stats_;

    std::deque<std::pair<const Recording*, uint32_t>> queue_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace corvanta::recorder
