#include <map>

#include "RecorderTestSupport.h"

namespace corvanta::recorder::test {
namespace {

class ArchiveWalkTest : public RecorderFixture {
protected:
    Decoded query(uint32_t code, const Bytes& data, uint32_t p1 = 0, uint32_t p2 = 0) const {
        return ask(kArchiveQueryFilterName, sid_, code, p1, p2, data);
    }
    std::vector<SourceEntry> sources() const { return query(kArchiveListSources, {}).entries<SourceEntry>(); }
    std::vector<MonthEntry> months(const char* source) const { return query(kArchiveListMonths, textData(source)).entries<MonthEntry>(); }
    std::string days(const char* source, unsigned year, unsigned month) const {
        const Decoded d = query(kArchiveListDays, textData(source), year, month);
        EXPECT_EQ(d.data.size(), d.header.param1);
        return d.data;
    }
    std::vector<SessionEntry> search(const Bytes& q) const { return query(kArchiveSearch, q).entries<SessionEntry>(); }
};

TEST_F(ArchiveWalkTest, WalkOfTheTreeAgreesWithSearchAndFileSelection) {
    // A session that runs past midnight is listed under both days and kept once.
    std::map<std::string, std::map<uint32_t, SessionEntry>> all;
    const auto list = sources();
    for (const SourceEntry& s : list) {
        ASSERT_TRUE(std::memchr(s.sourceId, 0, sizeof s.sourceId) && std::memchr(s.displayName, 0, sizeof s.displayName));
        auto& mine = all[s.sourceId];
        const auto ms = months(s.sourceId);
        for (const MonthEntry& m : ms) {
            const std::string ds = days(s.sourceId, m.year, m.month);
            EXPECT_TRUE(!ds.empty() && std::is_sorted(ds.begin(), ds.end())) << "a listed month has days, in order";
            for (uint8_t day : ds) {
                const Seconds dayStart = *fromSystemTime(wireTime(m.year, m.month, day));
                const auto sessions = sessionsOn(s.sourceId, day, m.month);
                EXPECT_FALSE(sessions.empty()) << "a listed day has sessions";
                for (const SessionEntry& e : sessions) {
                    EXPECT_LT(*fromSystemTime(e.start), dayStart + kSecondsPerDay) << e.fileName;
                    EXPECT_GT(*fromSystemTime(e.stop), dayStart) << e.fileName;
                    mine.emplace(e.fileNumber, e);
                }
            }
        }
    }
    EXPECT_EQ(all.size(), list.size()) << "source ids are distinct";

    const SystemTime first = toSystemTime(startOfDay(kAnchor) - 40 * kSecondsPerDay);
    const SystemTime last = toSystemTime(startOfDay(kAnchor) + kSecondsPerDay - 1);
    for (const auto& [source, sessions] : all) {
        std::map<uint32_t, SessionEntry> found;
        for (const SessionEntry& e : search(timeQuery(first, last, source))) found.emplace(e.fileNumber, e);
        ASSERT_EQ(found.size(), sessions.size()) << source;
        Seconds previousStop = 0;
        for (const auto& [number, e] : sessions) {
            ASSERT_TRUE(found.count(number)) << e.fileName;
            EXPECT_EQ(std::memcmp(&found[number], &e, sizeof e), 0) << e.fileName;
            const Seconds start = *fromSystemTime(e.start), stop = *fromSystemTime(e.stop);
            EXPECT_TRUE(previousStop <= start && start < stop) << "recordings of a source do not overlap: " << e.fileName;
            previousStop = stop;
            char name[128];  // the recorder names a file after its source and first second
            std::snprintf(name, sizeof name, "D:\\Archive\\%s\\%04u\\%02u\\%02u\\%02u%02u%02u.avi", source.c_str(), e.start.year,
                          e.start.month, e.start.day, e.start.hour, e.start.minute, e.start.second);
            EXPECT_STREQ(e.fileName, name);
        }
        // Selecting a file by its number is answered for the source that owns it only.
        for (const auto& [other, unused] : all) {
            if (sessions.empty()) continue;
            const bool ownsIt = other == source;
            EXPECT_NE(refused(kArchiveQueryFilterName, kArchiveSelectFile, sessions.begin()->first, 0, textData(other)), ownsIt);
        }
    }
}

TEST(DemoArchive, IsDeterministicAndEveryAnchorGetsRecentDaysAndThePreviousMonth) {
    for (CivilDate anchor : {CivilDate{2026, 12, 31}, CivilDate{2027, 1, 1}, CivilDate{2024, 3, 1}}) {
        const DemoArchive archive(1, anchor), again(1, anchor);
        EXPECT_EQ(archive.recordings(0).back().fileName, again.recordings(0).back().fileName);
        EXPECT_LE(daysFromCivil(archive.firstDay()), daysFromCivil(anchor) - 5);
        EXPECT_EQ(archive.firstDay().month, anchor.month == 1 ? 12u : anchor.month - 1);
        const auto days = archive.days(0, anchor.year, anchor.month);
        ASSERT_FALSE(days.empty());
        EXPECT_EQ(days.back(), anchor.day) << "recordings reach the anchor day";
        const Seconds after = startOfDay(anchor) + kSecondsPerDay;
        for (uint32_t s = 0; s < archive.sources().size(); ++s)
            EXPECT_TRUE(archive.overlapping(s, after, after + 30 * kSecondsPerDay).empty()) << "nothing after the anchor day";
    }
}

}  // namespace
}  // namespace corvanta::recorder::test
