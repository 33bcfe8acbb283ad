// Requests the recorder cannot serve get an empty body, and the server keeps
// serving afterwards.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "RecorderTestSupport.h"

namespace corvanta::recorder::test {
namespace {

class BadRequestTest : public RecorderFixture {
protected:
    void SetUp() override {
        RecorderFixture::SetUp();
        sid_ = logIn();
        ASSERT_FALSE(sid_.empty());
    }

    void TearDown() override {
        // Whatever came before, the server still answers a good request.
        const HttpResult r = send(kArchiveQueryFilterName, sid_, kArchiveListSources);
        ASSERT_TRUE(r.ok());
        EXPECT_FALSE(r.body.empty());
    }

    std::string hexOf(const std::string& record) const {
        return encodeHex({reinterpret_cast<const uint8_t*>(record.data()), record.size()});
    }

    void expectEmpty(const std::string& target, const char* what) {
        const HttpResult r = httpGet(server_->baseUrl() + target);
        ASSERT_TRUE(r.ok()) << what << ": " << curl_easy_strerror(r.code);
        EXPECT_TRUE(r.body.empty()) << what << " gave " << r.body.size() << " bytes";
    }

    std::string sid_;
};

TEST_F(BadRequestTest, MalformedQueriesAndHex) {
    const std::string good = hexOf(makeRequestRecord(kIcpCommand, kArchiveListSources, 0, 0, {}));
    const std::string base = "/Filter?Message&SID=" + sid_ + "&Name=AVIArchive%20Query";
    expectEmpty(base + "&Data=" + good.substr(0, 10) + "ZZ" + good.substr(12), "non-hex digits");
    expectEmpty(base + "&Data=" + good + "G", "an odd last character that is no hex digit");
    expectEmpty(base + "&Data=%2", "a broken escape");
    expectEmpty(base, "no Data");
    expectEmpty("/Filter?SID=" + sid_ + "&Name=AVIArchive%20Query&Data=" + good, "no Message marker");
    expectEmpty("/Other?Message&SID=" + sid_ + "&Name=AVIArchive%20Query&Data=" + good, "another path");
    // The same request with the right path and marker is served.
    EXPECT_FALSE(httpGet(server_->baseUrl() + base + "&Data=" + good).body.empty());
    // An odd last hex digit is ignored, as the channel's own decoding does.
    EXPECT_FALSE(httpGet(server_->baseUrl() + base + "&Data=" + good + "A").body.empty());
}

TEST_F(BadRequestTest, RecordsShorterThanTheirHeaderSays) {
    const std::string base = "/Filter?Message&SID=" + sid_ + "&Name=AVIArchive%20Query&Data=";
    const std::string full = makeRequestRecord(kIcpCommand, kArchiveListMonths, 0, 0, textData("CAM01"));
    expectEmpty(base + hexOf(full.substr(0, 20)), "shorter than a header");
    expectEmpty(base + hexOf(full.substr(0, kIcpHeaderSize + 3)), "data cut short");
    expectEmpty(base, "no bytes at all");
    // Without the 4 spare bytes the record is still whole.
    EXPECT_FALSE(httpGet(server_->baseUrl() + base + hexOf(full.substr(0, full.size() - 4))).body.empty());

    // Fixed records shorter than their layout.
    LoginRecord login = loginRecord("demo", "demo");
    std::vector<uint8_t> shortLogin = bytesOf(login);
    shortLogin.resize(60);
    EXPECT_TRUE(send(kUserPrivilegeFilterName, "", kPrivilegeLogIn, 0, 0, shortLogin).body.empty());
    std::memset(login.userName, 'x', sizeof login.userName);
    EXPECT_TRUE(send(kUserPrivilegeFilterName, "", kPrivilegeLogIn, 0, 0, bytesOf(login)).body.empty())
        << "a user name without its NUL";
    std::vector<uint8_t> shortQuery = bytesOf(timeQuery(wireTime(2024, 3, 1, 0, 0, 0), wireTime(2024, 3, 1, 1, 0, 0), "CAM01"));
    shortQuery.resize(100);
    for (uint32_t code : {kArchiveSearch, kArchiveDayActivity, kArchiveSecondIndex})
        EXPECT_TRUE(send(kArchiveQueryFilterName, sid_, code, 0, 0, shortQuery).body.empty()) << code;
}

TEST_F(BadRequestTest, UnknownFiltersSessionsAndCommands) {
    EXPECT_TRUE(send("No Such Filter", sid_, kFrameSourceGetFrame).body.empty());
    EXPECT_TRUE(send(kArchiveQueryFilterName, "", kArchiveListSources).body.empty()) << "no session";
    EXPECT_TRUE(send(kArchiveQueryFilterName, "0123456789ABCDEF", kArchiveListSources).body.empty()) << "unknown session";
    for (const char* filter : {kArchiveQueryFilterName, kPlaybackManagerFilterName, kUserPrivilegeFilterName})
        for (uint32_t code : {0u, 9u, 99u, 65000u}) EXPECT_TRUE(send(filter, sid_, code).body.empty()) << filter << " " << code;

    // A kind other than a command (here a settings GET) is not served either.
    const std::string get = makeRequestRecord(kIcpGet, 0, 0, 0, textData("FilterDisplayName"));
    expectEmpty("/Filter?Message&SID=" + sid_ + "&Name=AVIArchive%20Query&Data=" + hexOf(get), "a GET record");
}

TEST_F(BadRequestTest, ArchiveArgumentsOutOfRange) {
    EXPECT_TRUE(send(kArchiveQueryFilterName, sid_, kArchiveListMonths, 0, 0, textData("CAM99")).body.empty());
    EXPECT_TRUE(send(kArchiveQueryFilterName, sid_, kArchiveListDays, 2024, 13, textData("CAM01")).body.empty());
    EXPECT_TRUE(send(kArchiveQueryFilterName, sid_, kArchiveListDays, 2024, 0, textData("CAM01")).body.empty());
    EXPECT_TRUE(send(kArchiveQueryFilterName, sid_, kArchiveListSessions, (2024u << 16) | 2, 30, textData("CAM01")).body.empty())
        << "February 30th";
    EXPECT_TRUE(send(kArchiveQueryFilterName, sid_, kArchiveSelectFile, 0xFFFFFF, 0, textData("CAM01")).body.empty());
    EXPECT_TRUE(send(kArchiveQueryFilterName, sid_, kArchiveSearch, 0, 0,
                     bytesOf(timeQuery(wireTime(2024, 3, 1, 25, 0, 0), wireTime(2024, 3, 1, 1, 0, 0), "CAM01"))).body.empty())
        << "hour 25";
    EXPECT_TRUE(send(kArchiveQueryFilterName, sid_, kArchiveDayActivity, 0, 0,
                     bytesOf(timeQuery(wireTime(2024, 2, 28, 0, 0, 0), wireTime(2024, 3, 1, 0, 0, 0), "CAM01"))).body.empty())
        << "a window longer than a day";
    EXPECT_TRUE(send(kArchiveQueryFilterName, sid_, kArchiveSecondIndex, 0, 0,
                     bytesOf(timeQuery(wireTime(2024, 3, 1, 2, 0, 0), wireTime(2024, 3, 1, 1, 0, 0), "CAM01"))).body.empty())
        << "a window that ends before it starts";
    TimeQuery unterminated = timeQuery(wireTime(2024, 3, 1, 0, 0, 0), wireTime(2024, 3, 1, 1, 0, 0), "");
    std::memset(unterminated.sourceId, 'C', sizeof unterminated.sourceId);
    EXPECT_TRUE(send(kArchiveQueryFilterName, sid_, kArchiveSearch, 0, 0, bytesOf(unterminated)).body.empty());
}

TEST_F(BadRequestTest, NonsenseOnTheWireLeavesTheServerRunning) {
    // Not HTTP at all, an overlong head and a request that stops half-way.
    for (const std::string& junk : {std::string("garbage\r\n\r\n"), std::string(70000, 'A'), std::string("GET /Fil")}) {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(server_->port()));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ::send(s, junk.data(), junk.size(), MSG_NOSIGNAL);
        ::shutdown(s, SHUT_WR);
        char buf[4096];
        std::string reply;
        ssize_t n;
        while ((n = ::recv(s, buf, sizeof buf, 0)) > 0) reply.append(buf, size_t(n));
        ::close(s);
        // Either no answer or an answer without a body.
        const size_t head = reply.find("\r\n\r\n");
        EXPECT_TRUE(head == std::string::npos || head + 4 == reply.size()) << reply.substr(0, 200);
    }
}

}  // namespace
}  // namespace corvanta::recorder::test
