#include "playback/export/ExportFrameTimes.h"

#include <algorithm>

#include "archive/ArchiveRecords.h"

namespace corvanta {

ExportFrameTimes::ExportFrameTimes(uint32_t scale, uint32_t rate, std::span<const uint32_t> table)
    : m_scale(scale), m_rate(rate) {
    for (size_t s = 0; s < table.size(); ++s) {
        // Frames only go forward; anything else in a table is not trusted.
        if (table[s] == kNoFrameInSecond) continue;
        if (!m_seconds.empty() && table[s] <= m_seconds.back().firstFrame) continue;
        m_seconds.push_back({uint32_t(s), table[s]});
    }
}

int64_t ExportFrameTimes::RateMs(uint64_t frames) const {
    return m_rate == 0 ? 0 : int64_t(frames * 1000 * m_scale / m_rate);
}

int64_t ExportFrameTimes::PeriodMs() const {
    return std::max<int64_t>(RateMs(1), 1);
}

int64_t ExportFrameTimes::OffsetMs(uint32_t frame) const {
    if (m_seconds.empty() || frame < m_seconds.front().firstFrame) return RateMs(frame);
    auto after = std::upper_bound(m_seconds.begin(), m_seconds.end(), frame,
                                  [](uint32_t f, const Second& s) { return f < s.firstFrame; });
    const Second& second = *(after - 1);
    // Within its second a frame is placed by the rate, never into the next second.
    return int64_t(second.offset) * 1000 + std::min<int64_t>(RateMs(frame - second.firstFrame), 999);
}

}  // namespace corvanta
