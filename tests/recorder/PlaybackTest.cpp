// Opening files on "AVIPlayback Manager", fetching frames from their frame
// sources and closing them again; below that, the frame cache.

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
        const SessionEntry e = sessionsOn(source, 1).at(0);
        const FileDescription fd = open(e.fileName);
        ASSERT_GT(fd.info.scale, 0u);
        EXPECT_LE(uint64_t{fd.info.width} * fd.info.height * 3, 5760000u) << "frames fit the viewer's stream region";
        const uint64_t seconds = *fromSystemTime(e.stop) - *fromSystemTime(e.start);
        EXPECT_EQ(std::tuple(fd.frameCount, fd.info.length), std::tuple(seconds * fd.info.rate / fd.info.scale, fd.frameCount));
        EXPECT_NE(std::memchr(fd.info.fileType, 0, sizeof fd.info.fileType), nullptr);
        ASSERT_GT(fd.frameCount, fd.info.rate);
        // `rate` frames last `scale` seconds.
        uint64_t held = 0;
        std::string previous;
        for (uint32_t i = 0; i < fd.info.rate; ++i) {
            const Decoded d = ask(frameSourceName(e.fileName), sid_, kFrameSourceGetFrame, i);
            EXPECT_LE(d.data.size() + kIcpOverhead, kMaxAnswerBody);
            EXPECT_EQ(std::tuple(d.header.encoding, d.header.param1), std::tuple(kIcpEncodingPicture, i));
            EXPECT_TRUE(d.header.param3 > 0 && d.header.param3 < 2000) << "the player honours hold times below 2 s only";
            held += d.header.param3;
            if (i < 2) {
                auto jpeg = decodeJpeg(d.data);
                EXPECT_TRUE(jpeg && uint32_t(jpeg->width) == fd.info.width && uint32_t(jpeg->height) == fd.info.height)
                    << source << " frame " << i << " is no JPEG of the announced size";
            }
            EXPECT_NE(d.data, previous) << "consecutive frames differ (their time stamps do)";
            previous = d.data;
        }
        EXPECT_EQ(held, uint64_t{fd.info.scale} * 1000) << source;
    }
}

TEST_F(PlaybackTest, FrameSourceLivesWhileItsSessionHasTheFileOpen) {
    const SessionEntry e = sessionsOn("CAM03", 1).at(1);
    EXPECT_TRUE(frame(e.fileName, 0).body.empty()) << "not open yet";
    std::string lower = e.fileName;
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    const FileDescription fd = open(lower);
    open(e.fileName);
    EXPECT_FALSE(frame(lower, 0).body.empty()) << "file names compare without case";
    EXPECT_FALSE(frame(e.fileName, fd.frameCount - 1).body.empty());
    EXPECT_TRUE(frame(e.fileName, fd.frameCount).body.empty()) << "past the end";
    EXPECT_TRUE(frame(e.fileName, 0xFFFFFFFFu).body.empty());
    EXPECT_TRUE(frame(e.fileName, 0, logIn()).body.empty()) << "another session has not opened the file";
    // Opened twice: the first close keeps the source, the second ends it.
    EXPECT_TRUE(close(e.fileName));
    EXPECT_FALSE(frame(e.fileName, 1).body.empty());
    EXPECT_TRUE(close(lower));
    EXPECT_TRUE(frame(e.fileName, 1).body.empty());
    EXPECT_FALSE(close(e.fileName));
    EXPECT_TRUE(refused(kPlaybackManagerFilterName, kPlaybackOpenFile, 0, 0, textData(R"(D:\Archive\CAM01\1999\01\01\000000.avi)")));
}

TEST_F(PlaybackTest, LiveBufferOfASourcePlaysItsLatestRecording) {
    // Selecting a source in the tree opens "<source id>MEMORY".
    const FileDescription fd = open("CAM03MEMORY");
    ASSERT_GT(fd.frameCount, 0u);
    auto jpeg = decodeJpeg(ask("CAM03MEMORY", sid_, kFrameSourceGetFrame, fd.frameCount - 1).data);
    EXPECT_TRUE(jpeg && uint32_t(jpeg->width) == fd.info.width);
    EXPECT_TRUE(refused(kPlaybackManagerFilterName, kPlaybackOpenFile, 0, 0, textData("CAM05MEMORY"))) << "never recorded";
    EXPECT_TRUE(refused(kPlaybackManagerFilterName, kPlaybackOpenFile, 0, 0, textData("MEMORY")));
}

// Pixels of the middle band (clear of the burned-in texts) that differ clearly.
size_t changedPixels(const JpegInfo& a, const JpegInfo& b) {
    size_t n = 0;
    for (int y = a.height * 15 / 100; y < a.height * 85 / 100; ++y)
        for (int x = 0; x < a.width; ++x) {
            const size_t i = (size_t(y) * a.width + x) * 3;
            n += std::abs(a.rgb[i] - b.rgb[i]) + std::abs(a.rgb[i + 1] - b.rgb[i + 1]) + std::abs(a.rgb[i + 2] - b.rgb[i + 2]) > 24;
        }
    return n;
}

TEST_F(PlaybackTest, FramesShowMotionExactlyWhereTheActivityMapReportsIt) {
    const Seconds dayStart = startOfDay(CivilDate{kAnchor.year, kAnchor.month, 1});
    const Decoded act = ask(kArchiveQueryFilterName, sid_, kArchiveDayActivity, 0, 0,
                            timeQuery(toSystemTime(dayStart), toSystemTime(dayStart + kSecondsPerDay - 1), "CAM01"));
    ASSERT_EQ(act.data.size(), sizeof(DayWindowHeader) + kActivitySecondsPerDay);
    auto level = [&](Seconds secondOfDay) { return uint8_t(act.data[sizeof(DayWindowHeader) + secondOfDay]); };
    // A file of that day with two still seconds and a second in the middle of motion.
    for (const SessionEntry& e : sessionsOn("CAM01", 1)) {
        const Seconds a = *fromSystemTime(e.start) - dayStart, b = *fromSystemTime(e.stop) - dayStart;
        std::vector<Seconds> still;
        Seconds busy = -1;
        for (Seconds s = std::max<Seconds>(a, 0) + 2; s + 2 < b && s + 2 < Seconds(kActivitySecondsPerDay); ++s) {
            if (level(s) == 0 && still.size() < 2 && (still.empty() || s > still[0] + 5)) still.push_back(s);
            if (busy < 0 && level(s - 2) && level(s - 1) && level(s) && level(s + 1) && level(s + 2)) busy = s;
        }
        if (still.size() < 2 || busy < 0) continue;
        const FileDescription fd = open(e.fileName);
        auto frameAt = [&](Seconds s) {
            const uint32_t index = uint32_t((s - a) * fd.info.rate / fd.info.scale);
            auto jpeg = decodeJpeg(ask(frameSourceName(e.fileName), sid_, kFrameSourceGetFrame, index).data);
            EXPECT_TRUE(jpeg);
            return jpeg.value_or(JpegInfo{});
        };
        const JpegInfo q1 = frameAt(still[0]), q2 = frameAt(still[1]), m = frameAt(busy);
        ASSERT_TRUE(q1.rgb.size() == m.rgb.size() && q1.rgb.size() == q2.rgb.size());
        const size_t band = size_t(q1.width) * (q1.height * 85 / 100 - q1.height * 15 / 100);
        EXPECT_LT(changedPixels(q1, q2), band / 10000) << "still seconds show the same scene";
        EXPECT_GT(changedPixels(q1, m), band / 1000) << "a second with activity shows something moving";
        return;
    }
    FAIL() << "no file with both still and busy seconds";
}

TEST(FrameStore, CacheStaysWithinItsBudgetReencodesIdenticallyAndShrinksOversizedPictures) {
    const DemoArchive archive(3, kAnchor);
    const Recording& rec = archive.recordings(1).front();  // 1600x1200: large pictures
    FrameStoreOptions options{.cacheBytes = 1u << 20, .readAhead = 0};
    FrameStore store(archive, options);
    const JpegBytes first = store.frame(rec, 0);
    ASSERT_FALSE(first->empty());
    EXPECT_EQ(*store.frame(rec, 0), *first);
    EXPECT_EQ(store.stats().hits, 1u);
    for (uint32_t i = 1; i < 30; ++i) ASSERT_FALSE(store.frame(rec, i)->empty());
    const FrameStoreStats s = store.stats();
    EXPECT_LE(s.cachedBytes, options.cacheBytes);
    EXPECT_TRUE(s.cachedFrames > 0 && s.cachedFrames < 30) << "old frames were evicted";
    EXPECT_EQ(*store.frame(rec, 0), *first) << "an evicted frame made again is the same picture";
    EXPECT_EQ(store.stats().encoded, 31u);

    // The server bounds pictures by the answer body the viewer reads.
    options.maxJpegBytes = first->size() * 2 / 3;
    const JpegBytes small = FrameStore(archive, options).frame(rec, 0);
    ASSERT_FALSE(small->empty());
    EXPECT_LE(small->size(), options.maxJpegBytes);
    auto jpeg = decodeJpeg(*small);
    EXPECT_TRUE(jpeg && jpeg->width == 1600);
}

TEST(DemoArchive, ASourceCanRecordAtAnotherRate) {
    const DemoArchive plain(3, kAnchor);
    const DemoArchive fast(3, kAnchor, {{"CAM02", 1, 25}, {"CAM03", 0, 0}});
    const Recording& a = plain.recordings(1).front();
    const Recording& b = fast.recordings(1).front();
    EXPECT_EQ(a.fileName, b.fileName);  // the same files, only more frames
    EXPECT_EQ(std::tuple(25u, uint64_t(b.stop - b.start) * 25, 40u),
              std::tuple(fast.sources()[1].rate, b.frameCount, fast.holdTimeMs(b, 0)));
    EXPECT_EQ(plain.sources()[2].rate, fast.sources()[2].rate);  // a zero rate is ignored
}

}  // namespace
}  // namespace corvanta::recorder::test
