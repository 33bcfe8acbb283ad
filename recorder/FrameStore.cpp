#include "recorder/FrameStore.h"

#include <algorithm>

#include "recorder/JpegEncoder.h"

namespace corvanta::recorder {

// Bounds the read-ahead work waiting for the workers when many players run.
constexpr size_t kMaxQueued = 256;

FrameStore::FrameStore(const DemoArchive& archive, FrameStoreOptions options)
    : renderer_(archive), options_(options) {
    if (options_.readAhead > 0)
        for (uint32_t i = 0; i < std::max(1u, options_.encoders); ++i) workers_.emplace_back([this] { workerLoop(); });
}

FrameStore::~FrameStore() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    for (std::thread& t : workers_) t.join();
}

JpegBytes FrameStore::frame(const Recording& rec, uint32_t index) {
    JpegBytes bytes = produce(rec, index, true);
    if (options_.readAhead > 0) {
        std::lock_guard lock(mutex_);
        // Read-ahead queued for this file earlier belongs to a position the
        // player has left; other files' players keep theirs.
        std::erase_if(queue_, [&](const auto& item) { return item.first == &rec; });
        for (uint32_t i = 1; i <= options_.readAhead && index + i < rec.frameCount; ++i) {
            const Key key = keyOf(rec, index + i);
            if (!cache_.count(key) && !inFlight_.count(key)) queue_.emplace_back(&rec, index + i);
        }
        while (queue_.size() > kMaxQueued) queue_.pop_front();
        wake_.notify_all();
    }
    return bytes;
}

JpegBytes FrameStore::produce(const Recording& rec, uint32_t index, bool countHit) {
    const Key key = keyOf(rec, index);
    std::promise<JpegBytes> promise;
    {
        std::unique_lock lock(mutex_);
        if (auto it = cache_.find(key); it != cache_.end()) {
            lru_.splice(lru_.begin(), lru_, it->second.position);
            if (countHit) ++stats_.hits;
            return it->second.bytes;
        }
        if (auto it = inFlight_.find(key); it != inFlight_.end()) {
            // Another thread is encoding this frame already: wait for its result.
            std::shared_future<JpegBytes> pending = it->second;
            lock.unlock();
            return pending.get();
        }
        inFlight_.emplace(key, promise.get_future().share());
    }
    JpegBytes bytes;
    try {
        bytes = encode(rec, index);
    } catch (const std::exception&) {
        // Out of memory while drawing or encoding: this frame fails, and
        // whoever waits for it must not wait forever.
        bytes = std::make_shared<const std::string>();
    }
    {
        std::lock_guard lock(mutex_);
        ++stats_.encoded;
        inFlight_.erase(key);
        if (!bytes->empty()) insertLocked(key, bytes);
    }
    promise.set_value(bytes);
    return bytes;
}

JpegBytes FrameStore::encode(const Recording& rec, uint32_t index) {
    // One encoder and one picture buffer per thread: both are reused for
    // every frame that thread makes.
    thread_local JpegEncoder encoder;
    thread_local RgbImage image;
    renderer_.render(rec, index, image);
    int quality = options_.quality;
    std::string jpeg = encoder.encode(image.pixels.data(), image.width, image.height, quality);
    while (options_.maxJpegBytes > 0 && jpeg.size() > options_.maxJpegBytes && quality > 10) {
        quality -= 15;
        jpeg = encoder.encode(image.pixels.data(), image.width, image.height, std::max(quality, 5));
    }
    if (options_.maxJpegBytes > 0 && jpeg.size() > options_.maxJpegBytes) jpeg.clear();
    return std::make_shared<const std::string>(std::move(jpeg));
}

void FrameStore::insertLocked(Key key, JpegBytes bytes) {
    if (cache_.count(key)) return;
    lru_.push_front(key);
    cachedBytes_ += bytes->size();
    cache_.emplace(key, Entry{std::move(bytes), lru_.begin()});
    while (cachedBytes_ > options_.cacheBytes && !lru_.empty()) {
        auto it = cache_.find(lru_.back());
        cachedBytes_ -= it->second.bytes->size();
        cache_.erase(it);
        lru_.pop_back();
    }
}

void FrameStore::workerLoop() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_) return;
        auto [rec, index] = queue_.front();
        queue_.pop_front();
        // A frame that is ready or being made needs no second worker.
        const Key key = keyOf(*rec, index);
        if (cache_.count(key) || inFlight_.count(key)) continue;
        lock.unlock();
        produce(*rec, index, false);
        lock.lock();
    }
}

FrameStoreStats FrameStore::stats() const {
    std::lock_guard lock(mutex_);
    FrameStoreStats s = stats_;
    s.cachedBytes = cachedBytes_;
    s.cachedFrames = cache_.size();
    return s;
}

}  // namespace corvanta::recorder
