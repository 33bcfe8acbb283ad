// Encoded frames: deterministic pictures, a cache that stays within its
// budget, and read-ahead that has the next frames ready.

#include <thread>

#include "RecorderTestSupport.h"
#include "recorder/FrameStore.h"

namespace corvanta::recorder::test {
namespace {

TEST(FrameStore, CacheStaysWithinItsBudgetAndReencodesIdentically) {
    const DemoArchive archive(3, kAnchor);
    const Recording& rec = archive.recordings(1).front();  // 1600x1200: large pictures
    FrameStoreOptions options;
    options.cacheBytes = 1u << 20;
    options.readAhead = 0;
    FrameStore store(archive, options);
    const JpegBytes first = store.frame(rec, 0);
    ASSERT_FALSE(first->empty());
    EXPECT_EQ(*store.frame(rec, 0), *first);
    EXPECT_EQ(store.stats().hits, 1u);
    for (uint32_t i = 1; i < 30; ++i) ASSERT_FALSE(store.frame(rec, i)->empty());
    const FrameStoreStats s = store.stats();
    EXPECT_LE(s.cachedBytes, options.cacheBytes);
    EXPECT_GT(s.cachedFrames, 0u);
    EXPECT_LT(s.cachedFrames, 30u) << "old frames were evicted";
    // Frame 0 was evicted; made again, it is the same picture.
    EXPECT_EQ(*store.frame(rec, 0), *first);
    EXPECT_EQ(store.stats().encoded, 31u);
}

TEST(FrameStore, ReadAheadPreparesTheFollowingFrames) {
    const DemoArchive archive(3, kAnchor);
    const Recording& rec = archive.recordings(2).front();
    FrameStoreOptions options;
    options.readAhead = 4;
    FrameStore store(archive, options);
    ASSERT_FALSE(store.frame(rec, 10)->empty());
    // Wait (without a time limit of the test's own) until the workers are done.
    while (store.stats().encoded < 5) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    for (uint32_t i = 11; i <= 14; ++i) ASSERT_FALSE(store.frame(rec, i)->empty());
    EXPECT_GE(store.stats().hits, 4u) << "frames 11 to 14 came from the cache";
}

TEST(FrameStore, PicturesOverBudgetAreReencodedSmaller) {
    const DemoArchive archive(3, kAnchor);
    const Recording& rec = archive.recordings(1).front();
    FrameStoreOptions options;
    options.readAhead = 0;
    FrameStore unlimited(archive, options);
    const size_t full = unlimited.frame(rec, 0)->size();
    options.maxJpegBytes = full * 2 / 3;
    FrameStore limited(archive, options);
    const JpegBytes small = limited.frame(rec, 0);
    ASSERT_FALSE(small->empty());
    EXPECT_LE(small->size(), options.maxJpegBytes);
    auto jpeg = decodeJpeg(*small);
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(jpeg->width, 1600);
}

}  // namespace
}  // namespace corvanta::recorder::test
