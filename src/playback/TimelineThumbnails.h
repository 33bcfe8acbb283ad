#pragma once
// The day timeline's thumbnails without widgets: when the pointer has rested
// on a second long enough, which picture to show, fetching it on worker
// threads and keeping the last ones.
//
// The owner calls Update from its timer with the second under the pointer;
// Update never waits for a fetch. A second rested on for kRest is looked up
// (nothing covers it: no picture and no fetch), then shown from the cache or
// fetched once for that rest. At most kWorkers fetches run at once; a
// second that no pointer waits for any more has its fetch cancelled, and a
// new wish replaces one still waiting for a worker. Finished pictures are
// cached per second, the least recently used dropped beyond the capacity.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

#include "imaging/ScaledJpeg.h"
#include "playback/ThumbnailFetch.h"

namespace corvanta {

struct Thumbnail {
    int32_t second = -1;
    ScaledPicture picture;
};

class TimelineThumbnails {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration kRest = std::chrono::milliseconds(150);
    static constexpr size_t kWorkers = 2;
    static constexpr size_t kCapacity = 64;

    // On the owner's thread: where a second's picture is; nothing for a
    // second without recording.
    using Locate = std::function<std::optional<ThumbnailSource>(int32_t second)>;
    // On a worker thread: the picture, or nothing. It should give up soon
    // once `cancelled` is true.
    using Fetch = std::function<std::optional<ScaledPicture>(const ThumbnailSource&, const std::atomic<bool>& cancelled)>;

    TimelineThumbnails(Locate locate, Fetch fetch, size_t capacity = kCapacity);
    // Cancels what runs and waits for the workers.
    ~TimelineThumbnails();
    TimelineThumbnails(const TimelineThumbnails&) = delete;
    TimelineThumbnails& operator=(const TimelineThumbnails&) = delete;

    // One pass of the owner's timer: the second under the pointer (-1 for
    // none) at `now`. The thumbnail to show now, or null.
    std::shared_ptr<const Thumbnail> Update(int32_t second, Clock::time_point now);
    // Another day: the cache emptied, every fetch cancelled and its result dropped.
    void Reset();

    size_t Cached() const { return m_lru.size(); }
    // Fetches running now, cancelled ones included until they return.
    size_t Running() const;
    // Fetches begun, and those cancelled, since construction.
    uint64_t Started() const { return m_started; }
    uint64_t CancelledCount() const { return m_cancelled; }

private:
    struct Job {
        int32_t second = -1;
        uint64_t generation = 0;
        ThumbnailSource source;
        std::atomic<bool> cancelled{false};
    };
    struct Done {
        int32_t second;
        uint64_t generation;
        std::optional<ScaledPicture> picture;
    };

    void Work();
    void TakeFinished();
    // Cancels every running job but the one for `keep` (-1: all) and drops the waiting one.
    void CancelExcept(int32_t keep);
    void Request(int32_t second);
    std::shared_ptr<const Thumbnail> FromCache(int32_t second);
    void Store(int32_t second, ScaledPicture picture);

    const Locate m_locate;
    const Fetch m_fetch;
    const size_t m_capacity;

    // The owner's side.
    int32_t m_hover = -1;
    Clock::time_point m_since;
    bool m_asked = false;  // the current rest has requested its picture
    std::list<std::shared_ptr<const Thumbnail>> m_lru;  // most recently used first
    std::unordered_map<int32_t, std::list<std::shared_ptr<const Thumbnail>>::iterator> m_bySecond;

    // Shared with the workers.
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    uint64_t m_generation = 0;
    std::shared_ptr<Job> m_waiting;
    std::vector<std::shared_ptr<Job>> m_running;
    std::vector<Done> m_done;
    std::atomic<uint64_t> m_started{0};
    std::atomic<uint64_t> m_cancelled{0};
    std::vector<std::thread> m_workers;
};

}  // namespace corvanta
