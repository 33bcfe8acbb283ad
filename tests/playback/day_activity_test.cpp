#include <gtest/gtest.h>

#include <vector>

#include "playback/DayActivity.h"
#include "playback/TimelineColumns.h"

namespace corvanta {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(DayActivity, CopyTakesTheDayOrWhatThereIsAndMissingSecondsAreNotRecorded) {
    Bytes longer(90000, 3);
    longer[kDayTimelineSeconds] = 9;  // 23:59:59 is not kept
    for (const auto& [given, copied] : {std::pair{Bytes(10, 3), size_t(10)}, {longer, size_t(86399)}}) {
        const Bytes copy = CopyDayActivity(given);
        ASSERT_EQ(size_t(kDayTimelineSeconds), copy.size());
        for (size_t s = 0; s < copy.size(); ++s) ASSERT_EQ(s < copied ? 3 : kNoRecording, copy[s]) << s << " of " << given.size();
    }
}

TEST(DayActivity, MarkGapsKeepsOnlySecondsThatASessionCovers) {
    constexpr int32_t kDay = 12;
    struct Case {
        std::vector<DaySession> sessions;
        int32_t from, to;  // the covered seconds
        const char* what;
    };
    for (const Case& c : {Case{{{kDay - 1, 80000, kDay, 3600}}, 0, 3600, "started the day before"},
                          Case{{{kDay, 86000, kDay + 1, 100}}, 86000, 86399, "ends the next day"},
                          Case{{{kDay, 100, kDay, 200}, {kDay, 150, kDay, 300}}, 100, 300, "overlapping"}}) {
        Bytes activity(kDayTimelineSeconds, 7);
        MarkGaps(activity, &c.sessions, kDay);
        for (int32_t s = 0; s < kDayTimelineSeconds; ++s)
            ASSERT_EQ(s >= c.from && s < c.to ? 7 : kNoRecording, activity[size_t(s)]) << c.what << ", second " << s;
    }
    Bytes activity(kDayTimelineSeconds, 7);
    MarkGaps(activity, nullptr, kDay);  // no list: the gaps are unknown
    EXPECT_EQ(Bytes(kDayTimelineSeconds, 7), activity);
}

}  // namespace
}  // namespace corvanta
