#include "recorder/folder/FolderArchive.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <iostream>

#include "recorder/folder/FolderIndexer.h"
#include "recorder/folder/IndexDatabase.h"
#include "recorder/folder/MediaProbe.h"
#include "recorder/folder/SourceIds.h"

namespace corvanta::recorder::folder {
namespace {

// Indexed files are published together at this pace, so a folder of many
// small files does not rebuild the catalogue once per file.
constexpr auto kPublishEvery = std::chrono::milliseconds(300);

// An open file: its reader, and what indexing learnt of it while it is open.
class ReaderDecoder final : public FrameDecoder {
public:
    ReaderDecoder(std::unique_ptr<FrameReader> reader, std::shared_ptr<const MediaInfo> media)
        : reader_(std::move(reader)), media_(std::move(media)) {}
    std::optional<std::string> jpeg(uint32_t index) override { return reader_->jpeg(index); }
    uint32_t width() const override { return reader_->width(); }
    uint32_t height() const override { return reader_->height(); }
    uint64_t timeMs(uint32_t index) const override {
        const auto& times = media_->frameMs;
        return index < times.size() ? static_cast<uint64_t>(std::max<int64_t>(0, times[index])) : 0;
    }
    uint32_t holdMs(uint32_t index) const override {
        const auto& times = media_->frameMs;
        if (index + 1 < times.size())
            return static_cast<uint32_t>(std::clamp<int64_t>(times[index + 1] - times[index], 0, 60000));
        // The last frame stays for one period of the nominal rate.
        return media_->rate ? static_cast<uint32_t>(uint64_t{media_->scale ? media_->scale : 1} * 1000 / media_->rate)
                            : 40;
    }

private:
    std::unique_ptr<FrameReader> reader_;
    std::shared_ptr<const MediaInfo> media_;
};

}  // namespace

Seconds localFromUtc(int64_t utcSeconds) {
    const std::time_t t = static_cast<std::time_t>(utcSeconds);
    std::tm local{};
    if (!localtime_r(&t, &local)) return utcSeconds;
    return utcSeconds + local.tm_gmtoff;
}

Seconds recordingStart(const ScannedFile& file, std::optional<int64_t> creationTimeUtc, int64_t durationMs) {
    if (file.layout != Layout::Flat && file.nameStart) return *file.nameStart;
    if (creationTimeUtc) return localFromUtc(*creationTimeUtc);
    if (file.nameStart) return *file.nameStart;
    return localFromUtc(file.mtimeNs / 1'000'000'000) - durationMs / 1000;
}

FolderArchive::FolderArchive(FolderArchiveOptions options)
    : options_(std::move(options)),
      pool_([this](const FolderFile& file, std::string* error) { return openFile(file, error); }) {}

FolderArchive::~FolderArchive() { stop(); }

// Frame times and key frames are read from the index as a file opens, not
// kept for every file; a file the index no longer holds is probed again.
std::unique_ptr<FrameDecoder> FolderArchive::openFile(const FolderFile& file, std::string* error) {
    std::optional<IndexEntry> entry;
    if (database_) entry = database_->find(file.relPath, file.size, file.mtimeNs);
    std::optional<MediaInfo> info = entry ? std::move(entry->info) : probeMedia(file.absPath, error);
    if (!info || info->frameCount() != file.frameCount) {
        if (error && info) *error = "changed since it was indexed";
        return nullptr;
    }
    auto media = std::make_shared<const MediaInfo>(std::move(*info));
    auto reader = FrameReader::open(file.absPath, *media, options_.frames, error);
    if (!reader) return nullptr;
    return std::make_unique<ReaderDecoder>(std::move(reader), std::move(media));
}

void FolderArchive::log(const std::string& line) const {
    if (options_.log)
        options_.log(line);
    else
        std::cerr << line << '\n';
}

bool FolderArchive::start(std::string* error) {
    indexPath_ = options_.indexFile.empty() ? IndexDatabase::defaultPath() : options_.indexFile;
    std::string why;
    database_ = IndexDatabase::open(indexPath_, &why);
    if (!database_) {
        if (error) *error = "index " + indexPath_ + ": " + why;
        return false;
    }
    if (!database_->rebuildNote().empty()) log(database_->rebuildNote());
    IndexerOptions indexing;
    indexing.threads = options_.indexThreads;
    indexing.progress = [this](const std::string& line) { log(line); };
    MediaProbe probe = options_.probe;
    if (!probe) probe = [](const std::string& path, std::string* e) { return probeMedia(path, e); };
    indexer_ = std::make_unique<FolderIndexer>(options_.dir, *database_, std::move(probe), indexing);
    const ScanResult first = scanFolder(options_.dir);
    if (!first.rootReadable) {
        if (error) *error = "cannot list " + options_.dir;
        indexer_.reset();
        return false;
    }
    rescan();
    background_ = std::thread([this] { backgroundLoop(); });
    spans_ = std::thread([this] { spanLoop(); });
    return true;
}

void FolderArchive::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (background_.joinable()) background_.join();
    if (spans_.joinable()) spans_.join();
    std::lock_guard rescanning(rescanMutex_);
    if (indexer_) indexer_->stop();
}

void FolderArchive::rescan() {
    std::lock_guard rescanning(rescanMutex_);
    ScanResult scan = scanFolder(options_.dir);
    for (const std::string& note : scan.notes) log(note);
    std::vector<ScannedFile> toIndex;
    bool changed = false;  // a file new or changed since the last scan
    {
        std::lock_guard lock(mutex_);
        std::map<std::string, Known> next;
        for (ScannedFile& f : scan.files) {
            auto old = known_.find(f.relPath);
            const bool same = old != known_.end() && old->second.scanned.size == f.size &&
                              old->second.scanned.mtimeNs == f.mtimeNs;
            changed = changed || !same;
            Known k = same ? std::move(old->second) : Known{std::move(f), nullptr, false, nullptr, false};
            // A new run replaces the one in progress, so what it had not done yet goes in it.
            if (!k.done) toIndex.push_back(k.scanned);
            next.emplace(k.scanned.relPath, std::move(k));
        }
        // Removed and changed files leave the catalogue at the next publish.
        dirty_ = dirty_ || changed || next.size() != known_.size();
        known_ = std::move(next);
        pending_ = toIndex.size();
        if (changed) {
            std::vector<ScannedFile> order = toIndex;
            FolderIndexer::sortNewestDayFirst(order);
            spansToProbe_.clear();
            for (const ScannedFile& f : order) spansToProbe_.push_back(f.relPath);
            nextSpan_ = 0;
        }
    }
    changed_.notify_all();
    // Nothing new: the run in progress goes on rather than starting over.
    if (!toIndex.empty() && (changed || !indexer_->running()))
        indexer_->start(std::move(toIndex), [this](const ScannedFile& file, const IndexEntry& entry, bool probed) {
            indexed(file, entry, probed);
        });
    publish();
}

void FolderArchive::indexed(const ScannedFile& file, const IndexEntry& entry, bool probed) {
    // At most this many broken files are named; a folder of thousands would drown the log.
    constexpr size_t kFailuresSaid = 50;
    std::string note;
    {
        std::lock_guard lock(mutex_);
        auto it = known_.find(file.relPath);
        if (it == known_.end() || it->second.done || it->second.scanned.size != file.size ||
            it->second.scanned.mtimeNs != file.mtimeNs)
            return;
        it->second.done = true;
        if (entry.info) it->second.summary = std::make_shared<const MediaSummary>(MediaSummary::of(*entry.info));
        if (!entry.info && probed && failuresSaid_ < kFailuresSaid) {
            note = "skipped " + file.relPath + ": " + entry.error;
            if (++failuresSaid_ == kFailuresSaid) note += " (further broken files are not named)";
        }
        if (pending_ > 0) --pending_;
        dirty_ = true;
    }
    if (!note.empty()) log(note);
    changed_.notify_all();
}

void FolderArchive::publish() {
    std::vector<CatalogueEntry> entries;
    std::vector<ArchiveSource> cameras;
    std::vector<PendingSpan> pending;
    {
        std::lock_guard lock(mutex_);
        dirty_ = false;
        std::vector<std::string> folders;
        for (const auto& [path, k] : known_) folders.push_back(k.scanned.camera);
        const SourceIds ids(std::move(folders));
        // Every camera is listed at once, its days as its files are indexed.
        for (const SourceName& s : ids.sources()) cameras.push_back(ArchiveSource{s.sourceId, s.displayName, 0});
        for (const auto& [path, k] : known_) {
            const SourceName* source = ids.byFolder(k.scanned.camera);
            if (!source) continue;
            if (!k.done && k.span) {
                const Seconds start = recordingStart(k.scanned, k.span->creationTimeUtc, k.span->durationMs);
                pending.push_back(PendingSpan{source->sourceId, start, start + (k.span->durationMs + 999) / 1000});
            }
            if (!k.summary) continue;
            const Seconds start = recordingStart(k.scanned, k.summary->creationTimeUtc, k.summary->lastFrameMs);
            entries.push_back(CatalogueEntry{source->sourceId, source->displayName, path, options_.dir + "/" + path,
                                             start, k.scanned.size, k.scanned.mtimeNs, k.summary});
        }
    }
    catalogue_.rebuild(std::move(entries), std::move(cameras), std::move(pending));
}

// Reads the headers of files waiting to be indexed, far faster than the
// indexer reads them through, so a day being indexed shows its recorded
// seconds at once.
void FolderArchive::spanLoop() {
    for (;;) {
        std::optional<std::string> relPath = nextSpanToProbe();
        if (!relPath) return;
        auto span = probeSpan(options_.dir + "/" + *relPath);
        std::lock_guard lock(mutex_);
        auto it = known_.find(*relPath);
        if (it == known_.end()) continue;
        it->second.spanRead = true;
        if (!span || it->second.done) continue;
        it->second.span = std::make_shared<const MediaSpan>(*span);
        dirty_ = true;
    }
}

std::optional<std::string> FolderArchive::nextSpanToProbe() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (stopping_) return std::nullopt;
        while (nextSpan_ < spansToProbe_.size()) {
            auto it = known_.find(spansToProbe_[nextSpan_++]);
            if (it != known_.end() && !it->second.done && !it->second.spanRead) return it->first;
        }
        changed_.wait(lock);
    }
}

void FolderArchive::backgroundLoop() {
    auto nextScan = std::chrono::steady_clock::now() + std::chrono::seconds(options_.rescanSeconds);
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        changed_.wait_for(lock, kPublishEvery);
        if (stopping_) break;
        const bool publishNow = dirty_;
        lock.unlock();
        if (std::chrono::steady_clock::now() >= nextScan) {
            rescan();
            nextScan = std::chrono::steady_clock::now() + std::chrono::seconds(options_.rescanSeconds);
        } else if (publishNow) {
            publish();
        }
        lock.lock();
    }
}

bool FolderArchive::waitIndexed(int timeoutMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    {
        std::unique_lock lock(mutex_);
        if (!changed_.wait_until(lock, until, [this] { return pending_ == 0 || stopping_; })) return false;
    }
    publish();
    return true;
}

FileRef FolderArchive::findFile(std::string_view fileName) const {
    FileRef found = catalogue_.findFile(fileName);
    auto file = std::dynamic_pointer_cast<const FolderFile>(found);
    if (!file) return found;
    // The description tells the size of the pictures served, which scaling may make smaller than stored.
    auto size = pool_.servedSize(file);
    if (!size || (size->first == file->width && size->second == file->height)) return found;
    auto sized = std::make_shared<FolderFile>(*file);
    sized->width = size->first;
    sized->height = size->second;
    return sized;
}

std::vector<uint8_t> FolderArchive::activity(uint32_t source, Seconds from, uint32_t count) const {
    return catalogue_.activity(source, from, count);
}

std::optional<ServedFrame> FolderArchive::frame(const FileRef& file, uint32_t index) {
    auto folderFile = std::dynamic_pointer_cast<const FolderFile>(file);
    if (!folderFile || index >= file->frameCount) return std::nullopt;
    JpegBytes jpeg = pool_.frame(folderFile, index);
    if (!jpeg) return std::nullopt;
    const auto times = pool_.times(folderFile, index);
    if (!times) return std::nullopt;
    return ServedFrame{std::move(jpeg), times->first, times->second};
}

}  // namespace corvanta::recorder::folder
