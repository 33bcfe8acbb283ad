// The generated archive and the calendar beneath it.

#include "RecorderTestSupport.h"

namespace corvanta::recorder::test {
namespace {

// '#' in the pattern stands for any digit; every other character must match.
bool matchesPattern(const std::string& text, const std::string& pattern) {
    if (text.size() != pattern.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (pattern[i] == '#' ? !std::isdigit(static_cast<unsigned char>(text[i])) : text[i] != pattern[i]) return false;
    }
    return true;
}

TEST(Calendar, DaysAndDatesRoundTripAcrossLeapYearsAndCenturies) {
    for (int64_t day = daysFromCivil({1899, 12, 1}); day < daysFromCivil({2101, 3, 1}); day += 13) {
        const CivilDate c = civilFromDays(day);
        ASSERT_EQ(daysFromCivil(c), day);
        ASSERT_GE(c.day, 1u);
        ASSERT_LE(c.day, daysInMonth(c.year, c.month));
    }
    EXPECT_EQ(daysFromCivil({1970, 1, 1}), 0);
    EXPECT_EQ(daysInMonth(2024, 2), 29u);
    EXPECT_EQ(daysInMonth(1900, 2), 28u);
    EXPECT_EQ(daysInMonth(2000, 2), 29u);
}

TEST(Calendar, WireTimesCarryDayOfWeekAndRejectImpossibleDates) {
    const SystemTime st = toSystemTime(startOfDay({2024, 3, 2}) + 13 * 3600 + 14 * 60 + 15);
    EXPECT_EQ(st.year, 2024);
    EXPECT_EQ(st.month, 3);
    EXPECT_EQ(st.day, 2);
    EXPECT_EQ(st.dayOfWeek, 6) << "2 March 2024 was a Saturday";
    EXPECT_EQ(st.hour, 13);
    EXPECT_EQ(st.minute, 14);
    EXPECT_EQ(st.second, 15);
    EXPECT_EQ(fromSystemTime(st), startOfDay({2024, 3, 2}) + 13 * 3600 + 14 * 60 + 15);
    EXPECT_FALSE(fromSystemTime(wireTime(2023, 2, 29, 0, 0, 0)));
    EXPECT_FALSE(fromSystemTime(wireTime(2024, 0, 1, 0, 0, 0)));
    EXPECT_FALSE(fromSystemTime(wireTime(2024, 1, 1, 0, 60, 0)));
}

TEST(DemoArchive, SameSeedAndDateGiveTheSameArchive) {
    const DemoArchive a(5, {2026, 12, 5}), b(5, {2026, 12, 5}), c(6, {2026, 12, 5});
    ASSERT_EQ(a.recordingCount(), b.recordingCount());
    bool differs = a.recordingCount() != c.recordingCount();
    for (uint32_t s = 0; s < a.sources().size(); ++s) {
        ASSERT_EQ(a.recordings(s).size(), b.recordings(s).size());
        for (size_t i = 0; i < a.recordings(s).size(); ++i) {
            EXPECT_EQ(a.recordings(s)[i].fileName, b.recordings(s)[i].fileName);
            EXPECT_EQ(a.recordings(s)[i].stop, b.recordings(s)[i].stop);
            if (i < c.recordings(s).size() && a.recordings(s)[i].fileName != c.recordings(s)[i].fileName) differs = true;
        }
    }
    EXPECT_TRUE(differs) << "another seed gives another archive";
}

TEST(DemoArchive, EveryAnchorGetsRecentDaysAndTheEndOfThePreviousMonth) {
    for (CivilDate anchor : {CivilDate{2026, 12, 5}, CivilDate{2026, 12, 31}, CivilDate{2027, 1, 1}, CivilDate{2024, 3, 1}}) {
        const DemoArchive archive(1, anchor);
        EXPECT_LE(daysFromCivil(archive.firstDay()), daysFromCivil(anchor) - 5);
        EXPECT_EQ(archive.firstDay().month, anchor.month == 1 ? 12u : anchor.month - 1);
        const auto months = archive.months(0);
        EXPECT_GE(months.size(), 2u);
        const auto days = archive.days(0, anchor.year, anchor.month);
        ASSERT_FALSE(days.empty());
        EXPECT_EQ(days.back(), anchor.day) << "recordings reach the anchor day";
        // Nothing is recorded after the anchor day.
        const Seconds after = startOfDay(anchor) + kSecondsPerDay;
        for (uint32_t s = 0; s < archive.sources().size(); ++s)
            EXPECT_TRUE(archive.overlapping(s, after, after + 30 * kSecondsPerDay).empty());
    }
}

TEST(DemoArchive, FilesAreNamedLikeTheRecordersAndDoNotOverlap) {
    const DemoArchive archive(3, {2026, 12, 5});
    const std::string name = "D:\\Archive\\CAM##\\####\\##\\##\\######.avi";
    for (uint32_t s = 0; s < archive.sources().size(); ++s) {
        const auto& recs = archive.recordings(s);
        for (size_t i = 0; i < recs.size(); ++i) {
            ASSERT_TRUE(matchesPattern(recs[i].fileName, name)) << recs[i].fileName;
            EXPECT_EQ(recs[i].fileName, recordingFileName(archive.sources()[s].id, recs[i].start));
            EXPECT_EQ(archive.findFile(recs[i].fileName), &recs[i]);
            EXPECT_EQ(archive.findFileNumber(s, recs[i].fileNumber), &recs[i]);
            if (i > 0) {
                EXPECT_LE(recs[i - 1].stop, recs[i].start);
            }
        }
    }
    EXPECT_EQ(recordingFileName("CAM01", startOfDay({2026, 12, 5}) + 8 * 3600 + 30 * 60),
              "D:\\Archive\\CAM01\\2026\\12\\05\\083000.avi");
    EXPECT_EQ(archive.findFile("d:\\archive\\nothing.avi"), nullptr);
}

TEST(DemoArchive, ActivityFollowsTheMovingObjects) {
    const DemoArchive archive(2, {2026, 12, 5});
    const Recording& rec = archive.recordings(0).at(3);
    const auto objects = archive.motion(rec);
    ASSERT_FALSE(objects.empty());
    const auto levels = archive.activity(0, rec.start, static_cast<uint32_t>(rec.stop - rec.start));
    for (Seconds t = 0; t < rec.stop - rec.start; ++t) {
        bool moving = false;
        for (const MovingObject& o : objects) moving |= o.appear < double(t + 1) && o.vanish > double(t);
        ASSERT_EQ(levels[size_t(t)] > 0, moving) << "second " << t;
        ASSERT_EQ(levels[size_t(t)], archive.activityAt(0, rec.start + t));
    }
    // Between two files nothing is recorded.
    const auto& recs = archive.recordings(0);
    size_t gapAfter = 0;
    while (gapAfter + 1 < recs.size() && recs[gapAfter + 1].start == recs[gapAfter].stop) ++gapAfter;
    ASSERT_LT(gapAfter + 1, recs.size());
    EXPECT_EQ(archive.activityAt(0, recs[gapAfter].stop), kActivityNoRecording);
    EXPECT_NE(archive.activityAt(0, recs[gapAfter].stop - 1), kActivityNoRecording);
}

}  // namespace
}  // namespace corvanta::recorder::test
