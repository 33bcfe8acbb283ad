#pragma once
// The generated demo archive behind the archive interface: recordings come
// from DemoArchive, pictures from the FrameStore that renders and caches them.

#include <unordered_map>

#include "recorder/DemoArchive.h"
#include "recorder/FrameStore.h"
#include "recorder/RecordedArchive.h"

namespace corvanta::recorder {

class DemoRecordedArchive final : public RecordedArchive {
public:
    DemoRecordedArchive(DemoArchive archive, FrameStoreOptions frames);

    const DemoArchive& demo() const { return archive_; }
    FrameStoreStats frameStats() const { return frames_.stats(); }

    std::vector<ArchiveSource> sources() const override;
    std::optional<ArchiveSource> findSource(std::string_view id) const override;
    std::vector<uint32_t> months(uint32_t source) const override;
    std::vector<uint8_t> days(uint32_t source, int year, unsigned month) const override;
    std::vector<FileRef> overlapping(uint32_t source, Seconds from, Seconds until) const override;
    bool hasFileNumber(uint32_t source, uint32_t fileNumber) const override;
    FileRef findFile(std::string_view fileName) const override;
    std::vector<uint8_t> activity(uint32_t source, Seconds from, uint32_t count) const override;
    std::vector<uint32_t> frameTable(uint32_t source, Seconds from, uint32_t count) const override;
    std::optional<ServedFrame> frame(const FileRef& file, uint32_t index) override;

private:
    struct DemoFile;
    FileRef fileOf(const Recording* rec) const;

    const DemoArchive archive_;
    FrameStore frames_;
    std::unordered_map<const Recording*, FileRef> files_;
};

}  // namespace corvanta::recorder
