#include "recorder/folder/FolderIndexer.h"

#include <time.h>

#include <algorithm>
#include <iostream>

namespace corvanta::recorder::folder {
namespace {

using Clock = std::chrono::steady_clock;

// The local day a file belongs to, in days since 1970.
int64_t dayOf(const ScannedFile& file) {
    if (file.nameStart) return *file.nameStart / kSecondsPerDay - (*file.nameStart % kSecondsPerDay < 0);
    const time_t seconds = static_cast<time_t>(file.mtimeNs / 1'000'000'000);
    tm local{};
    if (!::localtime_r(&seconds, &local)) return 0;
    return daysFromCivil(CivilDate{local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                                   static_cast<unsigned>(local.tm_mday)});
}

std::string duration(double seconds) {
    const auto s = static_cast<long long>(seconds + 0.5);
    if (s < 60) return std::to_string(s) + " s";
    if (s < 3600) return std::to_string(s / 60) + " min " + std::to_string(s % 60) + " s";
    return std::to_string(s / 3600) + " h " + std::to_string(s / 60 % 60) + " min";
}

}  // namespace

FolderIndexer::FolderIndexer(std::string root, IndexDatabase& database, MediaProbe probe, IndexerOptions options)
    : root_(std::move(root)),
      database_(database),
      probe_(std::move(probe)),
      threads_(std::max(1u, options.threads)),
      progress_(options.progress ? std::move(options.progress)
                                 : [](const std::string& line) { std::cerr << line << std::endl; }) {}

FolderIndexer::~FolderIndexer() { stop(); }

void FolderIndexer::sortNewestDayFirst(std::vector<ScannedFile>& files) {
    std::vector<std::pair<int64_t, size_t>> keys;
    keys.reserve(files.size());
    for (size_t i = 0; i < files.size(); ++i) keys.emplace_back(-dayOf(files[i]), i);
    std::sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : files[a.second].relPath < files[b.second].relPath;
    });
    std::vector<ScannedFile> sorted;
    sorted.reserve(files.size());
    for (const auto& key : keys) sorted.push_back(std::move(files[key.second]));
    files = std::move(sorted);
}

void FolderIndexer::start(std::vector<ScannedFile> files, IndexCallback onDone) {
    stop();
    sortNewestDayFirst(files);
    files_ = std::move(files);
    toProbe_.clear();
    onDone_ = std::move(onDone);
    next_ = 0;
    stop_ = false;
    {
        std::lock_guard lock(mutex_);
        stats_ = IndexerStats{};
        stats_.total = files_.size();
        started_ = probingStarted_ = lastReport_ = Clock::now();
    }
    finished_ = false;
    runner_ = std::thread([this] { run(); });
}

void FolderIndexer::requestStop() { stop_ = true; }

void FolderIndexer::stop() {
    requestStop();
    wait();
}

void FolderIndexer::wait() {
    if (runner_.joinable()) runner_.join();
}

IndexerStats FolderIndexer::stats() const {
    std::lock_guard lock(mutex_);
    return stats_;
}

// Known files first, all of them (a lookup costs microseconds, a probe
// seconds), so the time left is estimated over the files really probed.
void FolderIndexer::run() {
    for (size_t i = 0; i < files_.size() && !stop_; ++i) {
        if (auto entry = database_.find(files_[i].relPath, files_[i].size, files_[i].mtimeNs))
            finishFile(files_[i], *entry, false);
        else
            toProbe_.push_back(i);
    }
    {
        std::lock_guard lock(mutex_);
        probingStarted_ = lastReport_ = Clock::now();
    }
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < std::min<size_t>(threads_, toProbe_.size()); ++t) workers.emplace_back([this] { work(); });
    for (std::thread& worker : workers) worker.join();
    report(true);
    finished_ = true;
}

void FolderIndexer::work() {
    for (size_t n = next_++; n < toProbe_.size() && !stop_; n = next_++) {
        const ScannedFile& file = files_[toProbe_[n]];
        IndexEntry entry;
        entry.info = probe_(root_ + "/" + file.relPath, &entry.error);
        std::string error;
        if (entry.info && !database_.store(file.relPath, file.size, file.mtimeNs, *entry.info, &error)) {
            if (IndexDatabase::isStorable(*entry.info, nullptr)) {
                say("index: " + error);  // the database refused: report, keep the result for this run
            } else {
                entry = IndexEntry{std::nullopt, error};
                database_.storeFailure(file.relPath, file.size, file.mtimeNs, entry.error);
            }
        } else if (!entry.info) {
            if (entry.error.empty()) entry.error = "unreadable";
            database_.storeFailure(file.relPath, file.size, file.mtimeNs, entry.error);
        }
        finishFile(file, entry, true);
    }
}

void FolderIndexer::finishFile(const ScannedFile& file, const IndexEntry& entry, bool probed) {
    {
        std::lock_guard lock(mutex_);
        ++stats_.done;
        ++(probed ? stats_.probed : stats_.found);
        stats_.failed += probed && !entry.info;
    }
    if (onDone_) onDone_(file, entry, probed);
    if (probed) report(false);
}

void FolderIndexer::report(bool last) {
    std::string line;
    {
        std::lock_guard lock(mutex_);
        const auto now = Clock::now();
        if (!last && now - lastReport_ < std::chrono::seconds(1)) return;
        lastReport_ = now;
        const IndexerStats& s = stats_;
        const std::string counts = std::to_string(s.done) + "/" + std::to_string(s.total) + " files";
        if (!last) {
            const double elapsed = std::chrono::duration<double>(now - probingStarted_).count();
            const double left = elapsed / static_cast<double>(s.probed) * static_cast<double>(s.total - s.done);
            line = "indexing: " + counts + ", about " + duration(left) + " left";
        } else {
            const double elapsed = std::chrono::duration<double>(now - started_).count();
            line = std::string(s.done < s.total ? "indexing stopped: " : "indexing done: ") + counts + " (" +
                   std::to_string(s.found) + " known, " + std::to_string(s.probed) + " probed, " +
                   std::to_string(s.failed) + " failed) in " + duration(elapsed);
        }
    }
    say(line);
}

void FolderIndexer::say(const std::string& line) {
    std::lock_guard lock(sinkMutex_);
    progress_(line);
}

}  // namespace corvanta::recorder::folder
