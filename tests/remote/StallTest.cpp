#include <gtest/gtest.h>

#include "recorder/RecorderServer.h"
#include "remote/HttpRequest.h"

namespace corvanta {
namespace {

TEST(HttpStall, AfterAStallOrdinaryRequestsGiveUpSoonerUntilAnAnswer) {
    // After a stall the ordinary wait shrinks; a request that waits for a slow answer keeps its wait.
    const uint32_t ordinary = CHttpRequest::kStallTimeoutSeconds, slow = CHttpRequest::kSlowAnswerStallTimeoutSeconds;
    EXPECT_EQ(std::tuple(ordinary, CHttpRequest::kAfterStallTimeoutSeconds, slow),
              std::tuple(CHttpRequest::StallTimeoutFor(0, ordinary), CHttpRequest::StallTimeoutFor(1, ordinary),
                         CHttpRequest::StallTimeoutFor(7, slow)));

    recorder::RecorderServer server(
        {.port = 0, .anchorDate = {}, .frames = {}, .sessions = {}, .faults = {}, .log = [](const std::string&) {}});
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
