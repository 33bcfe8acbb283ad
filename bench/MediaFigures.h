#pragma once
// The media layer's figures, measured directly on files (no HTTP): indexing
// speed, frames served in sequence, random frame-exact seeks. Used by the
// archive-folder benchmark; the files are made by it with ffmpeg.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "recorder/folder/FrameReader.h"
#include "recorder/folder/MediaProbe.h"

namespace corvanta::recorder::folder::bench {

struct MediaFigures {
    double indexTimesRealTime = 0;  // seconds of video probed per second
    double sequentialFps = 0;       // JPEG frames served in order per second
    double medianSeekMs = 0;        // a random frame, fresh seek each time
    uint32_t frames = 0;
};

inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Nothing when the file does not probe or open. `sequentialFrames` and
// `seeks` bound the time spent; seeks are seeded, so runs repeat.
inline std::optional<MediaFigures> measureMedia(const std::string& path, uint32_t sequentialFrames = 500,
                                                int seeks = 40, const FrameReaderOptions& options = {}) {
    using Clock = std::chrono::steady_clock;
    MediaFigures figures;
    auto start = Clock::now();
    const auto info = probeMedia(path, nullptr);
    if (!info || info->frameMs.empty()) return std::nullopt;
    const double probeSeconds = secondsSince(start);
    const double frameSeconds = double(info->scale) / std::max(1u, info->rate);
    figures.indexTimesRealTime = (double(info->frameMs.back()) / 1000.0 + frameSeconds) / std::max(probeSeconds, 1e-6);
    figures.frames = info->frameCount();

    auto reader = FrameReader::open(path, *info, options, nullptr);
    if (!reader) return std::nullopt;
    const uint32_t count = std::min(sequentialFrames, info->frameCount());
    start = Clock::now();
    for (uint32_t i = 0; i < count; ++i) reader->jpeg(i);
    figures.sequentialFps = count / std::max(secondsSince(start), 1e-6);

    std::mt19937 random(11);
    std::vector<double> times;
    for (int k = 0; k < seeks; ++k) {
        const uint32_t index = uint32_t(random() % info->frameCount());
        start = Clock::now();
        reader->jpeg(index);
        times.push_back(secondsSince(start) * 1000.0);
    }
    if (!times.empty()) {
        std::nth_element(times.begin(), times.begin() + long(times.size() / 2), times.end());
        figures.medianSeekMs = times[times.size() / 2];
    }
    return figures;
}

}  // namespace corvanta::recorder::folder::bench
