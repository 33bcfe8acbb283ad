#include "RecorderTestSupport.h"
#include "recorder/FrameStore.h"

namespace corvanta::recorder::test {
namespace {

class PlaybackTest : public RecorderFixture {
protected:
    HttpResult frame(const std::string& fileName, uint32_t index, const std::string& sid = {}) const {
        return send(frameSourceName(fileName), sid.empty() ? sid_ : sid, kFrameSourceGetFrame, index);
    }
    bool close(const std::string& fileName) const {
        return !send(kPlaybackManagerFilterName, sid_, kPlaybackCloseFile, 0, 0, textData(fileName)).body.empty();
    }
};

TEST_F(PlaybackTest, FramesAreJpegsOfTheAnnouncedSizeWhoseHoldTimesFillTheFilesClock) {
    for (const char* source : {"CAM01", "CAM02", "CAM03", "CAM04"}) {
        SCOPED_TRACE(source);
        const SessionEntry e = sessionsOn(source, 1).at(0);
        const FileDescription fd = open(e.fileName);
        ASSERT_GT(fd.info.scale, 0u);
        EXPECT_LE(uint64_t{fd.info.width} * fd.info.height * 3, 5760000u) << "frames fit the viewer's stream region";
        const uint64_t seconds = *fromSystemTime(e.stop) - *fromSystemTime(e.start);
        EXPECT_EQ(std::tuple(fd.frameCount, fd.info.length), std::tuple(seconds * fd.info.rate / fd.info.scale, fd.frameCount));
        ASSERT_GT(fd.frameCount, fd.info.rate);
        // `rate` frames last `scale` seconds.
        uint64_t held = 0;
        for (uint32_t i = 0; i < fd.info.rate; ++i) {
            const Decoded d = ask(frameSourceName(e.fileName), sid_, kFrameSourceGetFrame, i);
            EXPECT_LE(d.data.size() + kIcpOverhead, kMaxAnswerBody);
            EXPECT_EQ(std::tuple(d.header.encoding, d.header.param1), std::tuple(kIcpEncodingPicture, i));
            EXPECT_TRUE(d.header.param3 > 0 && d.header.param3 < 2000) << "the player honours hold times below 2 s only";
            held += d.header.param3;
            if (i == 0) {
                auto jpeg = decodeJpeg(d.data);
                EXPECT_TRUE(jpeg && uint32_t(jpeg->width) == fd.info.width && uint32_t(jpeg->height) == fd.info.height);
            }
        }
        EXPECT_EQ(held, uint64_t{fd.info.scale} * 1000);
    }
}

TEST_F(PlaybackTest, FrameSourceLivesWhileItsSessionHasTheFileOpen) {
    const SessionEntry e = sessionsOn("CAM03", 1).at(1);
    EXPECT_TRUE(frame(e.fileName, 0).body.empty()) << "not open yet";
    const FileDescription fd = open(e.fileName);
    open(e.fileName);
    EXPECT_FALSE(frame(e.fileName, fd.frameCount - 1).body.empty());
    EXPECT_TRUE(frame(e.fileName, fd.frameCount).body.empty()) << "past the end";
    EXPECT_TRUE(frame(e.fileName, 0, logIn()).body.empty()) << "another session has not opened the file";
    // Opened twice: the first close keeps the source, the second ends it.
    EXPECT_TRUE(close(e.fileName));
    EXPECT_FALSE(frame(e.fileName, 1).body.empty());
    EXPECT_TRUE(close(e.fileName));
    EXPECT_TRUE(frame(e.fileName, 1).body.empty());
    EXPECT_FALSE(close(e.fileName));
    EXPECT_TRUE(refused(kPlaybackManagerFilterName, kPlaybackOpenFile, 0, 0, textData(R"(D:\Archive\CAM01\1999\01\01\000000.avi)")));
}

// Selecting a source in the tree opens "<source id>MEMORY".
TEST_F(PlaybackTest, LiveBufferOfASourcePlaysItsLatestRecording) {
    const FileDescription fd = open("CAM03MEMORY");
    ASSERT_GT(fd.frameCount, 0u);
    auto jpeg = decodeJpeg(ask("CAM03MEMORY", sid_, kFrameSourceGetFrame, fd.frameCount - 1).data);
    EXPECT_TRUE(jpeg && uint32_t(jpeg->width) == fd.info.width);
    EXPECT_TRUE(refused(kPlaybackManagerFilterName, kPlaybackOpenFile, 0, 0, textData("CAM05MEMORY"))) << "never recorded";
}

TEST(FrameStore, CacheStaysWithinItsBudgetReencodesIdenticallyAndShrinksOversizedPictures) {
    const DemoArchive archive(3, kAnchor);
    const Recording& rec = archive.recordings(1).front();  // 1600x1200: large pictures
    FrameStoreOptions options{.cacheBytes = 1u << 20, .readAhead = 0};
    FrameStore store(archive, options);
    const JpegBytes first = store.frame(rec, 0);
    ASSERT_FALSE(first->empty());
    for (uint32_t i = 1; i < 30; ++i) ASSERT_FALSE(store.frame(rec, i)->empty());
    const FrameStoreStats s = store.stats();
    EXPECT_LE(s.cachedBytes, options.cacheBytes);
    EXPECT_TRUE(s.cachedFrames > 0 && s.cachedFrames < 30) << "old frames were evicted";
    EXPECT_EQ(*store.frame(rec, 0), *first) << "an evicted frame made again is the same picture";

    // The server bounds pictures by the answer body the viewer reads.
    options.maxJpegBytes = first->size() * 2 / 3;
    const JpegBytes small = FrameStore(archive, options).frame(rec, 0);
    EXPECT_LE(small->size(), options.maxJpegBytes);
    auto jpeg = decodeJpeg(*small);
    EXPECT_TRUE(jpeg && jpeg->width == 1600);
}

}  // namespace
}  // namespace corvanta::recorder::test
