#pragma once
// What serving keeps in memory of an indexed file between opens: a few
// bytes per recorded second, where the frame times alone take eight per
// frame (some 0.7 MB a recorded hour at 25 fps, gigabytes for a month of a
// few cameras). The whole MediaInfo is read from the index again when the
// file is opened.

#include <cstdint>
#include <optional>
#include <vector>

#include "recorder/folder/MediaInfo.h"

namespace corvanta::recorder::folder {

struct MediaSummary {
    static constexpr uint32_t kNoFrame = UINT32_MAX;

    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t rate = 25;
    uint32_t scale = 1;
    uint32_t frameCount = 0;
    int64_t lastFrameMs = 0;  // the last frame's time from the first
    std::optional<int64_t> creationTimeUtc;
    // Per second from the first frame's: the first frame shown in it, or kNoFrame.
    std::vector<uint32_t> firstFrameOfSecond;
    std::vector<uint8_t> activity;  // as MediaInfo's

    static MediaSummary of(const MediaInfo& media);
};

}  // namespace corvanta::recorder::folder
