// A recorder that stops answering: one long wait, then short ones until it
// answers again.

#include <gtest/gtest.h>

#include "recorder/RecorderServer.h"
#include "remote/HttpRequest.h"

namespace corvanta {
namespace {

TEST(HttpStall, AfterAStallOrdinaryRequestsGiveUpSoonerUntilAnAnswer) {
    struct Case {
        int32_t stalls;
        uint32_t requested, expected;
    } cases[] = {
        {0, CHttpRequest::kStallTimeoutSeconds, CHttpRequest::kStallTimeoutSeconds},
        {1, CHttpRequest::kStallTimeoutSeconds, CHttpRequest::kAfterStallTimeoutSeconds},
        {7, CHttpRequest::kStallTimeoutSeconds, CHttpRequest::kAfterStallTimeoutSeconds},
        {7, CHttpRequest::kSlowAnswerStallTimeoutSeconds, CHttpRequest::kSlowAnswerStallTimeoutSeconds},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CHttpRequest::StallTimeoutFor(c.stalls, c.requested), c.expected) << c.stalls << " " << c.requested;

    recorder::RecorderServer server({.port = 0, .log = [](const std::string&) {}});
    ASSERT_TRUE(server.start());
    const std::string url = server.baseUrl() + "/Filter?Message&SID=&Name=x&Data=";
    SetConsecutiveStalls(0);
    server.stallFor(60000);
    CHttpRequest first;
    first.SetStallTimeoutSeconds(1);  // the ordinary wait would only make the test slower
    EXPECT_EQ(first.Get(url), 0);
    EXPECT_EQ(ConsecutiveStalls(), 1);
    EXPECT_EQ(CHttpRequest().Get(url), 0);
    EXPECT_EQ(ConsecutiveStalls(), 2);

    server.setFaults({});  // ends the stall
    EXPECT_EQ(CHttpRequest().Get(url), 1);
    EXPECT_EQ(ConsecutiveStalls(), 0);
    SetConsecutiveFailures(0);
}

}  // namespace
}  // namespace corvanta
