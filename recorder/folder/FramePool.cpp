#include "recorder/folder/FramePool.h"

#include <algorithm>

#include "recorder/folder/FolderCatalogue.h"

namespace corvanta::recorder::folder {

FramePool::FramePool(DecoderFactory factory, FramePoolOptions options)
    : factory_(std::move(factory)), options_(options) {
    options_.maxReaders = std::max<size_t>(options_.maxReaders, 1);
}

FramePool::Key FramePool::keyOf(const FolderFile& file) {
    return file.summary ? static_cast<Key>(file.summary.get()) : static_cast<Key>(&file);
}

std::shared_ptr<FramePool::Reader> FramePool::readerFor(const std::shared_ptr<const FolderFile>& file) {
    std::lock_guard lock(mutex_);
    const Key key = keyOf(*file);
    auto it = index_.find(key);
    if (it != index_.end()) {
        readers_.splice(readers_.begin(), readers_, it->second);
        return it->second->second;
    }
    // Close idle readers beyond the bound; one in use stays until its request ends.
    for (auto r = readers_.end(); readers_.size() >= options_.maxReaders && r != readers_.begin();) {
        --r;
        if (r->second.use_count() > 1) continue;
        index_.erase(r->first);
        holds_.erase(r->first);
        r = readers_.erase(r);
    }
    readers_.emplace_front(key, std::make_shared<Reader>());
    index_[key] = readers_.begin();
    holds_[key] = file->summary ? std::shared_ptr<const void>(file->summary) : std::shared_ptr<const void>(file);
    return readers_.front().second;
}

JpegBytes FramePool::decodeLocked(Reader& reader, uint32_t index) {
    auto bytes = reader.decoder->jpeg(index);
    {
        std::lock_guard lock(mutex_);
        ++decoded_;
    }
    if (!bytes) {
        reader.last.reset();  // a failed decode leaves the decoder's position unknown
        return nullptr;
    }
    reader.last = index;
    auto shared = std::make_shared<const std::string>(std::move(*bytes));
    reader.kept.emplace_front(index, shared);
    if (reader.kept.size() > options_.keptFrames) reader.kept.pop_back();
    return shared;
}

JpegBytes FramePool::frame(const std::shared_ptr<const FolderFile>& file, uint32_t index, std::string* error) {
    if (!file || index >= file->frameCount) return nullptr;
    std::shared_ptr<Reader> reader = readerFor(file);
    std::lock_guard lock(reader->mutex);
    if (!openLocked(*reader, *file, error)) return nullptr;
    for (const auto& [kept, bytes] : reader->kept)
        if (kept == index) return bytes;
    if (reader->last && index > *reader->last && index - *reader->last <= options_.catchUp) {
        // Decoding forward through the gap costs less than a seek from a key frame.
        for (uint32_t i = *reader->last + 1; i < index && reader->last; ++i) decodeLocked(*reader, i);
    }
    return decodeLocked(*reader, index);
}

bool FramePool::openLocked(Reader& reader, const FolderFile& file, std::string* error) {
    if (!reader.decoder && !reader.failed) {
        reader.decoder = factory_(file, &reader.error);
        reader.failed = !reader.decoder;
    }
    if (reader.failed && error) *error = reader.error;
    return !reader.failed;
}

std::optional<std::pair<uint64_t, uint32_t>> FramePool::times(const std::shared_ptr<const FolderFile>& file,
                                                               uint32_t index, std::string* error) {
    if (!file || index >= file->frameCount) return std::nullopt;
    std::shared_ptr<Reader> reader = readerFor(file);
    std::lock_guard lock(reader->mutex);
    if (!openLocked(*reader, *file, error)) return std::nullopt;
    return std::pair(reader->decoder->timeMs(index), reader->decoder->holdMs(index));
}

std::optional<std::pair<uint32_t, uint32_t>> FramePool::servedSize(const std::shared_ptr<const FolderFile>& file,
                                                                   std::string* error) {
    if (!file) return std::nullopt;
    std::shared_ptr<Reader> reader = readerFor(file);
    std::lock_guard lock(reader->mutex);
    if (!openLocked(*reader, *file, error)) return std::nullopt;
    return std::pair(reader->decoder->width(), reader->decoder->height());
}

size_t FramePool::openReaders() const {
    std::lock_guard lock(mutex_);
    return readers_.size();
}

uint64_t FramePool::decodedFrames() const {
    std::lock_guard lock(mutex_);
    return decoded_;
}

}  // namespace corvanta::recorder::folder
