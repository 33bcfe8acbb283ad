#include "playback/DayActivity.h"

#include <algorithm>

#include "playback/TimelineColumns.h"

namespace corvanta {

std::vector<uint8_t> CopyDayActivity(std::span<const uint8_t> activity) {
    std::vector<uint8_t> copy(kDayTimelineSeconds, kNoRecording);
    const size_t n = std::min(activity.size(), copy.size());
    std::copy_n(activity.begin(), n, copy.begin());
    return copy;
}

CoveredSeconds Covered(const DaySession& session, int32_t viewedDay) {
    const int32_t start = session.startDay != viewedDay ? 0 : session.startSecond;
    const bool endsLater = session.stopDay != viewedDay || session.stopSecond >= kSecondsPerDay;
    return {start, endsLater ? kDayTimelineSeconds : session.stopSecond};
}

void MarkGaps(std::span<uint8_t> activity, const std::vector<DaySession>* sessions, int32_t viewedDay) {
    if (!sessions) return;
    std::vector<bool> covered(activity.size(), false);
    for (const DaySession& session : *sessions) {
        const CoveredSeconds c = Covered(session, viewedDay);
        const auto clip = [&](int32_t s) { return size_t(std::clamp<int64_t>(s, 0, int64_t(activity.size()))); };
        for (size_t s = clip(c.start); s < clip(c.stop); ++s) covered[s] = true;
    }
    for (size_t s = 0; s < activity.size(); ++s) {
        if (!covered[s]) activity[s] = kNoRecording;
    }
}

}  // namespace corvanta
