#pragma once
// Reads a video file through once and tells what indexing keeps about it
// (MediaInfo): stream properties, every frame's time, the key frames and
// the activity per second. Packets are read, not decoded (MJPEG pictures
// are decoded at 1/8 scale for activity), so indexing runs far faster than
// real time.

#include <optional>
#include <string>

#include "recorder/folder/MediaInfo.h"

namespace corvanta::recorder::folder {

// A file with more frames is refused (a year at 300 fps would not fit).
constexpr uint32_t kMaxFramesPerFile = 10'000'000;

// Nothing, with `error` (if given) saying why, for a file that is not a video
// this recorder serves: missing, empty, not video, no frame readable. A file
// cut short or damaged part-way gives the frames read up to the damage.
std::optional<MediaInfo> probeMedia(const std::string& path, std::string* error);

// What the container's header tells of a file without reading it through:
// which seconds it covers, known long before it is indexed.
struct MediaSpan {
    int64_t durationMs = 0;
    std::optional<int64_t> creationTimeUtc;  // as MediaInfo's
};

// Nothing when the file is not a served video or tells no duration.
std::optional<MediaSpan> probeSpan(const std::string& path);

}  // namespace corvanta::recorder::folder
