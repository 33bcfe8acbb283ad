// The archive as the viewer walks it: sources, months, days and sessions,
// and that every other view of the archive (search, activity, frame tables,
// the playback manager's file description) tells the same story.

#include <map>
#include <set>

#include "RecorderTestSupport.h"

namespace corvanta::recorder::test {
namespace {

struct WalkedSession {
    std::string source;
    SessionEntry entry;
};

class ArchiveWalkTest : public RecorderFixture {
protected:
    void SetUp() override {
        RecorderFixture::SetUp();
        sid_ = logIn();
        ASSERT_FALSE(sid_.empty());
    }

    std::vector<SourceEntry> sources() {
        const Decoded d = ask(kArchiveQueryFilterName, sid_, kArchiveListSources);
        EXPECT_EQ(d.data.size(), d.header.param1 * sizeof(SourceEntry));
        std::vector<SourceEntry> out;
        for (uint32_t i = 0; i < d.header.param1; ++i) out.push_back(d.entry<SourceEntry>(i));
        return out;
    }

    std::vector<MonthEntry> months(const std::string& source) {
        const Decoded d = ask(kArchiveQueryFilterName, sid_, kArchiveListMonths, 0, 0, textData(source));
        EXPECT_EQ(d.data.size(), d.header.param1 * sizeof(MonthEntry));
        std::vector<MonthEntry> out;
        for (uint32_t i = 0; i < d.header.param1; ++i) out.push_back(d.entry<MonthEntry>(i));
        return out;
    }

    std::vector<uint8_t> days(const std::string& source, unsigned year, unsigned month) {
        const Decoded d = ask(kArchiveQueryFilterName, sid_, kArchiveListDays, year, month, textData(source));
        EXPECT_EQ(d.data.size(), d.header.param1);
        return {d.data.begin(), d.data.end()};
    }

    std::vector<SessionEntry> sessionsOfDay(const std::string& source, unsigned year, unsigned month, unsigned day) {
        const Decoded d = ask(kArchiveQueryFilterName, sid_, kArchiveListSessions, (year << 16) | month, day, textData(source));
        EXPECT_EQ(d.data.size(), d.header.param1 * sizeof(SessionEntry));
        std::vector<SessionEntry> out;
        for (uint32_t i = 0; i < d.header.param1; ++i) out.push_back(d.entry<SessionEntry>(i));
        return out;
    }

    std::vector<SessionEntry> search(const TimeQuery& q) {
        const Decoded d = ask(kArchiveQueryFilterName, sid_, kArchiveSearch, 0, 0, bytesOf(q));
        EXPECT_EQ(d.data.size(), d.header.param1 * sizeof(SessionEntry));
        std::vector<SessionEntry> out;
        for (uint32_t i = 0; i < d.header.param1; ++i) out.push_back(d.entry<SessionEntry>(i));
        return out;
    }

    // A per-second answer (activity or frame table): header and values.
    std::pair<DayWindowHeader, std::string> perSecond(uint32_t code, const TimeQuery& q) {
        const Decoded d = ask(kArchiveQueryFilterName, sid_, code, 0, 0, bytesOf(q));
        DayWindowHeader head = d.entry<DayWindowHeader>(0);
        return {head, d.data.size() >= sizeof head ? d.data.substr(sizeof head) : std::string()};
    }

    FileDescription open(const std::string& fileName) {
        const Decoded d = ask(kPlaybackManagerFilterName, sid_, kPlaybackOpenFile, 0, 0, textData(fileName));
        EXPECT_EQ(d.data.size(), sizeof(FileDescription));
        return d.entry<FileDescription>(0);
    }

    // Every session of every source, found by walking the tree; sessions that
    // run past midnight are listed under both days and kept once.
    std::map<std::string, std::map<uint32_t, SessionEntry>> walk() {
        std::map<std::string, std::map<uint32_t, SessionEntry>> all;
        for (const SourceEntry& s : sources()) {
            auto& mine = all[s.sourceId];
            for (const MonthEntry& m : months(s.sourceId)) {
                const auto ds = days(s.sourceId, m.year, m.month);
                EXPECT_FALSE(ds.empty()) << "a listed month has days";
                for (uint8_t day : ds) {
                    const auto list = sessionsOfDay(s.sourceId, m.year, m.month, day);
                    EXPECT_FALSE(list.empty()) << "a listed day has sessions";
                    for (const SessionEntry& e : list) {
                        // Each session touches the day it is listed under.
                        const auto dayStart = *fromSystemTime(wireTime(m.year, m.month, day, 0, 0, 0));
                        EXPECT_LT(*fromSystemTime(e.start), dayStart + kSecondsPerDay);
                        EXPECT_GT(*fromSystemTime(e.stop), dayStart);
                        mine.emplace(e.fileNumber, e);
                    }
                }
            }
        }
        return all;
    }

    std::string sid_;
};

TEST_F(ArchiveWalkTest, SourcesHaveDistinctIdsAndNames) {
    const auto list = sources();
    ASSERT_GE(list.size(), 3u);
    std::set<std::string> ids;
    for (const SourceEntry& s : list) {
        ASSERT_NE(std::memchr(s.sourceId, 0, sizeof s.sourceId), nullptr);
        ASSERT_NE(std::memchr(s.displayName, 0, sizeof s.displayName), nullptr);
        EXPECT_GT(std::strlen(s.displayName), 0u);
        ids.insert(s.sourceId);
    }
    EXPECT_EQ(ids.size(), list.size());
}

TEST_F(ArchiveWalkTest, ArchiveSpansAMonthBoundaryAndRecentDays) {
    bool crossesMonth = false;
    bool reachesAnchor = false;
    size_t sourcesWithout = 0;
    for (const SourceEntry& s : sources()) {
        const auto ms = months(s.sourceId);
        if (ms.empty()) ++sourcesWithout;
        if (ms.size() >= 2) crossesMonth = true;
        for (const MonthEntry& m : ms) {
            const auto ds = days(s.sourceId, m.year, m.month);
            EXPECT_TRUE(std::is_sorted(ds.begin(), ds.end()));
            if (m.year == kAnchor.year && m.month == kAnchor.month &&
                std::find(ds.begin(), ds.end(), kAnchor.day) != ds.end())
                reachesAnchor = true;
        }
    }
    EXPECT_TRUE(crossesMonth);
    EXPECT_TRUE(reachesAnchor) << "the last day of the archive is the anchor date";
    EXPECT_EQ(sourcesWithout, 1u) << "one input never recorded: its branch is empty";
}

TEST_F(ArchiveWalkTest, WalkAgreesWithSearchAndFileSelection) {
    const auto all = walk();
    size_t total = 0, crossing = 0;
    for (const auto& [source, sessions] : all) {
        total += sessions.size();
        // One search over the whole archive finds exactly the walked sessions.
        const SystemTime first = toSystemTime(startOfDay(civilFromDays(daysFromCivil(kAnchor) - 40)));
        const SystemTime last = wireTime(kAnchor.year, kAnchor.month, kAnchor.day, 23, 59, 59);
        std::map<uint32_t, SessionEntry> found;
        for (const SessionEntry& e : search(timeQuery(first, last, source))) found.emplace(e.fileNumber, e);
        ASSERT_EQ(found.size(), sessions.size()) << source;
        for (const auto& [number, e] : sessions) {
            ASSERT_TRUE(found.count(number)) << e.fileName;
            EXPECT_STREQ(found[number].fileName, e.fileName);
            EXPECT_EQ(std::memcmp(&found[number].start, &e.start, sizeof e.start), 0);
            EXPECT_EQ(std::memcmp(&found[number].stop, &e.stop, sizeof e.stop), 0);
            EXPECT_LT(*fromSystemTime(e.start), *fromSystemTime(e.stop));
            if (e.start.day != e.stop.day && (e.stop.hour || e.stop.minute || e.stop.second)) ++crossing;
        }
        // Selecting a file by its number is answered for the source that owns it only.
        if (!sessions.empty()) {
            const uint32_t number = sessions.begin()->first;
            EXPECT_FALSE(send(kArchiveQueryFilterName, sid_, kArchiveSelectFile, number, 0, textData(source)).body.empty());
            for (const auto& [other, unused] : all) {
                if (other != source) {
                    EXPECT_TRUE(send(kArchiveQueryFilterName, sid_, kArchiveSelectFile, number, 0, textData(other)).body.empty());
                }
            }
        }
    }
    EXPECT_GT(total, 50u);
    EXPECT_GE(crossing, 1u) << "at least one recording runs past midnight";
}

TEST_F(ArchiveWalkTest, SearchOfADayMatchesTheDaysSessionsAndIntervalsBetween) {
    const auto list = sessionsOfDay("CAM01", kAnchor.year, kAnchor.month, 1);
    ASSERT_GE(list.size(), 3u);
    const auto day = search(timeQuery(wireTime(kAnchor.year, kAnchor.month, 1, 0, 0, 0),
                                      wireTime(kAnchor.year, kAnchor.month, 1, 23, 59, 59), "CAM01"));
    ASSERT_EQ(day.size(), list.size());
    for (size_t i = 0; i < list.size(); ++i) EXPECT_EQ(day[i].fileNumber, list[i].fileNumber);
    // A window that lies in the gap between two files finds nothing; gaps are real.
    bool sawGap = false;
    for (size_t i = 0; i + 1 < list.size() && !sawGap; ++i) {
        const Seconds gapFrom = *fromSystemTime(list[i].stop), gapTo = *fromSystemTime(list[i + 1].start) - 1;
        if (gapTo >= gapFrom) {
            sawGap = true;
            EXPECT_TRUE(search(timeQuery(toSystemTime(gapFrom), toSystemTime(gapTo), "CAM01")).empty());
        }
    }
    EXPECT_TRUE(sawGap);
    // An interval ending before it starts is answered, with nothing in it.
    const Decoded reversed = ask(kArchiveQueryFilterName, sid_, kArchiveSearch, 0, 0,
                                 bytesOf(timeQuery(wireTime(2024, 3, 1, 12, 0, 0), wireTime(2024, 3, 1, 11, 0, 0), "CAM01")));
    EXPECT_EQ(reversed.header.param1, 0u);
}

TEST_F(ArchiveWalkTest, ActivityMapMarksExactlyTheRecordedSeconds) {
    for (const char* source : {"CAM01", "CAM04"}) {
        for (unsigned day : {1u, 2u}) {
            const auto [head, levels] = perSecond(kArchiveDayActivity,
                                                  timeQuery(wireTime(kAnchor.year, kAnchor.month, day, 0, 0, 0),
                                                            wireTime(kAnchor.year, kAnchor.month, day, 23, 59, 59), source));
            ASSERT_EQ(head.count, kActivitySecondsPerDay);
            ASSERT_EQ(levels.size(), kActivitySecondsPerDay);
            std::vector<bool> recorded(kActivitySecondsPerDay, false);
            const Seconds dayStart = startOfDay(CivilDate{kAnchor.year, kAnchor.month, day});
            for (const SessionEntry& e : sessionsOfDay(source, kAnchor.year, kAnchor.month, day)) {
                const Seconds a = std::max(*fromSystemTime(e.start), dayStart);
                const Seconds b = std::min(*fromSystemTime(e.stop), dayStart + kSecondsPerDay);
                for (Seconds t = a; t < b; ++t) recorded[static_cast<size_t>(t - dayStart)] = true;
            }
            size_t quiet = 0, busy = 0;
            for (size_t s = 0; s < levels.size(); ++s) {
                const auto v = static_cast<uint8_t>(levels[s]);
                if (!recorded[s]) {
                    ASSERT_EQ(v, kActivityNoRecording) << source << " second " << s;
                } else {
                    ASSERT_LE(v, kActivityMax) << source << " second " << s;
                    (v == 0 ? quiet : busy)++;
                }
            }
            EXPECT_GT(quiet, 0u) << source << ": some recorded seconds have no motion";
            EXPECT_GT(busy, 0u) << source << ": some recorded seconds have motion";
        }
    }
}

TEST_F(ArchiveWalkTest, FrameTablesPointIntoTheFileAndAgreeWithActivity) {
    size_t secondsWithoutFrame = 0;
    for (const char* source : {"CAM01", "CAM04"}) {
        const unsigned day = 1;
        const auto [ahead, levels] = perSecond(kArchiveDayActivity,
                                               timeQuery(wireTime(kAnchor.year, kAnchor.month, day, 0, 0, 0),
                                                         wireTime(kAnchor.year, kAnchor.month, day, 23, 59, 59), source));
        ASSERT_EQ(levels.size(), kActivitySecondsPerDay);
        const Seconds dayStart = startOfDay(CivilDate{kAnchor.year, kAnchor.month, day});
        for (const SessionEntry& e : sessionsOfDay(source, kAnchor.year, kAnchor.month, day)) {
            const FileDescription fd = open(e.fileName);
            ASSERT_GT(fd.frameCount, 0u);
            EXPECT_EQ(fd.info.length, fd.frameCount);
            // The viewer clips the window to the viewed day, both ends inclusive.
            const Seconds from = std::max(*fromSystemTime(e.start), dayStart);
            const Seconds to = std::min(*fromSystemTime(e.stop) - 1, dayStart + kSecondsPerDay - 1);
            const auto [head, raw] = perSecond(kArchiveSecondIndex, timeQuery(toSystemTime(from), toSystemTime(to), source));
            ASSERT_EQ(head.count, static_cast<uint32_t>(to - from + 1));
            ASSERT_EQ(raw.size(), head.count * sizeof(uint32_t));
            uint32_t previous = 0;
            bool any = false;
            for (uint32_t i = 0; i < head.count; ++i) {
                uint32_t frame;
                std::memcpy(&frame, raw.data() + i * 4, 4);
                if (frame == kNoFrameInSecond) {
                    ++secondsWithoutFrame;
                    continue;
                }
                ASSERT_LT(frame, fd.frameCount) << e.fileName;
                if (any) {
                    ASSERT_GT(frame, previous) << "frame numbers grow with time";
                }
                // The frame shown in a second starts in that second.
                const uint64_t ms = uint64_t{frame} * fd.info.scale * 1000 / fd.info.rate;
                const Seconds offset = from - *fromSystemTime(e.start) + i;
                ASSERT_GE(ms, uint64_t(offset) * 1000);
                ASSERT_LT(ms, uint64_t(offset + 1) * 1000);
                ASSERT_NE(static_cast<uint8_t>(levels[static_cast<size_t>(from - dayStart + i)]), kActivityNoRecording);
                previous = frame;
                any = true;
            }
            EXPECT_TRUE(any);
            if (*fromSystemTime(e.start) >= dayStart) {
                uint32_t first;
                std::memcpy(&first, raw.data(), 4);
                EXPECT_EQ(first, 0u) << "a file starts with its first frame";
            }
            ask(kPlaybackManagerFilterName, sid_, kPlaybackCloseFile, 0, 0, textData(e.fileName));
        }
    }
    EXPECT_GT(secondsWithoutFrame, 0u) << "a source slower than one frame per second leaves seconds without a frame";
}

TEST_F(ArchiveWalkTest, SourcesOfferTheRequiredFrameSizesAndSeveralRates) {
    std::set<std::pair<uint32_t, uint32_t>> sizes;
    std::set<double> rates;
    for (const SourceEntry& s : sources()) {
        const auto ms = months(s.sourceId);
        if (ms.empty()) continue;
        const auto ds = days(s.sourceId, ms.back().year, ms.back().month);
        ASSERT_FALSE(ds.empty());
        const auto list = sessionsOfDay(s.sourceId, ms.back().year, ms.back().month, ds.back());
        ASSERT_FALSE(list.empty());
        const FileDescription fd = open(list.front().fileName);
        sizes.emplace(fd.info.width, fd.info.height);
        ASSERT_GT(fd.info.scale, 0u);
        rates.insert(double(fd.info.rate) / fd.info.scale);
        // Frames decode into the viewer's stream region (1600 x 1200 at most).
        EXPECT_LE(uint64_t{fd.info.width} * fd.info.height * 3, 5760000u);
    }
    EXPECT_TRUE(sizes.count({352, 288}));
    EXPECT_TRUE(sizes.count({704, 576}));
    EXPECT_TRUE(sizes.count({1600, 1200}));
    EXPECT_GE(rates.size(), 3u);
}

}  // namespace
}  // namespace corvanta::recorder::test
