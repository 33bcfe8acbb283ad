#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "remote/HttpRequest.h"
#include "TestHttpServer.h"

namespace corvanta {
namespace {

using test::TestHttpServer;

class HttpRequestTest : public ::testing::Test {
protected:
    void SetUp() override { SetConsecutiveFailures(0); }
    void TearDown() override { SetConsecutiveFailures(0); }

    // A fresh request, as every exchange with the recorder makes one.
    static int32_t Fetch(const std::string& url, uint32_t* received = nullptr) {
        CHttpRequest request;
        const int32_t result = request.Get(url);
        if (received != nullptr) {
            *received = request.ReceivedCount();
        }
        return result;
    }

    std::string ClosedUrl() const { return "http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/Filter"; }

    TestHttpServer server;
};

TEST_F(HttpRequestTest, SendsAPlainGetWithUserAgentZQAndBlanksAsPercent20) {
    CHttpRequest request;
    ASSERT_EQ(1, request.Get(server.BaseUrl() + "/Filter?Message&SID=S1&Name=AVIPlayback Manager&Data=0A1B"));
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("GET /Filter?Message&SID=S1&Name=AVIPlayback%20Manager&Data=0A1B HTTP/1.1\r\n"
              "Host: 127.0.0.1:" + std::to_string(server.Port()) + "\r\n"
              "User-Agent: ZQ\r\n"
              "Accept: */*\r\n"
              "\r\n",
              requests[0]);
}

TEST_F(HttpRequestTest, BodyLandsInBufferFollowedByNul) {
    std::string body("\x00\x01binary\xFF", 9);
    server.SetAnswer(body);
    CHttpRequest request;
    ASSERT_EQ(1, request.Get(server.BaseUrl() + "/Filter"));
    ASSERT_EQ(body.size(), request.ReceivedCount());
    EXPECT_EQ(0, std::memcmp(body.data(), request.Buffer(), body.size()));
    EXPECT_EQ(0, request.Buffer()[body.size()]);
    EXPECT_FALSE(request.Truncated());
}

TEST_F(HttpRequestTest, HttpStatusIsNotExamined) {
    server.SetAnswer("<html>not found</html>", "404 Not Found");
    CHttpRequest request;
    ASSERT_EQ(1, request.Get(server.BaseUrl() + "/Filter"));
    EXPECT_STREQ("<html>not found</html>", request.Text());
}

TEST_F(HttpRequestTest, EmptyBodyIsAnAnswerOfNoBytes) {
    server.SetAnswer("");
    CHttpRequest request;
    ASSERT_EQ(1, request.Get(server.BaseUrl() + "/Filter"));
    EXPECT_EQ(0u, request.ReceivedCount());
    EXPECT_EQ(0, request.Buffer()[0]);
}

TEST_F(HttpRequestTest, RedirectIsTakenAsTheAnswer) {
    server.SetAnswer("moved", "302 Found", "Location: /elsewhere\r\n");
    CHttpRequest request;
    ASSERT_EQ(1, request.Get(server.BaseUrl() + "/Filter"));
    EXPECT_STREQ("moved", request.Text());
    EXPECT_EQ(1u, server.Requests().size());
}

TEST_F(HttpRequestTest, BodyOfTheBoundIsKeptWhole) {
    std::string body(CHttpRequest::kMaxBody, 'a');
    body.back() = 'z';
    server.SetAnswer(body);
    CHttpRequest request;
    ASSERT_EQ(1, request.Get(server.BaseUrl() + "/Filter"));
    EXPECT_EQ(CHttpRequest::kMaxBody, request.ReceivedCount());
    EXPECT_EQ('z', request.Text()[CHttpRequest::kMaxBody - 1]);
    EXPECT_EQ(0, request.Buffer()[CHttpRequest::kMaxBody]);
    EXPECT_FALSE(request.Truncated());
}

TEST_F(HttpRequestTest, LongerBodyIsCutToTheBound) {
    std::string body;
    for (uint32_t i = 0; i < CHttpRequest::kMaxBody + 70000; ++i) {
        body += static_cast<char>('a' + i % 26);
    }
    server.SetAnswer(body);
    SetConsecutiveFailures(4);
    CHttpRequest request;
    ASSERT_EQ(1, request.Get(server.BaseUrl() + "/Filter"));
    EXPECT_EQ(CHttpRequest::kMaxBody, request.ReceivedCount());
    EXPECT_TRUE(request.Truncated());
    EXPECT_EQ(0, std::memcmp(body.data(), request.Buffer(), CHttpRequest::kMaxBody));
    EXPECT_EQ(0, request.Buffer()[CHttpRequest::kMaxBody]);
    EXPECT_EQ(0, ConsecutiveFailures());

    // The cut connection is not reused by mistake: the next answer is whole.
    server.SetAnswer("next");
    CHttpRequest next;
    ASSERT_EQ(1, next.Get(server.BaseUrl() + "/Filter"));
    EXPECT_STREQ("next", next.Text());
}

TEST_F(HttpRequestTest, OnlyHttpUrlsAreTriedAndRefusalsAreNotCounted) {
    SetConsecutiveFailures(5);
    const std::string hostAndPath = "127.0.0.1:" + std::to_string(server.Port()) + "/Filter";
    for (const std::string& url : {"https://" + hostAndPath, "ftp://" + hostAndPath, hostAndPath,
                                   std::string("http://"), std::string("http:/") + hostAndPath,
                                   std::string(""), "http://127.0.0.1:" + std::to_string(server.Port()) + "/a\x01"}) {
        CHttpRequest request;
        EXPECT_EQ(0, request.Get(url)) << url;
        EXPECT_EQ(0u, request.ReceivedCount());
        EXPECT_EQ(5, ConsecutiveFailures()) << url;
    }
    EXPECT_EQ(0, server.Connections());
}

TEST_F(HttpRequestTest, SchemeIsMatchedWithoutRegardToCase) {
    CHttpRequest request;
    EXPECT_EQ(1, request.Get("HTTP://127.0.0.1:" + std::to_string(server.Port()) + "/Filter"));
}

TEST(HttpConnectTimeout, ShrinksWithConsecutiveFailures) {
    EXPECT_EQ(2000u, CHttpRequest::ConnectTimeoutFor(0));
    EXPECT_EQ(2000u, CHttpRequest::ConnectTimeoutFor(2));
    EXPECT_EQ(100u, CHttpRequest::ConnectTimeoutFor(3));
    EXPECT_EQ(100u, CHttpRequest::ConnectTimeoutFor(10));
    EXPECT_EQ(50u, CHttpRequest::ConnectTimeoutFor(11));
    EXPECT_EQ(50u, CHttpRequest::ConnectTimeoutFor(100000));
}

TEST_F(HttpRequestTest, FailuresAgainstAClosedPortShortenTheConnectTimeOut) {
    const std::string closed = ClosedUrl();
    for (int i = 1; i <= 3; ++i) {
        CHttpRequest request;
        EXPECT_EQ(2000u, request.ConnectTimeoutMs()) << i;
        uint32_t received = 1;
        EXPECT_EQ(0, Fetch(closed, &received));
        EXPECT_EQ(0u, received);
        EXPECT_EQ(i, ConsecutiveFailures());
    }
    for (int i = 4; i <= 11; ++i) {
        CHttpRequest request;
        EXPECT_EQ(100u, request.ConnectTimeoutMs()) << i;
        EXPECT_EQ(0, request.Get(closed));
        EXPECT_EQ(i, ConsecutiveFailures());
    }
    CHttpRequest fast;
    EXPECT_EQ(50u, fast.ConnectTimeoutMs());

    // One success brings every later request back to the full time-out.
    EXPECT_EQ(1, Fetch(server.BaseUrl() + "/Filter"));
    EXPECT_EQ(0, ConsecutiveFailures());
    CHttpRequest after;
    EXPECT_EQ(2000u, after.ConnectTimeoutMs());
}

TEST_F(HttpRequestTest, ConsecutiveRequestsShareOneKeptAliveConnection) {
    for (int i = 0; i < 5; ++i) {
        server.SetAnswer("frame " + std::to_string(i));
        CHttpRequest request;
        ASSERT_EQ(1, request.Get(server.BaseUrl() + "/Filter"));
        EXPECT_EQ("frame " + std::to_string(i), std::string(request.Text()));
    }
    EXPECT_EQ(5u, server.Requests().size());
    EXPECT_EQ(1, server.Connections());
}

TEST_F(HttpRequestTest, EachLiveRequestOwnsItsBufferAndEndedOnesPassItOn) {
    const uint8_t* first;
    {
        CHttpRequest a;
        CHttpRequest b;
        EXPECT_NE(a.Buffer(), b.Buffer());
        server.SetAnswer("from a");
        ASSERT_EQ(1, a.Get(server.BaseUrl() + "/Filter"));
        server.SetAnswer("from b");
        ASSERT_EQ(1, b.Get(server.BaseUrl() + "/Filter"));
        EXPECT_STREQ("from a", a.Text());
        EXPECT_STREQ("from b", b.Text());
        first = b.Buffer();  // b ends first, so its buffer is the one kept
    }
    // The next request on this thread takes a returned buffer instead of
    // allocating, and starts out empty all the same.
    CHttpRequest next;
    EXPECT_EQ(0u, next.ReceivedCount());
    EXPECT_EQ(0, next.Buffer()[0]);
    EXPECT_EQ(first, next.Buffer());
}

TEST_F(HttpRequestTest, EachThreadKeepsItsOwnConnectionAlive) {
    server.SetAnswer("shared");
    std::atomic<int> answered{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20; ++i) {
                CHttpRequest request;
                if (request.Get(server.BaseUrl() + "/Filter") == 1 && std::string(request.Text()) == "shared") {
                    answered++;
                }
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(80, answered.load());
    EXPECT_EQ(80u, server.Requests().size());
    // Each thread keeps its own connection alive for all its requests.
    EXPECT_EQ(4, server.Connections());
}

// Each fault fails the request, counts once, and the next request on a
// sound server works again.
class HttpFaultTest : public HttpRequestTest, public ::testing::WithParamInterface<TestHttpServer::Mode> {};

TEST_P(HttpFaultTest, FailsCleanlyAndTheNextRequestWorks) {
    server.SetAnswer(std::string(5000, 'x'));
    // Warm a kept-alive connection first so that the fault also meets a
    // reused connection, not just a fresh one.
    ASSERT_EQ(1, Fetch(server.BaseUrl() + "/Filter"));

    server.SetMode(GetParam());
    CHttpRequest request;
    EXPECT_EQ(0, request.Get(server.BaseUrl() + "/Filter?fault"));
    EXPECT_EQ(0u, request.ReceivedCount());
    EXPECT_EQ(0, request.Buffer()[0]);
    EXPECT_EQ(1, ConsecutiveFailures());

    server.SetMode(TestHttpServer::Mode::Answer);
    server.SetAnswer("recovered");
    CHttpRequest next;
    ASSERT_EQ(1, next.Get(server.BaseUrl() + "/Filter"));
    EXPECT_STREQ("recovered", next.Text());
    EXPECT_EQ(0, ConsecutiveFailures());
}

INSTANTIATE_TEST_SUITE_P(Faults, HttpFaultTest,
                         ::testing::Values(TestHttpServer::Mode::Drop, TestHttpServer::Mode::Stall,
                                           TestHttpServer::Mode::ShortBody, TestHttpServer::Mode::Garbage),
                         [](const ::testing::TestParamInfo<TestHttpServer::Mode>& info) {
                             switch (info.param) {
                             case TestHttpServer::Mode::Drop: return std::string("DroppedConnection");
                             case TestHttpServer::Mode::Stall: return std::string("StalledServer");
                             case TestHttpServer::Mode::ShortBody: return std::string("ShortBody");
                             case TestHttpServer::Mode::Garbage: return std::string("Garbage");
                             default: return std::string("Other");
                             }
                         });

}  // namespace
}  // namespace corvanta
