// The proxies against the recorder stand-in over real HTTP on 127.0.0.1:
// the archive walked through "AVIArchive Query", files opened through
// "AVIPlayback Manager" and their frames fetched through the stream proxies
// it makes, and the stand-in's faults.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "RemoteTestSupport.h"
#include "imaging/JpegImage.h"
#include "remote/RemotePlaybackManager.h"

namespace corvanta {
namespace {

using test::Entries;
using test::Registered;
using test::WaitFor;

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

class RecorderChannelTest : public test::RecorderChannelFixture {
protected:
    const recorder::DemoArchive& Archive() const { return server->archive(); }

    // The first recording of the first source with frames of this size.
    const recorder::Recording& RecordingOfSize(uint32_t width, uint32_t height) const {
        for (const recorder::DemoSource& source : Archive().sources()) {
            if (source.width == width && source.height == height && !Archive().recordings(source.index).empty()) {
                return Archive().recordings(source.index).front();
            }
        }
        ADD_FAILURE() << "no recording of " << width << "x" << height;
        static const recorder::Recording none;
        return none;
    }

    void StartManager() {
        ASSERT_EQ(1, playback->Init(CRemotePlaybackManager::MakeDescriptor()));
        playback->PublishInfo();
        ASSERT_TRUE(Registered(kPlaybackManagerFilterName));
        ASSERT_EQ(1, managerClient.Open(kPlaybackManagerFilterName));
    }

    int OpenFile(const std::string& name) { return managerClient.SendCommandText(kPlaybackOpenFile, 0, name.c_str()); }
    int CloseFile(const std::string& name) { return managerClient.SendCommandText(kPlaybackCloseFile, 0, name.c_str()); }

    // The JPEG the recorder serves for a frame, fetched without any proxy.
    std::vector<uint8_t> ServedJpeg(const std::string& fileName, uint32_t frame) {
        std::vector<uint8_t> record(kIcpOverhead, 0);
        auto* query = reinterpret_cast<IcpRecord*>(record.data());
        query->kind = kIcpCommand;
        query->code = kFrameSourceGetFrame;
        query->param1 = frame;
        std::string url;
        EXPECT_EQ(1, AppendMessageRequestUrl(url, FrameSourceName(fileName), query, 0));
        CHttpRequest request;
        if (request.Get(url) != 1 || request.ReceivedCount() < kIcpHeaderSize) {
            ADD_FAILURE() << "frame " << frame << " of " << fileName << " not served";
            return {};
        }
        IcpHeader header;
        std::memcpy(&header, request.Buffer(), kIcpHeaderSize);
        EXPECT_EQ(kIcpEncodingPicture, header.encoding);
        EXPECT_LE(header.dataLength, request.ReceivedCount() - kIcpHeaderSize);
        const uint8_t* jpeg = request.Buffer() + kIcpHeaderSize;
        return std::vector<uint8_t>(jpeg, jpeg + std::min(header.dataLength, request.ReceivedCount() - kIcpHeaderSize));
    }

    std::unique_ptr<CRemotePlaybackManager> playback = std::make_unique<CRemotePlaybackManager>();
    CFilterIcpClient managerClient;
};

TEST_F(RecorderChannelTest, ArchiveIsWalkedThroughTheArchiveQueryProxy) {
    CRemoteArchiveQuery archive;
    ASSERT_EQ(1, archive.Init(CRemoteArchiveQuery::MakeDescriptor()));
    archive.PublishInfo();
    ASSERT_TRUE(Registered(kArchiveQueryFilterName));
    CFilterIcpClient client;
    ASSERT_EQ(1, client.Open(kArchiveQueryFilterName));

    ASSERT_EQ(1, client.SendCommand(kArchiveListSources, 0, 0, nullptr, 0));
    EXPECT_EQ(4096000u, client.Answer()->capacity);
    const std::vector<SourceEntry> sources = Entries<SourceEntry>(client.Answer(), client.Answer()->param1);
    ASSERT_EQ(Archive().sources().size(), sources.size());
    for (size_t i = 0; i < sources.size(); ++i) {
        EXPECT_EQ(Archive().sources()[i].id, sources[i].sourceId);
        EXPECT_EQ(Archive().sources()[i].displayName, sources[i].displayName);
    }

    size_t sessionsSeen = 0;
    for (const recorder::DemoSource& source : Archive().sources()) {
        const std::string id = source.id;
        ASSERT_EQ(1, client.SendCommandText(kArchiveListMonths, 0, id.c_str()));
        const std::vector<MonthEntry> months = Entries<MonthEntry>(client.Answer(), client.Answer()->param1);
        const std::vector<uint32_t> expectedMonths = Archive().months(source.index);
        ASSERT_EQ(expectedMonths.size(), months.size()) << id;
        for (size_t m = 0; m < months.size(); ++m) {
            EXPECT_EQ(expectedMonths[m], months[m].year * 100u + months[m].month) << id;
            ASSERT_EQ(1, client.SendCommandText(kArchiveListDays, months[m].year, id.c_str(), months[m].month));
            const std::vector<uint8_t> days = Entries<uint8_t>(client.Answer(), client.Answer()->param1);
            EXPECT_EQ(Archive().days(source.index, months[m].year, months[m].month), days) << id;
            if (days.empty()) continue;

            // Every listed file of the last recorded day of the month is one of this source's.
            const uint32_t yearMonth = uint32_t(months[m].year) << 16 | months[m].month;
            ASSERT_EQ(1, client.SendCommandText(kArchiveListSessions, yearMonth, id.c_str(), days.back()));
            const std::vector<SessionEntry> sessions = Entries<SessionEntry>(client.Answer(), client.Answer()->param1);
            EXPECT_FALSE(sessions.empty()) << id;
            for (const SessionEntry& session : sessions) {
                const std::string fileName(session.fileName, strnlen(session.fileName, sizeof session.fileName));
                const recorder::Recording* rec = Archive().findFile(fileName);
                ASSERT_NE(nullptr, rec) << fileName;
                EXPECT_EQ(source.index, rec->source);
                EXPECT_EQ(rec->fileNumber, session.fileNumber);
            }
            sessionsSeen += sessions.size();
        }
    }
    EXPECT_GT(sessionsSeen, 0u);
}

TEST_F(RecorderChannelTest, OpenedFileGetsAStreamProxyWhoseFramesArriveDecoded) {
    ASSERT_NO_FATAL_FAILURE(StartManager());
    for (const auto& [width, height] : {std::pair<uint32_t, uint32_t>{704, 576}, {1600, 1200}}) {
        const recorder::Recording& rec = RecordingOfSize(width, height);
        ASSERT_EQ(1, OpenFile(rec.fileName)) << rec.fileName;
        const IcpRecord* opened = managerClient.Answer();
        ASSERT_GE(opened->dataLength, sizeof(FileDescription));
        FileDescription description;
        std::memcpy(&description, opened->data, sizeof description);
        EXPECT_EQ(width, description.info.width);
        EXPECT_EQ(height, description.info.height);
        EXPECT_EQ(rec.frameCount, description.frameCount);
        EXPECT_EQ(1u, playback->StreamUseCount(rec.fileName));

        const std::string proxyName = FrameSourceName(rec.fileName);
        EXPECT_EQ(std::string::npos, proxyName.find('\\'));
        ASSERT_TRUE(Registered(proxyName)) << proxyName;
        CFilterIcpClient stream;
        ASSERT_EQ(1, stream.Open(proxyName.c_str()));
        for (uint32_t frame : {0u, 1u, rec.frameCount / 2, rec.frameCount - 1}) {
            ASSERT_EQ(1, stream.SendCommand(kFrameSourceGetFrame, frame, 0, nullptr, 0)) << frame;
            const IcpRecord* answer = stream.Answer();
            EXPECT_EQ(kIcpEncodingPicture, answer->encoding);
            ASSERT_EQ(width * height * 3, answer->dataLength);
            EXPECT_EQ(Archive().holdTimeMs(rec, frame), answer->param3) << frame;
            EXPECT_EQ(kFrameAnswerCapacity, answer->capacity);

            // The pixels are exactly the served JPEG decoded.
            std::vector<uint8_t> jpeg = ServedJpeg(rec.fileName, frame);
            std::vector<uint8_t> pixels(width * height * 3);
            uint32_t size = uint32_t(jpeg.size());
            ASSERT_EQ(1, DecodeJpeg(jpeg.data(), size, pixels.data(), uint32_t(pixels.size())));
            EXPECT_EQ(0, std::memcmp(pixels.data(), answer->data, pixels.size())) << frame;
        }
    }
    EXPECT_EQ(2u, playback->StreamCount());
}

TEST_F(RecorderChannelTest, ProxyLivesUntilTheFileIsClosedAsOftenAsItWasOpened) {
    ASSERT_NO_FATAL_FAILURE(StartManager());
    const recorder::Recording& rec = RecordingOfSize(704, 576);
    const std::string proxyName = FrameSourceName(rec.fileName);

    ASSERT_EQ(1, OpenFile(rec.fileName));
    ASSERT_TRUE(Registered(proxyName));
    const platform::Hwnd window = CMessageQueueManager::FindQueue(proxyName);
    // The second open names the file in other letter case; it is the same file.
    ASSERT_EQ(1, OpenFile(Upper(rec.fileName)));
    EXPECT_EQ(1u, playback->StreamCount());
    EXPECT_EQ(2u, playback->StreamUseCount(rec.fileName));

    EXPECT_EQ(1, CloseFile(rec.fileName));
    EXPECT_EQ(1u, playback->StreamCount());
    EXPECT_EQ(1u, playback->StreamUseCount(Upper(rec.fileName)));
    EXPECT_EQ(window, CMessageQueueManager::FindQueue(proxyName));
    CFilterIcpClient stream;
    ASSERT_EQ(1, stream.Open(proxyName.c_str()));
    EXPECT_EQ(1, stream.SendCommand(kFrameSourceGetFrame, 3, 0, nullptr, 0));

    EXPECT_EQ(1, CloseFile(Upper(rec.fileName)));
    EXPECT_EQ(0u, playback->StreamCount());
    EXPECT_EQ(0u, playback->StreamUseCount(rec.fileName));
    EXPECT_TRUE(WaitFor([&] { return CMessageQueueManager::FindQueue(proxyName) == 0; }, 3000));
    EXPECT_EQ(0, stream.SendCommand(kFrameSourceGetFrame, 3, 0, nullptr, 0));
}

TEST_F(RecorderChannelTest, RefusedOpenMakesNoProxyAndAnswersKindSeven) {
    ASSERT_NO_FATAL_FAILURE(StartManager());
    EXPECT_EQ(0, OpenFile("D:\\Archive\\CAM01\\1999\\01\\01\\000000.avi"));
    EXPECT_EQ(0u, playback->StreamCount());
    EXPECT_EQ(uint32_t(kIcpCommandAnswer), managerClient.Answer()->kind);
    EXPECT_EQ(0u, managerClient.Answer()->dataLength);

    // A close of a file that is not listed still reaches the recorder,
    // whose refusal is the result.
    EXPECT_EQ(0, CloseFile("D:\\Archive\\CAM01\\1999\\01\\01\\000000.avi"));
    EXPECT_EQ(server->stats().requests, server->stats().refused + 1);  // only the login was served
}

TEST_F(RecorderChannelTest, ShutdownClosesEveryRemainingStreamProxy) {
    ASSERT_NO_FATAL_FAILURE(StartManager());
    const recorder::Recording& small = RecordingOfSize(704, 576);
    const recorder::Recording& large = RecordingOfSize(1600, 1200);
    ASSERT_EQ(1, OpenFile(small.fileName));
    ASSERT_EQ(1, OpenFile(small.fileName));
    ASSERT_EQ(1, OpenFile(large.fileName));
    ASSERT_TRUE(Registered(FrameSourceName(small.fileName)));
    ASSERT_TRUE(Registered(FrameSourceName(large.fileName)));
    EXPECT_EQ(2u, playback->StreamCount());

    managerClient.Close();
    playback.reset();
    for (const std::string& name : {FrameSourceName(small.fileName), FrameSourceName(large.fileName)}) {
        EXPECT_TRUE(WaitFor([&] { return CMessageQueueManager::FindQueue(name) == 0; }, 3000)) << name;
    }
    EXPECT_TRUE(WaitFor([&] { return CMessageQueueManager::FindQueue(kPlaybackManagerFilterName) == 0; }, 3000));
}

TEST_F(RecorderChannelTest, CloseAllStreamsEmptiesTheListAndTheManagerKeepsServing) {
    ASSERT_NO_FATAL_FAILURE(StartManager());
    const recorder::Recording& rec = RecordingOfSize(704, 576);
    ASSERT_EQ(1, OpenFile(rec.fileName));
    ASSERT_TRUE(Registered(FrameSourceName(rec.fileName)));
    EXPECT_EQ(1u, playback->CloseAllStreams());
    EXPECT_EQ(0u, playback->StreamCount());
    EXPECT_TRUE(WaitFor([&] { return CMessageQueueManager::FindQueue(FrameSourceName(rec.fileName)) == 0; }, 3000));
    EXPECT_EQ(0u, playback->CloseAllStreams());

    // The file is still open on the recorder; opening it again makes a new proxy.
    ASSERT_EQ(1, OpenFile(rec.fileName));
    EXPECT_EQ(1u, playback->StreamUseCount(rec.fileName));
    EXPECT_TRUE(Registered(FrameSourceName(rec.fileName)));
}

// Each fault of the stand-in fails the frame request, leaves the answer the
// player holds as it was, and the next request works again.
enum class Fault { Empty, Garbage, TruncatedJpeg, Drop, Stall };

class RecorderFaultTest : public RecorderChannelTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(RecorderFaultTest, FailsCleanlyAndTheNextFrameArrives) {
    ASSERT_NO_FATAL_FAILURE(StartManager());
    const recorder::Recording& rec = RecordingOfSize(704, 576);
    ASSERT_EQ(1, OpenFile(rec.fileName));
    ASSERT_TRUE(Registered(FrameSourceName(rec.fileName)));
    CFilterIcpClient stream;
    ASSERT_EQ(1, stream.Open(FrameSourceName(rec.fileName).c_str()));
    ASSERT_EQ(1, stream.SendCommand(kFrameSourceGetFrame, 10, 0, nullptr, 0));
    const IcpRecord* answer = stream.Answer();
    const std::vector<uint8_t> before(reinterpret_cast<const uint8_t*>(answer),
                                      reinterpret_cast<const uint8_t*>(answer) + kIcpHeaderSize + answer->dataLength);

    recorder::FaultConfig faults;
    int32_t expectedFailures = 0;
    switch (GetParam()) {
    case Fault::Empty: faults.emptyShare = 1; break;
    case Fault::Garbage: faults.garbageShare = 1; break;
    case Fault::TruncatedJpeg: faults.truncatedJpegShare = 1; break;
    case Fault::Drop:
        faults.dropShare = 1;
        expectedFailures = 1;
        break;
    case Fault::Stall: expectedFailures = 1; break;
    }
    server->setFaults(faults);
    if (GetParam() == Fault::Stall) {
        // Longer than the request waits for an answer that has stopped coming.
        server->stallFor((CHttpRequest::kStallTimeoutSeconds + 20) * 1000);
    }
    // A frame other than the one shown, so a half-decoded picture would differ.
    EXPECT_EQ(0, stream.SendCommand(kFrameSourceGetFrame, 40, 0, nullptr, 0));
    EXPECT_EQ(expectedFailures, ConsecutiveFailures());
    answer = stream.Answer();
    ASSERT_EQ(before.size(), kIcpHeaderSize + answer->dataLength);
    EXPECT_EQ(0, std::memcmp(before.data(), answer, before.size()));

    server->setFaults(recorder::FaultConfig{});
    ASSERT_EQ(1, stream.SendCommand(kFrameSourceGetFrame, 40, 0, nullptr, 0));
    EXPECT_EQ(704u * 576 * 3, stream.Answer()->dataLength);
    EXPECT_EQ(Archive().holdTimeMs(rec, 40), stream.Answer()->param3);
    EXPECT_EQ(0, ConsecutiveFailures());
}

INSTANTIATE_TEST_SUITE_P(Faults, RecorderFaultTest,
                         ::testing::Values(Fault::Empty, Fault::Garbage, Fault::TruncatedJpeg, Fault::Drop,
                                           Fault::Stall),
                         [](const ::testing::TestParamInfo<Fault>& info) {
                             switch (info.param) {
                             case Fault::Empty: return std::string("EmptyBody");
                             case Fault::Garbage: return std::string("Garbage");
                             case Fault::TruncatedJpeg: return std::string("TruncatedJpeg");
                             case Fault::Drop: return std::string("DroppedConnection");
                             case Fault::Stall: return std::string("StalledServer");
                             }
                             return std::string("Other");
                         });

}  // namespace
}  // namespace corvanta
