// Starting and stopping the server as tests and the executable do.

#include "RecorderTestSupport.h"

namespace corvanta::recorder::test {
namespace {

TEST(Lifecycle, PortZeroPicksAFreePortThatServesUntilStop) {
    RecorderServer server(testConfig());
    std::string error;
    ASSERT_TRUE(server.start(&error)) << error;
    EXPECT_TRUE(server.running());
    EXPECT_EQ(server.baseUrl(), "http://127.0.0.1:" + std::to_string(server.port()));
    const HttpResult before = httpGet(server.baseUrl() + "/Filter?Message&SID=&Name=x&Data=");
    EXPECT_TRUE(before.ok());
    EXPECT_FALSE(server.start(&error)) << "a server starts once";
    server.stop();
    EXPECT_FALSE(server.running());
    server.stop();  // a second stop is harmless
    EXPECT_EQ(httpGet(server.baseUrl() + "/Filter?Message&SID=&Name=x&Data=", 2000).code, CURLE_COULDNT_CONNECT);
}

TEST(Lifecycle, ABusyPortIsReportedNotWaitedFor) {
    RecorderServer first(testConfig());
    ASSERT_TRUE(first.start());
    RecorderConfig c = testConfig();
    c.port = first.port();
    RecorderServer second(c);
    std::string error;
    EXPECT_FALSE(second.start(&error));
    EXPECT_NE(error.find(std::to_string(first.port())), std::string::npos) << error;
    EXPECT_FALSE(second.running());
}

TEST(Lifecycle, StatisticsCountRequestsAndRefusals) {
    RecorderServer server(testConfig());
    ASSERT_TRUE(server.start());
    httpGet(server.baseUrl() + "/Filter?Message&SID=&Name=x&Data=");
    httpGet(server.baseUrl() + "/nothing");
    const RecorderStats s = server.stats();
    EXPECT_EQ(s.requests, 2u);
    EXPECT_EQ(s.refused, 2u);
    EXPECT_EQ(s.faulted, 0u);
}

}  // namespace
}  // namespace corvanta::recorder::test
