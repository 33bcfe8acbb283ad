// The day timeline's thumbnails without widgets: rest, cache, fetch limit
// and cancellation, with a recorder stand-in whose answers the test holds
// back and lets go.

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

#include "playback/TimelineThumbnails.h"
#include "support/WaitFor.h"

namespace corvanta {
namespace {

using namespace std::chrono_literals;
using Clock = TimelineThumbnails::Clock;

// Seconds 1000..1999 are recorded. A fetch waits until the test lets
// answers through (or, unless the recorder is deaf, until it is
// cancelled); a picture is as wide as its second, second 1500 has none.
class HeldRecorder {
public:
    std::optional<ScaledPicture> Fetch(const ThumbnailSource& source, const std::atomic<bool>& cancelled) {
        std::unique_lock lock(m_mutex);
        asked.push_back(source.offset);
        m_wake.wait(lock, [&] { return m_open || (cancelled && !m_deaf); });
        if (cancelled || source.offset == 1500) return std::nullopt;
        return ScaledPicture{source.offset, 1, std::vector<uint8_t>(3)};
    }
    void Open(bool open = true) {
        std::lock_guard lock(m_mutex);
        m_open = open;
        m_wake.notify_all();
    }
    // Wakes waiting fetches so they see their cancel flags.
    void Poke() {
        std::lock_guard lock(m_mutex);
        m_wake.notify_all();
    }
    // A deaf recorder ends fetches only by answering.
    void SetDeaf() {
        std::lock_guard lock(m_mutex);
        m_deaf = true;
    }
    std::vector<int32_t> Asked() {
        std::lock_guard lock(m_mutex);
        return asked;
    }

private:
    bool m_deaf = false;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_open = true;
    std::vector<int32_t> asked;
};

class TimelineThumbnailsTest : public ::testing::Test {
protected:
    static std::optional<ThumbnailSource> Locate(int32_t second) {
        if (second < 1000 || second >= 2000) return std::nullopt;
        return ThumbnailSource{"file.avi", {}, second, {}};
    }
    // Rests on `second` for the rest time from `t`; the thumbnail shown then.
    std::shared_ptr<const Thumbnail> Rest(int32_t second) {
        thumbs.Update(second, t);
        t += TimelineThumbnails::kRest;
        return thumbs.Update(second, t);
    }
    // Keeps resting until the thumbnail shows (null if it never does).
    std::shared_ptr<const Thumbnail> RestUntilShown(int32_t second) {
        std::shared_ptr<const Thumbnail> shown;
        test::WaitFor([&] { return (shown = thumbs.Update(second, t += 5ms)) != nullptr; }, 5000);
        return shown;
    }
    void Leave() { thumbs.Update(-1, t += 5ms); }

    HeldRecorder recorder;
    Clock::time_point t = Clock::now();
    TimelineThumbnails thumbs{Locate, [this](const ThumbnailSource& s, const std::atomic<bool>& c) { return recorder.Fetch(s, c); }, 3};
};

TEST_F(TimelineThumbnailsTest, ARestedRecordedSecondIsFetchedOnceAndThenComesFromTheCache) {
    // Passing over seconds shorter than the rest fetches nothing.
    for (int32_t s = 1000; s < 1010; ++s) EXPECT_EQ(nullptr, thumbs.Update(s, t += 100ms));
    thumbs.Update(1200, t);
    EXPECT_EQ(nullptr, thumbs.Update(1200, t + TimelineThumbnails::kRest - 1ms));
    EXPECT_EQ(0u, thumbs.Started());

    auto shown = thumbs.Update(1200, t += TimelineThumbnails::kRest);
    EXPECT_EQ(nullptr, shown);  // asked for, not there yet
    shown = RestUntilShown(1200);
    ASSERT_NE(nullptr, shown);
    EXPECT_EQ(1200, shown->second);
    EXPECT_EQ(1200, shown->picture.width);
    Leave();
    EXPECT_EQ(nullptr, thumbs.Update(1200, t));  // back: the rest starts again
    shown = thumbs.Update(1200, t += TimelineThumbnails::kRest);
    ASSERT_NE(nullptr, shown);  // at once, from the cache
    EXPECT_EQ(1200, shown->second);
    EXPECT_EQ(std::vector<int32_t>{1200}, recorder.Asked());
}

TEST_F(TimelineThumbnailsTest, GapsFetchNothingAndSecondsWithoutAPictureShowNone) {
    EXPECT_EQ(nullptr, Rest(500));
    EXPECT_EQ(nullptr, Rest(2500));
    EXPECT_EQ(nullptr, thumbs.Update(2500, t += 1s));
    EXPECT_EQ(0u, thumbs.Started());

    // A recorded second whose picture fails: nothing shown, asked once per rest.
    Rest(1500);
    ASSERT_TRUE(test::WaitFor([&] { return recorder.Asked().size() == 1 && thumbs.Running() == 0; }, 5000));
    EXPECT_EQ(nullptr, thumbs.Update(1500, t += 1s));
    EXPECT_EQ(0u, thumbs.Cached());
    EXPECT_EQ(1u, recorder.Asked().size());
    Leave();
    Rest(1500);
    ASSERT_TRUE(test::WaitFor([&] { return recorder.Asked().size() == 2; }, 5000));
}

TEST_F(TimelineThumbnailsTest, TheCacheKeepsTheMostRecentlyUsedSeconds) {
    for (int32_t s : {1001, 1002, 1003}) {
        Rest(s);
        ASSERT_NE(nullptr, RestUntilShown(s)) << s;
    }
    Rest(1001);  // used again: 1002 is now the oldest
    Rest(1004);
    ASSERT_NE(nullptr, RestUntilShown(1004));
    EXPECT_EQ(3u, thumbs.Cached());
    for (int32_t s : {1001, 1003, 1004}) EXPECT_NE(nullptr, Rest(s)) << s;
    EXPECT_EQ(nullptr, Rest(1002));  // dropped: fetched again
    ASSERT_NE(nullptr, RestUntilShown(1002));
    EXPECT_EQ((std::vector<int32_t>{1001, 1002, 1003, 1004, 1002}), recorder.Asked());
}

TEST_F(TimelineThumbnailsTest, MovingOnCancelsAndAtMostTwoFetchesRunEvenWhenTheRecorderIgnoresCancelling) {
    recorder.Open(false);
    Rest(1100);
    ASSERT_TRUE(test::WaitFor([&] { return thumbs.Running() == 1; }, 5000));
    Rest(1200);  // 1100 is no longer wanted
    EXPECT_EQ(1u, thumbs.CancelledCount());
    recorder.Poke();
    ASSERT_TRUE(test::WaitFor([&] { return thumbs.Running() == 1 && recorder.Asked().size() == 2; }, 5000));

    recorder.SetDeaf();
    Rest(1300);
    ASSERT_TRUE(test::WaitFor([&] { return thumbs.Running() == 2; }, 5000));
    Rest(1400);
    Rest(1600);
    ASSERT_TRUE(test::WaitFor([&] { return recorder.Asked().size() == 3; }, 5000));
    // 1200 and 1300 hold both workers; 1400 was replaced by 1600 before a worker was free.
    EXPECT_EQ(2u, thumbs.Running());
    EXPECT_EQ((std::vector<int32_t>{1100, 1200, 1300}), recorder.Asked());
    EXPECT_EQ(3u, thumbs.CancelledCount());
    recorder.Open();
    const auto shown = RestUntilShown(1600);
    ASSERT_NE(nullptr, shown);
    EXPECT_EQ(1600, shown->second);
    EXPECT_EQ((std::vector<int32_t>{1100, 1200, 1300, 1600}), recorder.Asked());
    EXPECT_EQ(1u, thumbs.Cached());  // cancelled fetches leave nothing behind
}

TEST_F(TimelineThumbnailsTest, AnotherDayDropsTheCacheAndPicturesThatArriveLate) {
    Rest(1001);
    ASSERT_NE(nullptr, RestUntilShown(1001));
    Leave();
    Rest(1002);  // asked for; finished, but not taken before the day changes
    ASSERT_TRUE(test::WaitFor([&] { return recorder.Asked().size() == 2 && thumbs.Running() == 0; }, 5000));
    thumbs.Reset();
    EXPECT_EQ(0u, thumbs.Cached());
    EXPECT_EQ(nullptr, Rest(1002));
    EXPECT_EQ(0u, thumbs.Cached());
    ASSERT_NE(nullptr, RestUntilShown(1002));
    EXPECT_EQ(nullptr, Rest(1001));  // asked for again
    ASSERT_TRUE(test::WaitFor([&] { return recorder.Asked().size() == 4; }, 5000));
    EXPECT_EQ((std::vector<int32_t>{1001, 1002, 1002, 1001}), recorder.Asked());
}

}  // namespace
}  // namespace corvanta
