#include "remote/ReadAhead.h"

#include <algorithm>
#include <cstdlib>

namespace corvanta {
CReadAhead::CReadAhead(Limits limits) : m_limits(limits) {
    m_limits.inFlight = std::clamp<uint32_t>(limits.inFlight, 1, std::max<uint32_t>(limits.frames, 1));
    m_inFlightLimit = std::min(kFirstInFlight, m_limits.inFlight);
}

void CReadAhead::Behind() {
    m_inFlightLimit = std::min(m_inFlightLimit + 1, m_limits.inFlight);
}

std::optional<uint32_t> CReadAhead::Predicted(uint32_t count) const {
    if (!m_last || m_step == 0) return std::nullopt;
    const int64_t frame = int64_t{*m_last} + int64_t{m_step} * count;
    if (frame < 0 || frame > int64_t{UINT32_MAX}) return std::nullopt;
    return static_cast<uint32_t>(frame);
}

bool CReadAhead::Reached(uint32_t frame, uint32_t mark) const {
    return m_step >= 0 ? frame >= mark : frame <= mark;
}

bool CReadAhead::IsInFlight(uint32_t frame) const {
    const auto it = m_entries.find(frame);
    return it != m_entries.end() && !it->second.arrived;
}

std::vector<uint32_t> CReadAhead::InFlightFrames() const {
    std::vector<uint32_t> frames;
    for (const auto& [frame, entry] : m_entries)
        if (!entry.arrived) frames.push_back(frame);
    return frames;
}

void CReadAhead::Erase(std::map<uint32_t, Entry>::iterator it) {
    if (it->second.arrived)
        m_keptBytes -= it->second.body.size();
    else
        --m_inFlight;
    m_entries.erase(it);
}

CReadAhead::Lookup CReadAhead::Ask(uint32_t frame) {
    if (m_last != frame) {
        if (Predicted(1) != frame) {
            Lookup out;
            const std::optional<uint32_t> last = m_last;
            out.cancelled = Reset();
            const int64_t step = last ? int64_t{frame} - int64_t{*last} : 0;
            m_step = std::abs(step) <= kMaxStep ? static_cast<int32_t>(step) : 0;
            m_last = frame;
            return out;
        }
        m_last = frame;
        if (m_barrier && Reached(frame, *m_barrier)) m_barrier.reset();
    }
    // The predicted next frame, or the same frame again (a repaint, or the
    // answer waited for having arrived).
    return Take(frame);
}

CReadAhead::Lookup CReadAhead::Take(uint32_t frame) {
    Lookup out;
    const auto it = m_entries.find(frame);
    if (it == m_entries.end()) return out;
    if (!it->second.arrived) {
        out.kind = Lookup::Kind::InFlight;
        return out;
    }
    out.kind = Lookup::Kind::Kept;
    out.body = std::move(it->second.body);
    m_keptBytes -= out.body.size();
    m_entries.erase(it);
    return out;
}

std::vector<uint32_t> CReadAhead::ToRequest() {
    std::vector<uint32_t> out;
    for (uint32_t i = 1; i <= m_limits.frames; ++i) {
        if (m_inFlight >= m_inFlightLimit || m_entries.size() >= m_limits.frames) break;
        const std::optional<uint32_t> frame = Predicted(i);
        if (!frame || (m_barrier && Reached(*frame, *m_barrier))) break;
        if (m_entries.contains(*frame)) continue;
        if (m_keptBytes + (m_inFlight + 1) * m_largest > m_limits.bytes) break;
        m_entries.emplace(*frame, Entry{});
        ++m_inFlight;
        out.push_back(*frame);
    }
    return out;
}

bool CReadAhead::Arrived(uint32_t frame, std::vector<uint8_t> body) {
    const auto it = m_entries.find(frame);
    if (it == m_entries.end() || it->second.arrived) return false;  // cancelled meanwhile
    --m_inFlight;
    m_largest = std::max<uint64_t>(m_largest, body.size());
    if (m_keptBytes + body.size() > m_limits.bytes) {
        // Too large to keep: not asked ahead again before the player gets there.
        m_entries.erase(it);
        if (frame != m_last) m_barrier = frame;
        return false;
    }
    m_keptBytes += body.size();
    it->second.arrived = true;
    it->second.body = std::move(body);
    return true;
}

void CReadAhead::Failed(uint32_t frame, bool transport) {
    const auto it = m_entries.find(frame);
    if (it == m_entries.end() || it->second.arrived) return;
    Erase(it);
    // The player fetches a frame it is waiting for itself; a later one is
    // not asked ahead again, nor anything behind it, until the player gets there.
    if (frame != m_last && (!m_barrier || Reached(*m_barrier, frame))) m_barrier = frame;
    if (transport) m_inFlightLimit = std::max<uint32_t>(m_inFlightLimit - 1, 1);
}

void CReadAhead::GaveUp(uint32_t frame) {
    m_limits.inFlight = std::max<uint32_t>(m_inFlightLimit, 2) - 1;
    Failed(frame, true);
    m_inFlightLimit = std::min(m_inFlightLimit, m_limits.inFlight);
}

std::vector<uint32_t> CReadAhead::Reset() {
    std::vector<uint32_t> inFlight = InFlightFrames();
    m_entries.clear();
    m_inFlight = 0;
    m_keptBytes = 0;
    m_last.reset();
    m_step = 0;
    m_barrier.reset();
    return inFlight;
}

}  // namespace corvanta
