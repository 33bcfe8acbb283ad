#include "RecorderTestSupport.h"

namespace corvanta::recorder::test {
namespace {

class BadRequestTest : public RecorderFixture {
protected:
    void TearDown() override { EXPECT_FALSE(refused(kArchiveQueryFilterName, kArchiveListSources)) << "the server still serves"; }

    HttpResult get(const std::string& hex, const std::string& path = "/Filter?Message") const {
        return httpGet(server_->baseUrl() + path + "&SID=" + sid_ + "&Name=AVIArchive%20Query&Data=" + hex);
    }
};

TEST_F(BadRequestTest, MalformedTargetsAndRecordsGetAnEmptyBody) {
    const std::string sources = hexOf(makeRequestRecord(kIcpCommand, kArchiveListSources, 0, 0, {}));
    const std::string months = makeRequestRecord(kIcpCommand, kArchiveListMonths, 0, 0, textData("CAM01"));
    std::string huge = months;
    huge.replace(offsetof(IcpHeader, dataLength), 4, std::string(4, '\xFF'));
    const std::pair<HttpResult, const char*> cases[] = {
        {get(sources.substr(0, 10) + "ZZ" + sources.substr(12)), "non-hex digits"},
        {httpGet(server_->baseUrl() + "/Filter?Message&SID=" + sid_ + "&Name=AVIArchive%20Query"), "no Data"},
        {get(sources, "/Other?Message"), "another path"},
        {get(hexOf(months.substr(0, 20))), "shorter than a header"},
        {get(hexOf(months.substr(0, kIcpHeaderSize + 3))), "data cut short"},
        {get(hexOf(huge)), "a data length that would wrap the bounds check"},
    };
    for (const auto& [r, what] : cases) EXPECT_TRUE(r.ok() && r.body.empty()) << what << ": " << r.body.size() << " bytes";

    // What the viewer's channel itself tolerates is served.
    std::string lower = sources;
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    const std::string unterminated = hexOf(makeRequestRecord(kIcpCommand, kArchiveListMonths, 0, 0, Bytes{'C', 'A', 'M', '0', '1'}));
    for (const std::string& hex : {sources + "A", lower, hexOf(months.substr(0, months.size() - 4)), unterminated}) {
        auto d = decodeAnswer(get(hex).body);
        EXPECT_TRUE(d && d->header.param1 > 0) << hex;
    }
}

TEST_F(BadRequestTest, CommandsWithBadArgumentsOrNoSessionGetAnEmptyBody) {
    auto window = [](SystemTime from, SystemTime to) { return timeQuery(from, to, "CAM01"); };
    Bytes shortLogin = bytesOf(loginRecord("demo", "demo"));
    shortLogin.resize(60);
    Bytes longSource = window(wireTime(2024, 3, 1), wireTime(2024, 3, 1, 1));
    std::memset(longSource.data() + offsetof(TimeQuery, sourceId), 'C', sizeof(TimeQuery::sourceId));
    struct Case {
        std::string filter;
        uint32_t code, p1, p2;
        Bytes data;
        const char* what;
    };
    const Case cases[] = {
        {kUserPrivilegeFilterName, kPrivilegeLogIn, 0, 0, shortLogin, "login record cut short"},
        {kArchiveQueryFilterName, kArchiveSearch, 0, 0, longSource, "source id without its NUL"},
        {"No Such Filter", kFrameSourceGetFrame, 0, 0, {}, "unknown filter"},
        {kArchiveQueryFilterName, kArchiveListSessions, (2024u << 16) | 2, 30, textData("CAM01"), "30 February"},
        {kArchiveQueryFilterName, kArchiveSelectFile, 0xFFFFFF, 0, textData("CAM01"), "unknown file number"},
        {kArchiveQueryFilterName, kArchiveDayActivity, 0, 0, window(wireTime(2024, 2, 28), wireTime(2024, 3, 1)), "longer than a day"},
        {kArchiveQueryFilterName, kArchiveSecondIndex, 0, 0, window(wireTime(2024, 3, 1, 2), wireTime(2024, 3, 1, 1)), "reversed"},
        {kPlaybackManagerFilterName, 65000, 0, 0, {}, "unknown command"},
    };
    for (const Case& c : cases) EXPECT_TRUE(refused(c.filter, c.code, c.p1, c.p2, c.data)) << c.what << ": " << c.code;
    for (const char* sid : {"", "0123456789ABCDEF"})
        EXPECT_TRUE(send(kArchiveQueryFilterName, sid, kArchiveListSources).body.empty()) << "session \"" << sid << '"';
}

// Not HTTP at all, an overlong head and a request that stops half-way get no body;
// a request line with raw blanks, as the viewer sends it, is served.
TEST_F(BadRequestTest, NonsenseOnTheWireGetsNoBodyAndRawBlanksAreAccepted) {
    auto body = [&](const std::string& request) {
        const std::string reply = rawExchange(server_->port(), request);
        const size_t head = reply.find("\r\n\r\n");
        return head == std::string::npos ? std::string() : reply.substr(head + 4);
    };
    for (const std::string& junk : {std::string("garbage\r\n\r\n"), std::string(70000, 'A'), std::string("GET /Fil")})
        EXPECT_EQ(body(junk), "") << junk.substr(0, 20);
    const std::string file = sessionsOn("CAM03", 1).at(0).fileName;
    const std::string record = makeRequestRecord(kIcpCommand, kPlaybackOpenFile, 0, 0, textData(file));
    auto opened = decodeAnswer(body("GET /Filter?Message&SID=" + sid_ + "&Name=AVIPlayback Manager&Data=" + hexOf(record) +
                                    " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n"));
    EXPECT_TRUE(opened && opened->data.size() == sizeof(FileDescription));
}

}  // namespace
}  // namespace corvanta::recorder::test
