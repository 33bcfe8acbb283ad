#pragma once
// What the recorder's filters ask of an archive, whatever keeps it: the
// generated demo archive or a folder of camera recordings. The service
// speaks the wire protocol; an archive answers in seconds and frame numbers.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "recorder/Calendar.h"

namespace corvanta::recorder {

struct ArchiveSource {
    std::string id;           // key in every archive command
    std::string displayName;  // shown in the viewer's tree
    uint32_t index = 0;       // position in the source list
};

// One recorded file as the protocol shows it. Archives derive their own
// file type from it to keep what they need to serve frames.
struct ArchiveFile {
    virtual ~ArchiveFile() = default;

    uint32_t fileNumber = 0;  // unique across the archive
    uint32_t source = 0;      // index into the source list
    Seconds start = 0;        // first second recorded
    Seconds stop = 0;         // end, exclusive
    uint32_t frameCount = 0;
    std::string fileName;     // the name the viewer opens it by
    uint32_t width = 0;       // of the pictures served, after any scaling
    uint32_t height = 0;
    uint32_t scale = 1;       // frames per second = rate / scale
    uint32_t rate = 25;
};

using FileRef = std::shared_ptr<const ArchiveFile>;
using JpegBytes = std::shared_ptr<const std::string>;

struct ServedFrame {
    JpegBytes jpeg;       // never null when served
    uint64_t timeMs = 0;  // from the file's start
    uint32_t holdMs = 0;  // until the next frame
};

class RecordedArchive {
public:
    virtual ~RecordedArchive() = default;

    virtual std::vector<ArchiveSource> sources() const = 0;
    virtual std::optional<ArchiveSource> findSource(std::string_view id) const = 0;

    // Months (year * 100 + month, ascending) and days of a month in which a
    // source has recordings; a recording counts for every day it touches.
    virtual std::vector<uint32_t> months(uint32_t source) const = 0;
    virtual std::vector<uint8_t> days(uint32_t source, int year, unsigned month) const = 0;

    // Files of a source that overlap [from, until), by start time.
    virtual std::vector<FileRef> overlapping(uint32_t source, Seconds from, Seconds until) const = 0;
    virtual bool hasFileNumber(uint32_t source, uint32_t fileNumber) const = 0;
    // A file by the name the viewer sent (a live buffer name included);
    // nothing for a name the archive did not hand out.
    virtual FileRef findFile(std::string_view fileName) const = 0;

    // 1..200 for motion in a recorded second, 0 for a still one, 255 where
    // nothing is recorded.
    virtual std::vector<uint8_t> activity(uint32_t source, Seconds from, uint32_t count) const = 0;
    // First frame starting in each second, 0xFFFFFFFF where none does.
    virtual std::vector<uint32_t> frameTable(uint32_t source, Seconds from, uint32_t count) const = 0;

    // Frame `index` (< frameCount) of a file this archive handed out; nothing
    // when it cannot be read.
    virtual std::optional<ServedFrame> frame(const FileRef& file, uint32_t index) = 0;
};

}  // namespace corvanta::recorder
