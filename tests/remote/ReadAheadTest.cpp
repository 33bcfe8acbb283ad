// The read-ahead's prediction and bounds, without HTTP: what it asks for,
// what it keeps and hands over, and what cancels it.

#include <gtest/gtest.h>


#include "remote/ReadAhead.h"

namespace corvanta {
namespace {

using Kind = CReadAhead::Lookup::Kind;

std::vector<uint8_t> BodyOf(uint32_t frame, size_t size = 100) {
    std::vector<uint8_t> body(size, static_cast<uint8_t>(frame));
    return body;
}

std::vector<uint32_t> Frames(uint32_t first, uint32_t count, int32_t step = 1) {
    std::vector<uint32_t> frames;
    for (uint32_t i = 0; i < count; ++i) frames.push_back(first + step * int32_t(i));
    return frames;
}

// Playing forward from 10: two frames set the step; then the next frames are
// asked ahead, in order, as many as may be in flight: all of `limits`' once
// the player has been kept waiting often enough.
CReadAhead Playing(uint32_t from = 10, int32_t step = 1, CReadAhead::Limits limits = {}) {
    CReadAhead ahead(limits);
    EXPECT_EQ(Kind::Fetch, ahead.Ask(from).kind);
    EXPECT_TRUE(ahead.ToRequest().empty()) << "one frame gives no direction";
    EXPECT_EQ(Kind::Fetch, ahead.Ask(from + step).kind);
    while (ahead.InFlightLimit() < limits.inFlight) ahead.Behind();
    return ahead;
}

TEST(ReadAhead, PredictsFromTheLastTwoFramesAndHandsOverWhatArrivedInAnyOrder) {
    CReadAhead ahead = Playing();
    EXPECT_EQ(Frames(12, 6), ahead.ToRequest());
    EXPECT_TRUE(ahead.ToRequest().empty()) << "six in flight at most";
    // Answers arrive out of order; each is handed over for its own frame only.
    EXPECT_TRUE(ahead.Arrived(14, BodyOf(14)));
    EXPECT_TRUE(ahead.Arrived(12, BodyOf(12)));
    EXPECT_EQ(std::tuple(2u, 4u, 200u), std::tuple(ahead.KeptCount(), ahead.InFlightCount(), uint32_t(ahead.KeptBytes())));
    CReadAhead::Lookup got = ahead.Ask(12);
    EXPECT_EQ(Kind::Kept, got.kind);
    EXPECT_EQ(BodyOf(12), got.body);
    EXPECT_EQ(Kind::InFlight, ahead.Ask(13).kind) << "asked for while on its way: waited for";
    EXPECT_TRUE(ahead.Arrived(13, BodyOf(13)));
    got = ahead.Ask(13);  // the same frame again once it arrived
    EXPECT_EQ(std::tuple(Kind::Kept, BodyOf(13)), std::tuple(got.kind, got.body));
    EXPECT_EQ(Frames(18, 3), ahead.ToRequest()) << "what was handed over makes room";
    EXPECT_EQ(Kind::Kept, ahead.Ask(14).kind);
    EXPECT_EQ(Kind::Fetch, ahead.Ask(14).kind) << "handed over once; asked again it is fetched";
    const CReadAhead::Lookup next = ahead.Ask(15);
    EXPECT_EQ(std::tuple(Kind::InFlight, size_t{0}), std::tuple(next.kind, next.cancelled.size()))
        << "and the prediction goes on";

    // Backwards at step 3 (a fast reverse), down to frame 0 and no further.
    CReadAhead back = Playing(12, -3);
    EXPECT_EQ((std::vector<uint32_t>{6, 3, 0}), back.ToRequest());
}

TEST(ReadAhead, ASeekAStepAgainstTheDirectionOrAnotherStepCancelsAndDropsEverything) {
    struct Case {
        const char* what;
        uint32_t asked;
        std::vector<uint32_t> thenRequested;
    } cases[] = {
        {"a seek far away", 5000, {}},
        {"a step back", 10, Frames(9, 6, -1)},
        {"a faster speed", 13, Frames(15, 6, 2)},
        {"a seek just ahead", 16, Frames(21, 6, 5)},
    };
    for (const Case& c : cases) {
        CReadAhead ahead = Playing();
        ASSERT_EQ(Frames(12, 6), ahead.ToRequest());
        ASSERT_TRUE(ahead.Arrived(12, BodyOf(12)) && ahead.Arrived(13, BodyOf(13)));
        const CReadAhead::Lookup lookup = ahead.Ask(c.asked);
        EXPECT_EQ(Kind::Fetch, lookup.kind) << c.what;
        EXPECT_EQ(Frames(14, 4), lookup.cancelled) << c.what << ": the requests in flight";
        EXPECT_EQ(std::tuple(0u, 0u, 0u), std::tuple(ahead.KeptCount(), ahead.InFlightCount(), uint32_t(ahead.KeptBytes())))
            << c.what;
        EXPECT_FALSE(ahead.Arrived(14, BodyOf(14))) << c.what << ": a cancelled answer that comes anyway is not kept";
        EXPECT_EQ(Kind::Fetch, ahead.Ask(c.asked).kind) << c.what;
        EXPECT_EQ(c.thenRequested, ahead.ToRequest()) << c.what << ": predicted from the last two frames";
    }
}

TEST(ReadAhead, KeepsNoMoreFramesOrBytesThanItsBoundWhateverArrives) {
    CReadAhead ahead = Playing(10, 1, {.frames = 16, .bytes = 16u << 20, .inFlight = 6});
    // Small answers: sixteen frames kept or in flight, never more.
    for (int round = 0; round < 4; ++round)
        for (uint32_t frame : ahead.ToRequest()) ASSERT_TRUE(ahead.Arrived(frame, BodyOf(frame)));
    EXPECT_EQ(16u, ahead.KeptCount());
    EXPECT_TRUE(ahead.ToRequest().empty());

    // 5 MB answers count as 5 MB each: three fit in 16 MiB, the fourth is not kept.
    CReadAhead large = Playing();
    const std::vector<uint32_t> asked = large.ToRequest();
    ASSERT_EQ(6u, asked.size());
    for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(large.Arrived(asked[i], BodyOf(asked[i], 5'000'000)));
    EXPECT_FALSE(large.Arrived(asked[3], BodyOf(asked[3], 5'000'000)));
    EXPECT_EQ(std::tuple(3u, uint64_t{15'000'000}), std::tuple(large.KeptCount(), large.KeptBytes()));
    EXPECT_LE(large.KeptBytes(), uint64_t{16} << 20);
    EXPECT_TRUE(large.ToRequest().empty()) << "nothing from the frame that did not fit on is asked ahead";
    for (uint32_t frame : {12u, 13u, 14u}) EXPECT_EQ(Kind::Kept, large.Ask(frame).kind);
    EXPECT_EQ(Kind::Fetch, large.Ask(15).kind);
    EXPECT_EQ(std::vector<uint32_t>{18}, large.ToRequest())
        << "room for three answers of the largest size yet: two on their way and one more";
}

TEST(ReadAhead, AFailedRequestIsForgottenAndAskedByThePlayerWhenItGetsThere) {
    CReadAhead ahead = Playing();
    ASSERT_EQ(Frames(12, 6), ahead.ToRequest());
    ahead.Failed(14, false);  // refused, or garbage
    EXPECT_TRUE(ahead.Arrived(12, BodyOf(12)));
    EXPECT_TRUE(ahead.ToRequest().empty()) << "not asked again ahead, nor what lies behind it";
    EXPECT_EQ(Kind::Kept, ahead.Ask(12).kind);
    EXPECT_EQ(Kind::InFlight, ahead.Ask(13).kind);
    const CReadAhead::Lookup failed = ahead.Ask(14);
    EXPECT_EQ(std::tuple(Kind::Fetch, size_t{0}), std::tuple(failed.kind, failed.cancelled.size()))
        << "fetched by the player, the prediction going on";
    EXPECT_EQ(Frames(18, 2), ahead.ToRequest()) << "past it, read ahead again";
    EXPECT_EQ(6u, ahead.InFlightLimit()) << "an answer that is no frame is not the link's fault";

    // Nothing answered at all (a connection refused or closed).
    ahead.Failed(15, true);
    EXPECT_EQ(Kind::Fetch, ahead.Ask(15).kind);
    EXPECT_EQ(5u, ahead.InFlightLimit()) << "nothing answered: one connection fewer";
}

TEST(ReadAhead, StartsWithTwoInFlightTakesMoreWhileThePlayerWaitsAndFewerWhileNothingAnswers) {
    CReadAhead fresh;
    fresh.Ask(10);
    fresh.Ask(11);
    EXPECT_EQ(Frames(12, 2), fresh.ToRequest()) << "enough on a fast link";
    EXPECT_EQ(Kind::InFlight, fresh.Ask(12).kind);
    fresh.Behind();
    EXPECT_EQ(Frames(14, 1), fresh.ToRequest());
    for (int i = 0; i < 10; ++i) fresh.Behind();
    EXPECT_EQ(6u, fresh.InFlightLimit()) << "up to the bound";

    CReadAhead ahead = Playing();
    uint32_t next = 12;
    for (int i = 0; i < 10; ++i) {
        ahead.ToRequest();
        ASSERT_EQ(Kind::InFlight, ahead.Ask(next).kind) << next;
        ahead.GaveUp(next);
        EXPECT_EQ(Kind::Fetch, ahead.Ask(next).kind);
        ++next;
    }
    EXPECT_EQ(1u, ahead.InFlightLimit());
    std::vector<uint32_t> asked = ahead.ToRequest();
    EXPECT_EQ(std::tuple(size_t{1}, 1u), std::tuple(asked.size(), ahead.InFlightCount()));
    // A recorder that answers again gets one request at a time from then on.
    EXPECT_TRUE(ahead.Arrived(asked.at(0), BodyOf(asked[0])));
    EXPECT_EQ(Kind::Kept, ahead.Ask(next).kind);
    EXPECT_EQ(Frames(next + 1, 1), ahead.ToRequest());
    EXPECT_EQ(Kind::InFlight, ahead.Ask(next + 1).kind);
    ahead.Behind();
    EXPECT_TRUE(ahead.ToRequest().empty());
    EXPECT_EQ(1u, ahead.InFlightCount());
}

// A wait given up at four in flight: the recorder serves no more than three
// connections besides, and no wait of the player takes it past that again.
TEST(ReadAhead, AWaitGivenUpLowersTheMostInFlightForGood) {
    CReadAhead ahead;
    ahead.Ask(10);
    ahead.Ask(11);
    ahead.Behind();
    ahead.Behind();
    ASSERT_EQ(4u, ahead.InFlightLimit());
    const std::vector<uint32_t> asked = ahead.ToRequest();
    ASSERT_EQ(Kind::InFlight, ahead.Ask(12).kind);
    ahead.GaveUp(12);
    EXPECT_EQ(3u, ahead.MostInFlight());
    for (int i = 0; i < 10; ++i) ahead.Behind();
    EXPECT_EQ(3u, ahead.InFlightLimit());
    ahead.Reset();
    for (int i = 0; i < 10; ++i) ahead.Behind();
    EXPECT_EQ(3u, ahead.InFlightLimit()) << "a seek does not forget what the recorder bears";
}

TEST(ReadAhead, TheSameFrameAgainKeepsThePredictionAndResetForgetsAll) {
    CReadAhead ahead = Playing();
    ASSERT_EQ(Frames(12, 6), ahead.ToRequest());
    const CReadAhead::Lookup again = ahead.Ask(11);
    EXPECT_EQ(std::tuple(Kind::Fetch, size_t{0}), std::tuple(again.kind, again.cancelled.size()));
    EXPECT_EQ(6u, ahead.InFlightCount());
    EXPECT_EQ(Frames(12, 6), ahead.Reset());
    EXPECT_EQ(Kind::Fetch, ahead.Ask(12).kind);
    EXPECT_TRUE(ahead.ToRequest().empty()) << "after a reset one frame gives no direction";
}

}  // namespace
}  // namespace corvanta
