// The day timeline's playback side against stand-in filters: which file a
// second plays, from which frame, what the recorder is asked, and what
// happens at the end of a file.

#include <gtest/gtest.h>

#include "playback/DayTimelinePlayback.h"
#include "playback/DayTimelineFakes.h"
#include "support/InstanceTest.h"

namespace corvanta {
namespace {

using test::Received;

constexpr uint32_t kNo = kNoFrameInSecond;

TEST(DayTimelinePlaybackRules, FirstFrameSkipsSecondsWithoutAFrame) {
    const std::vector<uint32_t> table{10, kNo, kNo, 85, kNo};
    for (auto [offset, frame] : {std::pair{0, 10u}, {1, 85u}, {3, 85u}, {4, 0u}, {5, 0u}, {-1, 0u}})
        EXPECT_EQ(frame, FirstFrameAt(table, offset)) << offset;
    EXPECT_EQ(0u, FirstFrameAt({}, 0));
}

TEST(DayTimelinePlaybackRules, SecondIndexAnswerIsReadWithinWhatArrived) {
    std::vector<uint8_t> record(64 + 36 + 12);
    auto* answer = reinterpret_cast<IcpRecord*>(record.data());
    const uint32_t frames[3] = {7, kNo, 9};
    std::memcpy(answer->data + 36, frames, sizeof frames);
    struct Case {
        uint32_t count, dataLength, copied;
        std::vector<uint32_t> expected;  // empty: no table
    };
    for (const Case& c : {Case{3, 48, 48, {7, kNo, 9}}, Case{1000, 48, 48, {7, kNo, 9}}, Case{3, 48, 44, {7, kNo}},
                          Case{0, 48, 48, {}}, Case{3, 30, 48, {}}, Case{3, 0, 48, {}}}) {
        std::memcpy(answer->data + 32, &c.count, 4);
        answer->dataLength = c.dataLength;
        const auto table = ReadSecondIndex(*answer, c.copied);
        EXPECT_EQ(c.expected, table.value_or(std::vector<uint32_t>{})) << c.count << " " << c.dataLength << " " << c.copied;
    }
}

TEST(DayTimelinePlaybackRules, SecondIndexWindowIsClippedToTheViewedDay) {
    SessionPayload s;
    s.sourceId = "CAM02";
    s.start = test::At(4, 80000);
    s.start.dayOfWeek = 5;
    s.start.milliseconds = 300;
    s.stop = test::At(6, 100);
    const TimeQuery q = SecondIndexQuery(s, ViewedDay{2026, 12, 5});
    EXPECT_EQ((std::vector<int>{2026, 12, 5, 0, 0, 0, 5, 300}),
              (std::vector<int>{q.from.year, q.from.month, q.from.day, q.from.hour, q.from.minute, q.from.second,
                                q.from.dayOfWeek, q.from.milliseconds}));
    EXPECT_EQ((std::vector<int>{5, 23, 59, 59}), (std::vector<int>{q.to.day, q.to.hour, q.to.minute, q.to.second}));
    EXPECT_STREQ("CAM02", q.sourceId);
}

class DayTimelinePlaybackTest : public test::InstanceTest {
protected:
    void SetUp() override {
        InstanceTest::SetUp();
        manager = std::make_unique<test::FakeManager>(std::vector<std::string>{"A", "B", "C"});
        archive = std::make_unique<test::FakeArchive>();
        player = std::make_unique<test::FakeFilter>(kHistoryPlayerName);
        // C began the day before; A and B follow each other; D is unknown to the manager.
        day = test::MakeDay(5, {{"C", 4, 82800, 5, 3600}, {"A", 5, 28800, 5, 32400}, {"B", 5, 32400, 5, 34200},
                                {"D", 5, 40000, 5, 41000}});
        playback.SetOwner(77);
        playback.SetDay(day->Handle(), ViewedDay{2026, 12, 5});
    }
    // The open command the player got last.
    PlayerOpenBlock Opened(const std::vector<Received>& got, uint32_t fileKey) {
        EXPECT_FALSE(got.empty());
        if (got.empty()) return {};
        EXPECT_EQ(uint32_t(kPlayerOpen), got.back().code);
        EXPECT_EQ(77u, got.back().param1);
        EXPECT_EQ(fileKey, got.back().param2);
        return got.back().As<PlayerOpenBlock>();
    }
    std::vector<uint32_t> Codes(const std::vector<Received>& got) {
        std::vector<uint32_t> codes;
        for (const Received& r : got) codes.push_back(r.code);
        return codes;
    }

    std::unique_ptr<test::FakeManager> manager;
    std::unique_ptr<test::FakeArchive> archive;
    std::unique_ptr<test::FakeFilter> player;
    std::unique_ptr<DayPayload> day;
    DayTimelinePlayback playback{kHistoryPlayerName};
};

TEST_F(DayTimelinePlaybackTest, ASecondPlaysItsFileFromItsFrameAndTheNextClickClosesIt) {
    std::vector<uint32_t> table(3601, 100);
    table[605] = kNo;  // 08:10:05 has no frame: 08:10:06 has
    table[606] = 15150;
    archive->SetTable(28800, table);
    playback.PlayAtSecond(28800 + 605);
    std::vector<Received> asked = archive->Take();
    ASSERT_EQ(1u, asked.size());
    const TimeQuery q = asked[0].As<TimeQuery>();
    EXPECT_EQ((std::vector<int>{8, 0, 9, 0}), (std::vector<int>{q.from.hour, q.from.minute, q.to.hour, q.to.minute}));
    EXPECT_EQ("A", manager->Take().at(0).Text());
    PlayerOpenBlock block = Opened(player->Take(), 1);
    EXPECT_EQ(15150u, block.firstFrame);
    EXPECT_EQ(640u, block.info.width);
    EXPECT_STREQ("A", block.fileName);
    EXPECT_EQ(640u, day->sessions.At(1)->session->fileDescription[5]);
    EXPECT_EQ("A", playback.CurrentFile());

    // Half past midnight is in C, counted from 00:00:00; its table is asked
    // from the viewed day's start.
    archive->SetTable(0, std::vector<uint32_t>(3601, 4));
    playback.PlayAtSecond(1800);
    const std::vector<Received> managed = manager->Take();
    ASSERT_EQ(2u, managed.size());
    EXPECT_EQ(uint32_t(kPlaybackCloseFile), managed[0].code);
    EXPECT_EQ("A", managed[0].Text());
    EXPECT_EQ("C", managed[1].Text());
    const std::vector<Received> played = player->Take();
    EXPECT_EQ(uint32_t(kPlayerClose), played.at(0).code);
    EXPECT_EQ(4u, Opened(played, 0).firstFrame);

    // Seconds without a file, and a file the manager does not open, open
    // nothing; only C is closed.
    for (auto [second, codes] : {std::pair{12 * 3600, std::vector<uint32_t>{kPlayerClose}}, {40500, {}}}) {
        playback.PlayAtSecond(second);
        EXPECT_EQ(codes, Codes(player->Take())) << second;
        EXPECT_EQ("", playback.CurrentFile());
    }
    EXPECT_EQ((std::vector<uint32_t>{kPlaybackCloseFile, kPlaybackOpenFile}), Codes(manager->Take()));
}

TEST_F(DayTimelinePlaybackTest, AFailedFrameTableStartsAtFrameZeroAndIsAskedAgain) {
    archive->SetFailing(true);
    playback.PlayAtSecond(28800 + 10);
    EXPECT_EQ(0u, Opened(player->Take(), 1).firstFrame);
    EXPECT_TRUE(day->sessions.At(1)->session->secondTable.empty());
    archive->SetFailing(false);
    archive->SetTable(28800, std::vector<uint32_t>(3601, 250));
    playback.PlayAtSecond(28800 + 10);
    EXPECT_EQ(250u, Opened(player->Take(), 1).firstFrame);
    // Kept from now on.
    playback.PlayAtSecond(28800 + 20);
    EXPECT_EQ(2u, archive->Take().size());
}

TEST_F(DayTimelinePlaybackTest, TheEndOfAFileHandsOverToTheNextOrTellsThePlayerNothingFollows) {
    archive->SetTable(32400, std::vector<uint32_t>(1801, 3));
    playback.PlayAtSecond(30000);
    manager->Take();
    playback.OnStepNextAvi(1);  // A ended: B plays from its start, A is let go
    EXPECT_EQ(3u, Opened(player->Take(), 2).firstFrame);
    const std::vector<Received> managed = manager->Take();
    ASSERT_EQ(2u, managed.size());
    EXPECT_EQ("B", managed[0].Text());
    EXPECT_EQ(uint32_t(kPlaybackCloseFile), managed[1].code);
    EXPECT_EQ("A", managed[1].Text());

    playback.OnStepNextAvi(3);  // the day's last file
    EXPECT_EQ(std::vector<uint32_t>{kPlayerEndHandled}, Codes(player->Take()));

    // A day that is gone plays nothing and ends every file.
    day.reset();
    playback.PlayAtSecond(30000);
    playback.OnStepNextAvi(0);
    EXPECT_EQ((std::vector<uint32_t>{kPlayerClose, kPlayerEndHandled}), Codes(player->Take()));
    EXPECT_EQ(std::vector<uint32_t>{kPlaybackCloseFile}, Codes(manager->Take()));
}

TEST_F(DayTimelinePlaybackTest, AnotherDayAndDestructionCloseTheOpenFile) {
    playback.PlayAtSecond(30000);
    manager->Take();
    player->Take();
    playback.SetDay(day->Handle(), ViewedDay{2026, 12, 5});  // the same day keeps it
    EXPECT_EQ("A", playback.CurrentFile());
    auto other = test::MakeDay(6, {});
    playback.SetDay(other->Handle(), ViewedDay{2026, 12, 6});
    EXPECT_EQ(std::vector<uint32_t>{kPlaybackCloseFile}, Codes(manager->Take()));
    EXPECT_EQ(std::vector<uint32_t>{kPlayerClose}, Codes(player->Take()));
    {
        DayTimelinePlayback second(kHistoryPlayerName);
        second.SetDay(day->Handle(), ViewedDay{2026, 12, 5});
        second.PlayAtSecond(33000);
        manager->Take();
    }
    const std::vector<Received> closed = manager->Take();
    ASSERT_EQ(1u, closed.size());
    EXPECT_EQ(uint32_t(kPlaybackCloseFile), closed[0].code);
    EXPECT_EQ("B", closed[0].Text());
}

}  // namespace
}  // namespace corvanta
