#include "recorder/folder/FolderCatalogue.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <set>

#include "archive/ArchiveRecords.h"

namespace corvanta::recorder::folder {
namespace {

constexpr std::string_view kLiveBufferSuffix = "MEMORY";

std::string lowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool startsBefore(const std::shared_ptr<const FolderFile>& a, const std::shared_ptr<const FolderFile>& b) {
    if (a->start != b->start) return a->start < b->start;
    return a->relPath < b->relPath;
}

}  // namespace

std::optional<std::string> servedFileName(const std::string& relPath) {
    std::string name = relPath;
    std::replace(name.begin(), name.end(), '/', '\\');
    if (name.empty() || name.size() >= sizeof(SessionEntry::fileName)) return std::nullopt;
    if (name.find('\0') != std::string::npos) return std::nullopt;
    return name;
}

void FolderCatalogue::rebuild(std::vector<CatalogueEntry> entries, std::vector<ArchiveSource> cameras,
                              std::vector<PendingSpan> pending) {
    std::unique_lock lock(mutex_);
    std::vector<Source> sources;
    std::unordered_map<std::string, uint32_t> sourceIndex;
    // Sources seen before keep their place; new ones follow by id.
    std::set<std::string> ids;
    for (const CatalogueEntry& e : entries) ids.insert(e.sourceId);
    for (const ArchiveSource& c : cameras) ids.insert(c.id);
    for (const PendingSpan& p : pending) ids.insert(p.sourceId);
    std::vector<std::string> order;
    for (const std::string& id : sourceOrder_)
        if (ids.erase(id)) order.push_back(id);
    order.insert(order.end(), ids.begin(), ids.end());
    sourceOrder_ = order;
    for (const std::string& id : order) {
        sourceIndex.emplace(id, static_cast<uint32_t>(sources.size()));
        Source s;
        s.info.id = id;
        s.info.index = static_cast<uint32_t>(sources.size());
        sources.push_back(std::move(s));
    }
    for (const ArchiveSource& c : cameras) sources[sourceIndex.at(c.id)].info.displayName = c.displayName;

    std::unordered_map<std::string, std::shared_ptr<const FolderFile>> byName;
    size_t count = 0;
    for (CatalogueEntry& e : entries) {
        if (!e.summary || e.summary->frameCount == 0) continue;
        auto name = servedFileName(e.relPath);
        if (!name) continue;
        Source& src = sources[sourceIndex.at(e.sourceId)];
        if (src.info.displayName.empty()) src.info.displayName = e.displayName;
        auto number = numbers_.try_emplace(e.relPath, nextNumber_);
        if (number.second) ++nextNumber_;
        auto f = std::make_shared<FolderFile>();
        f->fileNumber = number.first->second;
        f->source = src.info.index;
        f->start = e.start;
        f->stop = e.start + e.summary->lastFrameMs / 1000 + 1;
        f->frameCount = e.summary->frameCount;
        f->fileName = *name;
        f->width = e.summary->width;
        f->height = e.summary->height;
        f->rate = e.summary->rate ? e.summary->rate : 25;
        f->scale = e.summary->scale ? e.summary->scale : 1;
        f->relPath = std::move(e.relPath);
        f->absPath = std::move(e.absPath);
        f->size = e.size;
        f->mtimeNs = e.mtimeNs;
        f->summary = std::move(e.summary);
        src.longest = std::max(src.longest, f->stop - f->start);
        byName.emplace(lowerCase(f->fileName), f);
        src.files.push_back(std::move(f));
        ++count;
    }
    for (const PendingSpan& p : pending)
        if (p.stop > p.start) sources[sourceIndex.at(p.sourceId)].pending.emplace_back(p.start, p.stop);
    for (Source& s : sources) {
        std::sort(s.files.begin(), s.files.end(), startsBefore);
        if (s.info.displayName.empty()) s.info.displayName = s.info.id;
    }
    sources_ = std::move(sources);
    byName_ = std::move(byName);
    fileCount_ = count;
}

std::vector<ArchiveSource> FolderCatalogue::sources() const {
    std::shared_lock lock(mutex_);
    std::vector<ArchiveSource> out;
    for (const Source& s : sources_) out.push_back(s.info);
    return out;
}

std::optional<ArchiveSource> FolderCatalogue::findSource(std::string_view id) const {
    std::shared_lock lock(mutex_);
    for (const Source& s : sources_)
        if (s.info.id == id) return s.info;
    return std::nullopt;
}

std::vector<std::shared_ptr<const FolderFile>> FolderCatalogue::overlappingLocked(uint32_t source, Seconds from,
                                                                                   Seconds until) const {
    std::vector<std::shared_ptr<const FolderFile>> out;
    if (source >= sources_.size() || until <= from) return out;
    const Source& s = sources_[source];
    // Files may overlap one another: any file starting after from - longest may reach into the window.
    auto it = std::lower_bound(s.files.begin(), s.files.end(), from - s.longest,
                               [](const std::shared_ptr<const FolderFile>& f, Seconds t) { return f->start < t; });
    for (; it != s.files.end() && (*it)->start < until; ++it)
        if ((*it)->stop > from) out.push_back(*it);
    return out;
}

bool FolderCatalogue::pendingOverlaps(const Source& s, Seconds from, Seconds until) const {
    return std::any_of(s.pending.begin(), s.pending.end(),
                       [&](const auto& span) { return span.first < until && span.second > from; });
}

std::vector<uint32_t> FolderCatalogue::months(uint32_t source) const {
    std::shared_lock lock(mutex_);
    std::set<uint32_t> found;
    auto add = [&](Seconds start, Seconds stop) {
        for (int64_t d = daysFromCivil(dateOf(start)); d <= daysFromCivil(dateOf(stop - 1)); ++d) {
            const CivilDate c = civilFromDays(d);
            found.insert(static_cast<uint32_t>(c.year) * 100 + c.month);
        }
    };
    if (source < sources_.size()) {
        for (const auto& f : sources_[source].files) add(f->start, f->stop);
        for (const auto& [start, stop] : sources_[source].pending) add(start, stop);
    }
    return {found.begin(), found.end()};
}

std::vector<uint8_t> FolderCatalogue::days(uint32_t source, int year, unsigned month) const {
    std::shared_lock lock(mutex_);
    std::vector<uint8_t> out;
    const unsigned n = daysInMonth(year, month);
    for (unsigned day = 1; day <= n; ++day) {
        const Seconds from = startOfDay(CivilDate{year, month, day});
        if (!overlappingLocked(source, from, from + kSecondsPerDay).empty() ||
            (source < sources_.size() && pendingOverlaps(sources_[source], from, from + kSecondsPerDay)))
            out.push_back(static_cast<uint8_t>(day));
    }
    return out;
}

std::vector<FileRef> FolderCatalogue::overlapping(uint32_t source, Seconds from, Seconds until) const {
    std::shared_lock lock(mutex_);
    auto files = overlappingLocked(source, from, until);
    return {files.begin(), files.end()};
}

bool FolderCatalogue::hasFileNumber(uint32_t source, uint32_t fileNumber) const {
    std::shared_lock lock(mutex_);
    if (source >= sources_.size()) return false;
    const auto& files = sources_[source].files;
    return std::any_of(files.begin(), files.end(), [&](const auto& f) { return f->fileNumber == fileNumber; });
}

FileRef FolderCatalogue::findFile(std::string_view fileName) const {
    std::shared_lock lock(mutex_);
    // Only names handed out are served: a path of the viewer is never opened.
    auto it = byName_.find(lowerCase(fileName));
    if (it != byName_.end()) return it->second;
    if (fileName.size() > kLiveBufferSuffix.size() &&
        fileName.substr(fileName.size() - kLiveBufferSuffix.size()) == kLiveBufferSuffix) {
        const std::string_view id = fileName.substr(0, fileName.size() - kLiveBufferSuffix.size());
        for (const Source& s : sources_)
            if (s.info.id == id && !s.files.empty()) return s.files.back();
    }
    return nullptr;
}

std::vector<uint8_t> FolderCatalogue::activity(uint32_t source, Seconds from, uint32_t count) const {
    std::shared_lock lock(mutex_);
    std::vector<uint8_t> out(count, kActivityNoRecording);
    for (const auto& f : overlappingLocked(source, from, from + count)) {
        const std::vector<uint8_t>& levels = f->summary->activity;
        const Seconds lo = std::max(f->start, from), hi = std::min<Seconds>(f->stop, from + count);
        for (Seconds t = lo; t < hi; ++t) {
            const auto i = static_cast<size_t>(t - f->start);
            const uint8_t level = i < levels.size() ? std::min<uint8_t>(levels[i], 200) : 0;
            uint8_t& slot = out[static_cast<size_t>(t - from)];
            slot = slot == kActivityNoRecording ? level : std::max(slot, level);
        }
    }
    if (source >= sources_.size()) return out;
    for (const auto& [start, stop] : sources_[source].pending) {
        const Seconds lo = std::max(start, from), hi = std::min<Seconds>(stop, from + count);
        for (Seconds t = lo; t < hi; ++t) {
            uint8_t& slot = out[static_cast<size_t>(t - from)];
            if (slot == kActivityNoRecording) slot = 0;
        }
    }
    return out;
}

std::vector<uint32_t> FolderCatalogue::frameTable(uint32_t source, Seconds from, uint32_t count) const {
    std::shared_lock lock(mutex_);
    std::vector<uint32_t> out(count, kNoFrameInSecond);
    for (const auto& f : overlappingLocked(source, from, from + count)) {
        const std::vector<uint32_t>& firsts = f->summary->firstFrameOfSecond;
        const Seconds lo = std::max(f->start, from);
        const Seconds hi = std::min<Seconds>(f->start + Seconds(firsts.size()), from + count);
        for (Seconds t = lo; t < hi; ++t) {
            const uint32_t first = firsts[static_cast<size_t>(t - f->start)];
            uint32_t& slot = out[static_cast<size_t>(t - from)];
            if (slot == kNoFrameInSecond && first != MediaSummary::kNoFrame) slot = first;
        }
    }
    return out;
}

size_t FolderCatalogue::fileCount() const {
    std::shared_lock lock(mutex_);
    return fileCount_;
}

}  // namespace corvanta::recorder::folder
