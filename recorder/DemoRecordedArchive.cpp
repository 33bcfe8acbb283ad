#include "recorder/DemoRecordedArchive.h"

namespace corvanta::recorder {

struct DemoRecordedArchive::DemoFile final : ArchiveFile {
    const Recording* rec = nullptr;
};

namespace {

ArchiveSource sourceOf(const DemoSource& s) { return ArchiveSource{s.id, s.displayName, s.index}; }

}  // namespace

DemoRecordedArchive::DemoRecordedArchive(DemoArchive archive, FrameStoreOptions frames)
    : archive_(std::move(archive)), frames_(archive_, frames) {
    // Every recording gets its file record once, so a file stays the same
    // object for as long as the server runs.
    for (const DemoSource& s : archive_.sources()) {
        for (const Recording& r : archive_.recordings(s.index)) {
            auto f = std::make_shared<DemoFile>();
            f->rec = &r;
            f->fileNumber = r.fileNumber;
            f->source = r.source;
            f->start = r.start;
            f->stop = r.stop;
            f->frameCount = r.frameCount;
            f->fileName = r.fileName;
            f->width = s.width;
            f->height = s.height;
            f->scale = s.scale;
            f->rate = s.rate;
            files_.emplace(&r, std::move(f));
        }
    }
}

FileRef DemoRecordedArchive::fileOf(const Recording* rec) const {
    if (!rec) return nullptr;
    auto it = files_.find(rec);
    return it == files_.end() ? nullptr : it->second;
}

std::vector<ArchiveSource> DemoRecordedArchive::sources() const {
    std::vector<ArchiveSource> out;
    for (const DemoSource& s : archive_.sources()) out.push_back(sourceOf(s));
    return out;
}

std::optional<ArchiveSource> DemoRecordedArchive::findSource(std::string_view id) const {
    const DemoSource* s = archive_.findSource(id);
    if (!s) return std::nullopt;
    return sourceOf(*s);
}

std::vector<uint32_t> DemoRecordedArchive::months(uint32_t source) const { return archive_.months(source); }

std::vector<uint8_t> DemoRecordedArchive::days(uint32_t source, int year, unsigned month) const {
    return archive_.days(source, year, month);
}

std::vector<FileRef> DemoRecordedArchive::overlapping(uint32_t source, Seconds from, Seconds until) const {
    std::vector<FileRef> out;
    for (const Recording* r : archive_.overlapping(source, from, until)) out.push_back(fileOf(r));
    return out;
}

bool DemoRecordedArchive::hasFileNumber(uint32_t source, uint32_t fileNumber) const {
    return archive_.findFileNumber(source, fileNumber) != nullptr;
}

FileRef DemoRecordedArchive::findFile(std::string_view fileName) const {
    const Recording* r = archive_.findFile(fileName);
    if (!r) r = archive_.findLiveBuffer(fileName);
    return fileOf(r);
}

std::vector<uint8_t> DemoRecordedArchive::activity(uint32_t source, Seconds from, uint32_t count) const {
    return archive_.activity(source, from, count);
}

std::vector<uint32_t> DemoRecordedArchive::frameTable(uint32_t source, Seconds from, uint32_t count) const {
    return archive_.frameTable(source, from, count);
}

std::optional<ServedFrame> DemoRecordedArchive::frame(const FileRef& file, uint32_t index) {
    const Recording& rec = *static_cast<const DemoFile&>(*file).rec;
    if (index >= rec.frameCount) return std::nullopt;
    JpegBytes jpeg = frames_.frame(rec, index);
    if (!jpeg || jpeg->empty()) return std::nullopt;
    return ServedFrame{std::move(jpeg), archive_.frameTimeMs(rec, index), archive_.holdTimeMs(rec, index)};
}

}  // namespace corvanta::recorder
