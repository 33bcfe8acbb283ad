#pragma once
// What indexing learns about one video file, once, by reading it through:
// enough to list it, to answer frame tables and activity, and to find frame
// N again without reading the file from the start.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvanta::recorder::folder {

struct MediaInfo {
    std::string codec;         // FFmpeg's codec name: "mjpeg", "h264", "hevc", "mpeg4", ...
    uint32_t width = 0;        // coded picture size
    uint32_t height = 0;
    uint32_t rate = 25;        // frames per second = rate / scale, from the stream's frame rate
    uint32_t scale = 1;
    bool intraOnly = false;    // every frame decodes on its own (MJPEG): no key-frame seeking needed
    // Presentation time of each frame in the order the decoder gives them,
    // in milliseconds from the first frame (so frameMs[0] == 0), ascending.
    // Its size is the file's frame count.
    std::vector<int64_t> frameMs;
    // The first frame's presentation timestamp in the video stream's time
    // base: the frame reader maps a decoded frame's timestamp to its index
    // through it and frameMs.
    int64_t firstTimestamp = 0;
    // Frames (indexes into frameMs) that are key frames, ascending; a seek
    // to frame N decodes from the last key frame at or before N.
    std::vector<uint32_t> keyFrames;
    // Container metadata creation_time, as seconds since 1970 UTC, when present.
    std::optional<int64_t> creationTimeUtc;
    // Motion per second from the first frame: 1..200 where something moved,
    // 0 where nothing did; one per second up to the last frame's second
    // (size = last frame's time / 1000 + 1).
    std::vector<uint8_t> activity;

    uint32_t frameCount() const { return static_cast<uint32_t>(frameMs.size()); }
};

}  // namespace corvanta::recorder::folder
