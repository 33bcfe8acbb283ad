// Opening files on "AVIPlayback Manager", fetching frames from their frame
// sources and closing them again, over HTTP.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "RecorderTestSupport.h"

namespace corvanta::recorder::test {
namespace {

std::string frameSourceName(std::string fileName) {
    for (char& c : fileName)
        if (c == '\\') c = ' ';
    return fileName;
}

// Sends one request exactly as written, blanks and all, and returns the body.
std::string rawGet(int port, const std::string& target) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(s);
        return "connect failed";
    }
    const std::string req = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: */*\r\nConnection: close\r\n\r\n";
    ::send(s, req.data(), req.size(), MSG_NOSIGNAL);
    std::string reply;
    char buf[65536];
    ssize_t n;
    while ((n = ::recv(s, buf, sizeof buf, 0)) > 0) reply.append(buf, static_cast<size_t>(n));
    ::close(s);
    const size_t head = reply.find("\r\n\r\n");
    return head == std::string::npos ? std::string() : reply.substr(head + 4);
}

class PlaybackTest : public RecorderFixture {
protected:
    void SetUp() override {
        RecorderFixture::SetUp();
        sid_ = logIn();
        ASSERT_FALSE(sid_.empty());
    }

    // The first file of a source on the archive's first full day.
    SessionEntry fileOf(const std::string& source, size_t index = 0) {
        const Decoded d = ask(kArchiveQueryFilterName, sid_, kArchiveListSessions, (kAnchor.year << 16) | kAnchor.month, 1,
                              textData(source));
        EXPECT_GT(d.header.param1, index);
        return d.entry<SessionEntry>(index);
    }

    FileDescription open(const std::string& fileName, const std::string& sid) {
        const Decoded d = ask(kPlaybackManagerFilterName, sid, kPlaybackOpenFile, 0, 0, textData(fileName));
        EXPECT_EQ(d.header.param1, d.entry<FileDescription>(0).frameCount);
        return d.entry<FileDescription>(0);
    }

    HttpResult frame(const std::string& fileName, uint32_t index, const std::string& sid) {
        return send(frameSourceName(fileName), sid, kFrameSourceGetFrame, index);
    }

    std::string sid_;
};

TEST_F(PlaybackTest, OpenAnswersTheFileDescription) {
    const SessionEntry e = fileOf("CAM02");
    const FileDescription fd = open(e.fileName, sid_);
    EXPECT_EQ(fd.info.width, 1600u);
    EXPECT_EQ(fd.info.height, 1200u);
    ASSERT_GT(fd.info.scale, 0u);
    ASSERT_GT(fd.info.rate, 0u);
    // The frame count covers the recording's length at the file's rate.
    const Seconds seconds = *fromSystemTime(e.stop) - *fromSystemTime(e.start);
    EXPECT_EQ(fd.frameCount, uint64_t(seconds) * fd.info.rate / fd.info.scale);
    EXPECT_EQ(fd.info.length, fd.frameCount);
    EXPECT_NE(std::memchr(fd.info.fileType, 0, sizeof fd.info.fileType), nullptr);
}

TEST_F(PlaybackTest, FramesAreJpegsOfTheAnnouncedSizeWithHoldTimes) {
    for (const char* source : {"CAM01", "CAM02", "CAM03", "CAM04"}) {
        const SessionEntry e = fileOf(source);
        const FileDescription fd = open(e.fileName, sid_);
        ASSERT_GT(fd.frameCount, fd.info.rate);
        uint64_t held = 0;
        std::string previous;
        // One second of frames: their hold times add up to exactly one second
        // of the file's clock (rate frames last scale seconds).
        for (uint32_t i = 0; i < fd.info.rate; ++i) {
            const HttpResult r = frame(e.fileName, i, sid_);
            ASSERT_TRUE(r.ok());
            auto d = decodeAnswer(r.body);
            ASSERT_TRUE(d) << source << " frame " << i;
            EXPECT_EQ(d->header.encoding, kIcpEncodingPicture);
            EXPECT_EQ(d->header.status, kIcpStatusDone);
            EXPECT_EQ(d->header.param1, i);
            EXPECT_GT(d->header.param3, 0u);
            EXPECT_LT(d->header.param3, 2000u) << "the player honours hold times below 2 s only";
            held += d->header.param3;
            EXPECT_LE(r.body.size(), kMaxAnswerBody);
            if (i < 2) {
                auto jpeg = decodeJpeg(d->data);
                ASSERT_TRUE(jpeg) << source << " frame " << i << " is not a valid JPEG";
                EXPECT_EQ(uint32_t(jpeg->width), fd.info.width);
                EXPECT_EQ(uint32_t(jpeg->height), fd.info.height);
            }
            EXPECT_NE(d->data, previous) << "consecutive frames differ (their time stamps do)";
            previous = d->data;
        }
        EXPECT_EQ(held, uint64_t{fd.info.scale} * 1000) << source;
    }
}

TEST_F(PlaybackTest, FramePastTheEndIsRefusedAndTheLastOneServed) {
    const SessionEntry e = fileOf("CAM03");
    const FileDescription fd = open(e.fileName, sid_);
    EXPECT_FALSE(frame(e.fileName, fd.frameCount - 1, sid_).body.empty());
    EXPECT_TRUE(frame(e.fileName, fd.frameCount, sid_).body.empty());
    EXPECT_TRUE(frame(e.fileName, 0xFFFFFFFFu, sid_).body.empty());
}

TEST_F(PlaybackTest, FrameSourceLivesWhileTheFileIsOpen) {
    const SessionEntry e = fileOf("CAM01");
    EXPECT_TRUE(frame(e.fileName, 0, sid_).body.empty()) << "not open yet";
    open(e.fileName, sid_);
    open(e.fileName, sid_);
    EXPECT_FALSE(frame(e.fileName, 0, sid_).body.empty());
    // Opened twice: the first close keeps the source, the second ends it.
    EXPECT_FALSE(send(kPlaybackManagerFilterName, sid_, kPlaybackCloseFile, 0, 0, textData(e.fileName)).body.empty());
    EXPECT_FALSE(frame(e.fileName, 1, sid_).body.empty());
    EXPECT_FALSE(send(kPlaybackManagerFilterName, sid_, kPlaybackCloseFile, 0, 0, textData(e.fileName)).body.empty());
    EXPECT_TRUE(frame(e.fileName, 1, sid_).body.empty());
    EXPECT_TRUE(send(kPlaybackManagerFilterName, sid_, kPlaybackCloseFile, 0, 0, textData(e.fileName)).body.empty());
}

TEST_F(PlaybackTest, FileNamesCompareWithoutCaseAndBelongToTheirSession) {
    const SessionEntry e = fileOf("CAM01", 1);
    std::string lower = e.fileName;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    open(lower, sid_);
    EXPECT_FALSE(frame(lower, 0, sid_).body.empty());
    EXPECT_FALSE(frame(e.fileName, 0, sid_).body.empty());
    const std::string other = logIn();
    EXPECT_TRUE(frame(e.fileName, 0, other).body.empty()) << "another session has not opened the file";
    EXPECT_TRUE(send(kPlaybackManagerFilterName, sid_, kPlaybackOpenFile, 0, 0,
                     textData("D:\\Archive\\CAM01\\1999\\01\\01\\000000.avi")).body.empty());
}

TEST_F(PlaybackTest, LiveBufferOfASourcePlaysItsLatestRecording) {
    // Selecting a source in the tree opens "<source id>MEMORY"; the viewer
    // plays it when width and frame count are set.
    const FileDescription fd = open("CAM03MEMORY", sid_);
    EXPECT_EQ(fd.info.width, 352u);
    EXPECT_GT(fd.frameCount, 0u);
    auto d = decodeAnswer(frame("CAM03MEMORY", fd.frameCount - 1, sid_).body);
    ASSERT_TRUE(d);
    auto jpeg = decodeJpeg(d->data);
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(jpeg->height, 288);
    EXPECT_TRUE(send(kPlaybackManagerFilterName, sid_, kPlaybackOpenFile, 0, 0, textData("CAM05MEMORY")).body.empty())
        << "an input that never recorded has no live buffer";
    EXPECT_TRUE(send(kPlaybackManagerFilterName, sid_, kPlaybackOpenFile, 0, 0, textData("MEMORY")).body.empty());
}

TEST_F(PlaybackTest, RawBlanksInTheRequestLineAreAccepted) {
    const SessionEntry e = fileOf("CAM03");
    const std::string open = makeRequestRecord(kIcpCommand, kPlaybackOpenFile, 0, 0, textData(e.fileName));
    const std::string openTarget = "/Filter?Message&SID=" + sid_ + "&Name=AVIPlayback Manager&Data=" +
                                   encodeHex({reinterpret_cast<const uint8_t*>(open.data()), open.size()});
    auto opened = decodeAnswer(rawGet(server_->port(), openTarget));
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->data.size(), sizeof(FileDescription));

    const std::string get = makeRequestRecord(kIcpCommand, kFrameSourceGetFrame, 3, 0, {});
    const std::string frameTarget = "/Filter?Message&SID=" + sid_ + "&Name=" + frameSourceName(e.fileName) + "&Data=" +
                                    encodeHex({reinterpret_cast<const uint8_t*>(get.data()), get.size()});
    auto framed = decodeAnswer(rawGet(server_->port(), frameTarget));
    ASSERT_TRUE(framed);
    EXPECT_EQ(framed->header.param1, 3u);
    EXPECT_TRUE(decodeJpeg(framed->data));
}

// Pixels of the middle band (clear of the burned-in texts) that differ
// clearly between two pictures of the same size.
size_t changedPixels(const JpegInfo& a, const JpegInfo& b) {
    size_t n = 0;
    for (int y = a.height * 15 / 100; y < a.height * 85 / 100; ++y) {
        for (int x = 0; x < a.width; ++x) {
            const size_t i = (size_t(y) * a.width + x) * 3;
            const int d = std::abs(a.rgb[i] - b.rgb[i]) + std::abs(a.rgb[i + 1] - b.rgb[i + 1]) + std::abs(a.rgb[i + 2] - b.rgb[i + 2]);
            if (d > 24) ++n;
        }
    }
    return n;
}

TEST_F(PlaybackTest, FramesShowMotionExactlyWhereTheActivityMapReportsIt) {
    const unsigned day = 1;
    const Decoded act = ask(kArchiveQueryFilterName, sid_, kArchiveDayActivity, 0, 0,
                            bytesOf(timeQuery(wireTime(kAnchor.year, kAnchor.month, day, 0, 0, 0),
                                              wireTime(kAnchor.year, kAnchor.month, day, 23, 59, 59), "CAM01")));
    ASSERT_EQ(act.data.size(), sizeof(DayWindowHeader) + kActivitySecondsPerDay);
    auto level = [&](Seconds secondOfDay) { return static_cast<uint8_t>(act.data[sizeof(DayWindowHeader) + secondOfDay]); };
    const Seconds dayStart = startOfDay(CivilDate{kAnchor.year, kAnchor.month, day});

    // Find a file with two still seconds and a second in the middle of motion.
    for (size_t index = 0; index < 10; ++index) {
        const SessionEntry e = fileOf("CAM01", index);
        const Seconds a = *fromSystemTime(e.start) - dayStart, b = *fromSystemTime(e.stop) - dayStart;
        std::vector<Seconds> still;
        Seconds busy = -1;
        // A file may have started on the day before; only this day's seconds count.
        for (Seconds s = std::max<Seconds>(a, 0) + 2; s + 2 < b && s + 2 < Seconds(kActivitySecondsPerDay); ++s) {
            if (level(s) == 0 && still.size() < 2 && (still.empty() || s > still[0] + 5)) still.push_back(s);
            if (busy < 0 && level(s - 2) && level(s - 1) && level(s) && level(s + 1) && level(s + 2)) busy = s;
        }
        if (still.size() < 2 || busy < 0) continue;

        const FileDescription fd = open(e.fileName, sid_);
        auto frameAt = [&](Seconds s) {
            const uint32_t n = uint32_t((s - a) * fd.info.rate / fd.info.scale);
            auto d = decodeAnswer(frame(e.fileName, n, sid_).body);
            EXPECT_TRUE(d);
            auto jpeg = decodeJpeg(d ? d->data : std::string());
            EXPECT_TRUE(jpeg);
            return jpeg.value_or(JpegInfo{});
        };
        const JpegInfo q1 = frameAt(still[0]), q2 = frameAt(still[1]), m = frameAt(busy);
        ASSERT_EQ(q1.rgb.size(), m.rgb.size());
        const size_t band = size_t(q1.width) * (q1.height * 85 / 100 - q1.height * 15 / 100);
        EXPECT_LT(changedPixels(q1, q2), band / 10000) << "still seconds show the same scene";
        EXPECT_GT(changedPixels(q1, m), band / 1000) << "a second with activity shows something moving";
        return;
    }
    FAIL() << "no file with both still and busy seconds";
}

}  // namespace
}  // namespace corvanta::recorder::test
