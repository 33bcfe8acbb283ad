#include "playback/FrameTime.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "archive/ArchiveRecords.h"

namespace corvanta {

namespace {

// Frames of one second when the rate is a whole number of them, else 0.
uint32_t WholeFramesPerSecond(uint32_t scale, uint32_t rate) {
    return scale != 0 && rate % scale == 0 ? rate / scale : 0;
}

// Milliseconds after the file's first frame by the rate alone.
int64_t RateMs(uint64_t frames, uint32_t scale, uint32_t rate) {
    return rate == 0 ? 0 : int64_t(frames * 1000 * scale / rate);
}

// Frames the last second of a file may hold: the rate rounded up, at least one.
uint64_t FramesOfASecond(uint32_t scale, uint32_t rate) {
    if (scale == 0 || rate == 0) return 1;
    return std::max<uint64_t>((uint64_t(rate) + scale - 1) / scale, 1);
}

}  // namespace

void FrameTimeText::Open(uint32_t scale, uint32_t rate, uint32_t frameCount) {
    Close();
    m_scale = scale;
    m_rate = rate;
    m_frameCount = std::max<uint32_t>(frameCount, 1);
}

void FrameTimeText::SetIndex(const platform::SystemTime& start, std::span<const uint32_t> table) {
    m_start = start;
    m_hasStart = true;
    m_seconds.clear();
    for (size_t s = 0; s < table.size(); ++s) {
        // Frames only go forward; anything else in a table is not trusted.
        if (table[s] == kNoFrameInSecond) continue;
        if (!m_seconds.empty() && table[s] <= m_seconds.back().firstFrame) continue;
        m_seconds.push_back({uint32_t(s), table[s]});
    }
    const uint32_t perSecond = WholeFramesPerSecond(m_scale, m_rate);
    const uint64_t lastSecondFrames = FramesOfASecond(m_scale, m_rate);
    // A table that ends before the file does cannot place its last frames.
    if (!m_seconds.empty() && m_seconds.back().firstFrame + lastSecondFrames < m_frameCount) m_seconds.clear();
    if (m_seconds.empty()) {
        m_toTheFrame = m_rate != 0 && m_scale != 0;
        return;
    }
    m_toTheFrame = perSecond != 0;
    for (size_t i = 1; i < m_seconds.size() && m_toTheFrame; ++i)
        m_toTheFrame = m_seconds[i].offset == m_seconds[i - 1].offset + 1 &&
                       m_seconds[i].firstFrame - m_seconds[i - 1].firstFrame == perSecond;
}

int64_t FrameTimeText::OffsetMs(uint32_t frame) const {
    if (m_seconds.empty()) return RateMs(frame, m_scale, m_rate);
    auto after = std::upper_bound(m_seconds.begin(), m_seconds.end(), frame,
                                  [](uint32_t f, const Second& s) { return f < s.firstFrame; });
    const Second& second = after == m_seconds.begin() ? m_seconds.front() : *(after - 1);
    int64_t ms = int64_t(second.offset) * 1000;
    if (m_toTheFrame && frame > second.firstFrame)
        ms += std::min<int64_t>(RateMs(frame - second.firstFrame, m_scale, m_rate), 999);
    return ms;
}

std::string FrameTimeText::Text(uint32_t frame) const {
    char number[48];
    std::snprintf(number, sizeof number, "frame %u / %u", std::min(frame, m_frameCount - 1) + 1, m_frameCount);
    if (!m_hasStart) return number;
    const std::string time = FormatTimeAfter(m_start, OffsetMs(frame), m_toTheFrame);
    return (Approximate() ? "\xE2\x89\x88 " : "") + time + "   " + number;
}

std::string FormatTimeAfter(const platform::SystemTime& start, int64_t offsetMs, bool withMs) {
    using namespace std::chrono;
    const sys_days day{year{start.year} / month{start.month} / std::chrono::day{start.day}};
    const sys_time<milliseconds> at = day + hours{start.hour} + minutes{start.minute} + seconds{start.second} +
                                      milliseconds{offsetMs};
    const sys_days atDay = floor<days>(at);
    const year_month_day ymd{atDay};
    const hh_mm_ss<milliseconds> clock{at - atDay};
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d", int(ymd.year()), unsigned(ymd.month()),
                  unsigned(ymd.day()), int(clock.hours().count()), int(clock.minutes().count()),
                  int(clock.seconds().count()));
    std::string out = text;
    if (withMs) {
        std::snprintf(text, sizeof text, ".%03d", int(clock.subseconds().count()));
        out += text;
    }
    return out;
}

}  // namespace corvanta
