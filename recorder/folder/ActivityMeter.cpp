#include "recorder/folder/ActivityMeter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace corvanta::recorder::folder {
namespace {

// Thumbnail differences up to this many grey levels are sensor and
// compression noise of a still scene (see docs/recorder.md for the figures).
constexpr double kNoiseDifference = 0.8;
constexpr double kLevelsPerGreyLevel = 10.0;

// Seconds whose non-key frames are at most this many times the quiet size
// count as still; the quiet size is a low percentile of the seconds' sizes.
constexpr double kQuietRatio = 1.6;
constexpr double kLevelsPerRatio = 40.0;
constexpr size_t kQuietPercentile = 10;
// The quiet size is at least a byte per this many pixels: a still scene
// without noise codes to a few bytes a frame, and a few more are no motion.
constexpr double kPixelsPerQuietByte = 1000.0;

uint8_t clampLevel(double value) {
    return static_cast<uint8_t>(std::clamp(std::lround(value), 1L, 200L));
}

// The second a sample falls in, or -1 outside [0, seconds).
int64_t secondOf(int64_t ms, int64_t originMs, size_t seconds) {
    if (ms < originMs) return -1;
    const int64_t s = (ms - originMs) / 1000;
    return s < int64_t(seconds) ? s : -1;
}

}  // namespace

ActivityMeter::ActivityMeter(uint32_t width, uint32_t height) : width_(width), height_(height) {}

void ActivityMeter::addPicture(int64_t ms, const uint8_t* grey, uint32_t width, uint32_t height, uint32_t pitch) {
    if (!grey || width == 0 || height == 0 || pitch < width) return;
    pictures_ = true;
    // Box-average onto the grid so the measure does not depend on the size.
    if (cellOfColumn_.size() != width) {
        cellOfColumn_.resize(width);
        for (uint32_t x = 0; x < width; ++x) cellOfColumn_[x] = uint32_t(uint64_t(x) * kThumbWidth / width);
    }
    std::vector<uint32_t> sum(kThumbWidth * kThumbHeight, 0), count(kThumbWidth * kThumbHeight, 0);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = grey + size_t(y) * pitch;
        const uint32_t base = uint32_t(uint64_t(y) * kThumbHeight / height) * kThumbWidth;
        for (uint32_t x = 0; x < width; ++x) {
            sum[base + cellOfColumn_[x]] += row[x];
            ++count[base + cellOfColumn_[x]];
        }
    }
    std::vector<uint8_t> thumb(sum.size(), 0);
    for (size_t i = 0; i < sum.size(); ++i)
        if (count[i]) thumb[i] = uint8_t((sum[i] + count[i] / 2) / count[i]);
    if (previousThumb_.size() == thumb.size()) {
        uint64_t total = 0;
        for (size_t i = 0; i < thumb.size(); ++i) total += uint64_t(std::abs(int(thumb[i]) - int(previousThumb_[i])));
        samples_.push_back({ms, double(total) / double(thumb.size())});
    }
    previousThumb_ = std::move(thumb);
}

void ActivityMeter::addCompressedFrame(int64_t ms, size_t bytes) {
    samples_.push_back({ms, double(bytes)});
}

uint8_t ActivityMeter::levelFromDifference(double meanAbsDiff) {
    if (!(meanAbsDiff > kNoiseDifference)) return 0;
    return clampLevel((meanAbsDiff - kNoiseDifference) * kLevelsPerGreyLevel);
}

uint8_t ActivityMeter::levelFromSizeRatio(double ratio) {
    if (!(ratio > kQuietRatio)) return 0;
    return clampLevel((ratio - kQuietRatio) * kLevelsPerRatio);
}

std::vector<uint8_t> ActivityMeter::levels(int64_t originMs, size_t seconds) const {
    return pictures_ ? levelsFromDifferences(originMs, seconds) : levelsFromSizes(originMs, seconds);
}

// A second's level is its largest change between two pictures: a person
// crossing for half a second is motion, however still the rest was.
std::vector<uint8_t> ActivityMeter::levelsFromDifferences(int64_t originMs, size_t seconds) const {
    std::vector<double> largest(seconds, 0.0);
    for (const Sample& s : samples_) {
        const int64_t i = secondOf(s.ms, originMs, seconds);
        if (i >= 0) largest[size_t(i)] = std::max(largest[size_t(i)], s.value);
    }
    std::vector<uint8_t> out(seconds, 0);
    for (size_t i = 0; i < seconds; ++i) out[i] = levelFromDifference(largest[i]);
    return out;
}

// A second's level is the mean size of its non-key frames against the
// quiet size: P and B frames mix alike in every second, key frames are
// left out as they are large whatever happens.
std::vector<uint8_t> ActivityMeter::levelsFromSizes(int64_t originMs, size_t seconds) const {
    std::vector<double> bytes(seconds, 0.0);
    std::vector<uint32_t> frames(seconds, 0);
    for (const Sample& s : samples_) {
        const int64_t i = secondOf(s.ms, originMs, seconds);
        if (i < 0) continue;
        bytes[size_t(i)] += s.value;
        ++frames[size_t(i)];
    }
    std::vector<double> means;
    for (size_t i = 0; i < seconds; ++i)
        if (frames[i]) means.push_back(bytes[i] / frames[i]);
    std::vector<uint8_t> out(seconds, 0);
    if (means.empty()) return out;
    std::sort(means.begin(), means.end());
    const double floor = std::max(1.0, double(width_) * double(height_) / kPixelsPerQuietByte);
    const double quiet = std::max(floor, means[(means.size() - 1) * kQuietPercentile / 100]);
    for (size_t i = 0; i < seconds; ++i)
        if (frames[i]) out[i] = levelFromSizeRatio(bytes[i] / frames[i] / quiet);
    return out;
}

}  // namespace corvanta::recorder::folder
