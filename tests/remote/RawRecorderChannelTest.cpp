// The raw channel against the raw loopback server: its own recorder and
// session, the answer handed over undecoded, and every body it must refuse.

#include <gtest/gtest.h>

#include <string>

#include "RemoteTestSupport.h"
#include "remote/RawRecorderChannel.h"
#include "remote/RecorderInterface.h"

namespace corvanta {
namespace {

using Mode = test::TestHttpServer::Mode;

// Not a JPEG that decodes: the channel must not try.
const std::string kPicture = std::string("\xFF\xD8", 2) + "not decoded" + std::string("\xFF\xD9", 2);

class RawRecorderChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetConsecutiveFailures(0);
        // The process-wide recorder is another: the channel keeps to its own.
        SetFilterServerURL("http://127.0.0.1:1");
        SetSessionId("PROCESS");
    }
    void TearDown() override { test::ForgetRecorder(); }

    test::TestHttpServer server;
    CRawRecorderChannel channel{server.BaseUrl(), "OWN42"};
};

TEST_F(RawRecorderChannelTest, AFrameArrivesAsTheBytesTheRecorderSent) {
    IcpHeader header = test::Header(uint32_t(kPicture.size()), kIcpEncodingPicture);
    header.param2 = 1234;
    server.SetAnswer(test::RecordBody(header, kPicture));
    ASSERT_TRUE(channel.GetFrame("D:\\Archive\\CAM01\\083000.avi", 17));
    EXPECT_EQ(kPicture, std::string(reinterpret_cast<const char*>(channel.Data().data()), channel.Data().size()));
    EXPECT_EQ(1234u, channel.Header().param2);
    ASSERT_EQ(1u, server.Requests().size());
    const std::string request = server.Requests().front();
    EXPECT_NE(std::string::npos, request.find("/Filter?Message&SID=OWN42&Name=D:%20Archive%20CAM01%20083000.avi&Data="))
        << request;

    // A frame answer without a picture is no frame.
    server.SetAnswer(test::RecordBody(test::Header(4), "abcd"));
    EXPECT_FALSE(channel.GetFrame("f", 1));
    EXPECT_TRUE(channel.Command("f", kFrameSourceGetFrame, 1, 0));
    EXPECT_EQ("abcd", std::string(reinterpret_cast<const char*>(channel.Data().data()), channel.Data().size()));
}

TEST_F(RawRecorderChannelTest, BodiesThatAreNoWholeRecordAreRefused) {
    // Shorter than its own dataLength: nothing is read past the body.
    server.SetAnswer(test::RecordBody(test::Header(100, kIcpEncodingPicture), kPicture, ""));
    EXPECT_FALSE(channel.GetFrame("f", 0));
    EXPECT_TRUE(channel.Data().empty());
    server.SetAnswer(std::string(40, 'x'));  // shorter than a header
    EXPECT_FALSE(channel.Command("f", 6, 0, 0));
    server.SetAnswer("");  // the recorder's refusal
    EXPECT_FALSE(channel.Command("f", 6, 0, 0));
    EXPECT_FALSE(channel.NoAnswer());
    server.SetAnswer(test::RecordBody(test::Header(0), ""), "404 Not Found");
    EXPECT_FALSE(channel.Command("f", 6, 0, 0));
    EXPECT_FALSE(channel.NoAnswer());
    server.SetMode(Mode::Drop);
    EXPECT_FALSE(channel.Command("f", 6, 0, 0));
    EXPECT_TRUE(channel.NoAnswer());
}

}  // namespace
}  // namespace corvanta
