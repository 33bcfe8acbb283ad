#include "playback/TimelineColumns.h"

#include <algorithm>

namespace corvanta {

namespace {

constexpr uint8_t kBackground = 150;  // every byte: grey

struct BarStyle {
    uint32_t height;
    uint8_t red, green, blue;
};

// Height and colour of a column's bar; height 0 draws nothing.
BarStyle StyleFor(uint8_t value, uint32_t pictureHeight) {
    if (value == 0) return {3, 100, 100, 250};
    if (value == kNoRecording) return {2, 250, 100, 100};
    // A neutral grey, lighter than the background: nothing is said about the second.
    if (value == kNoActivityData) return {2, 210, 210, 210};
    if (value > kMaxActivityLevel) return {0, 0, 0, 0};
    // Every level shows at least 5 pixels, so a faint motion stays visible.
    const int64_t height = (int64_t{pictureHeight} - 5) * value / kMaxActivityLevel + 5;
    return {uint32_t(std::max<int64_t>(height, 0)), 100, 250, 100};
}

// A level beats a lower level and both kinds without one; no activity data
// beats no recording.
bool Outranks(uint8_t value, uint8_t column) {
    if (value <= kMaxActivityLevel) return column > kMaxActivityLevel || value > column;
    return value == kNoActivityData && column == kNoRecording;
}

}  // namespace

double TimelineScale::PixelsPerSecond() const {
    return end > start ? double(width) / (double(end) - start) : 0.0;
}

int32_t TimelineScale::X(int32_t second) const {
    return static_cast<int32_t>((double(second) - start) * PixelsPerSecond());
}

int32_t TimelineScale::SecondAt(int32_t x) const {
    const double scale = PixelsPerSecond();
    if (scale == 0.0) return start;
    return static_cast<int32_t>(start + x / scale);
}

bool TimelineColumns::Resize(int32_t width, int32_t height) {
    m_columns.clear();
    if (width < 4 || height <= 0 || !m_picture.Create(uint32_t(width) & ~3u, uint32_t(height))) {
        m_picture.Free();
        return false;
    }
    // Grey until the first rebuild, which a bar without data never does.
    m_picture.Fill(kBackground);
    m_columns.assign(m_picture.Width(), kColumnEmpty);
    return true;
}

void TimelineColumns::Rebuild(std::span<const uint8_t> activity, int32_t start, int32_t end) {
    if (!m_picture.Bits()) return;
    m_picture.Fill(kBackground);
    std::fill(m_columns.begin(), m_columns.end(), kColumnEmpty);
    Collect(activity, start, end);
    for (uint32_t k = 0; k < m_columns.size(); ++k) DrawBar(k, m_columns[k]);
}

// A column takes the first second that falls into it, then any higher
// level. No recording stays only when no later second had a level or no
// activity data, so a column that is partly recorded shows the recording.
void TimelineColumns::Collect(std::span<const uint8_t> activity, int32_t start, int32_t end) {
    if (end <= start) return;
    const int64_t width = int64_t(m_columns.size()), length = int64_t(end) - start;
    for (int64_t s = start; s < end; ++s) {
        const size_t k = size_t(width * (s - start) / length);
        const bool inside = s >= 0 && uint64_t(s) < activity.size();
        const uint8_t v = inside ? activity[size_t(s)] : kNoRecording;
        uint8_t& column = m_columns[k];
        if (column == kColumnEmpty || Outranks(v, column)) column = v;
    }
}

void TimelineColumns::DrawBar(uint32_t column, uint8_t value) {
    if (value == kColumnEmpty) return;
    const BarStyle style = StyleFor(value, m_picture.Height());
    const uint32_t height = std::min(style.height, m_picture.Height());
    uint8_t* pixel = m_picture.Bits() + size_t(column) * 3;
    const size_t rowBytes = size_t(m_picture.Width()) * 3;
    // Row 0 is the bottom row of the picture.
    for (uint32_t row = 0; row < height; ++row, pixel += rowBytes) {
        pixel[0] = style.blue;
        pixel[1] = style.green;
        pixel[2] = style.red;
    }
}

}  // namespace corvanta
