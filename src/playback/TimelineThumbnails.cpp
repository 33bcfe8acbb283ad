#include "playback/TimelineThumbnails.h"

#include <algorithm>

namespace corvanta {

TimelineThumbnails::TimelineThumbnails(Locate locate, Fetch fetch, size_t capacity)
    : m_locate(std::move(locate)), m_fetch(std::move(fetch)), m_capacity(std::max<size_t>(capacity, 1)) {
    for (size_t i = 0; i < kWorkers; ++i) m_workers.emplace_back([this] { Work(); });
}

TimelineThumbnails::~TimelineThumbnails() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        for (const auto& job : m_running) job->cancelled = true;
        m_waiting.reset();
    }
    m_wake.notify_all();
    for (std::thread& worker : m_workers) worker.join();
}

std::shared_ptr<const Thumbnail> TimelineThumbnails::Update(int32_t second, Clock::time_point now) {
    TakeFinished();
    if (second != m_hover) {
        m_hover = second;
        m_since = now;
        m_asked = false;
        CancelExcept(second);
        return nullptr;
    }
    if (second < 0 || now - m_since < kRest) return nullptr;
    if (auto cached = FromCache(second)) return cached;
    if (!m_asked) {
        m_asked = true;
        Request(second);
    }
    return nullptr;
}

void TimelineThumbnails::Reset() {
    {
        std::lock_guard lock(m_mutex);
        ++m_generation;
        m_done.clear();
    }
    CancelExcept(-1);
    m_lru.clear();
    m_bySecond.clear();
    m_hover = -1;
    m_asked = false;
}

size_t TimelineThumbnails::Running() const {
    std::lock_guard lock(m_mutex);
    return m_running.size();
}

void TimelineThumbnails::Work() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || m_waiting; });
        if (m_stop) return;
        std::shared_ptr<Job> job = std::move(m_waiting);
        m_running.push_back(job);
        ++m_started;
        lock.unlock();
        std::optional<ScaledPicture> picture = m_fetch(job->source, job->cancelled);
        lock.lock();
        std::erase(m_running, job);
        if (!job->cancelled && picture) m_done.push_back({job->second, job->generation, std::move(picture)});
    }
}

void TimelineThumbnails::TakeFinished() {
    std::vector<Done> done;
    uint64_t generation = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_done.empty()) return;
        done.swap(m_done);
        generation = m_generation;
    }
    for (Done& d : done)
        if (d.generation == generation && d.picture) Store(d.second, std::move(*d.picture));
}

void TimelineThumbnails::CancelExcept(int32_t keep) {
    std::lock_guard lock(m_mutex);
    m_waiting.reset();
    for (const auto& job : m_running) {
        if (job->second == keep || job->cancelled) continue;
        job->cancelled = true;
        ++m_cancelled;
    }
}

void TimelineThumbnails::Request(int32_t second) {
    std::optional<ThumbnailSource> source = m_locate(second);
    if (!source) return;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& job : m_running)
            if (job->second == second && !job->cancelled) return;
        m_waiting = std::make_shared<Job>();
        m_waiting->second = second;
        m_waiting->generation = m_generation;
        m_waiting->source = std::move(*source);
    }
    m_wake.notify_one();
}

std::shared_ptr<const Thumbnail> TimelineThumbnails::FromCache(int32_t second) {
    const auto found = m_bySecond.find(second);
    if (found == m_bySecond.end()) return nullptr;
    m_lru.splice(m_lru.begin(), m_lru, found->second);
    return m_lru.front();
}

void TimelineThumbnails::Store(int32_t second, ScaledPicture picture) {
    if (const auto found = m_bySecond.find(second); found != m_bySecond.end()) {
        m_lru.erase(found->second);
        m_bySecond.erase(found);
    }
    m_lru.push_front(std::make_shared<const Thumbnail>(Thumbnail{second, std::move(picture)}));
    m_bySecond[second] = m_lru.begin();
    while (m_lru.size() > m_capacity) {
        m_bySecond.erase(m_lru.back()->second);
        m_lru.pop_back();
    }
}

}  // namespace corvanta
