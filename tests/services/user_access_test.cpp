// User access against the recorder stand-in in this process: the proxy
// "Main User Privilege" with its remembered privilege answers, the login
// exchange, LogOff and CheckPrivilege; and, against a local stand-in filter,
// the order in which a second login replaces the session id.

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "framework/CFilter.h"
#include "framework/CFilterIcpClient.h"
#include "remote/RemoteSession.h"
#include "services/CUserPrivilegeProxy.h"
#include "services/UserAccess.h"
#include "services/recorder_world.h"
#include "services/service_test_env.h"

using namespace corvanta;
using corvanta::test::ServiceWorld;

namespace {

constexpr char kLoginPrivilege[] = "User Access - Http server login";

class UserAccessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(recorder.Started());
        ASSERT_EQ(proxy.Startup(), 1);
        ASSERT_TRUE(ServiceWorld::Registered(kUserPrivilegeFilterName));
    }

    uint64_t Requests() const { return recorder.Requests(); }
    std::vector<std::string> LinesFor(uint32_t code) { return recorder.PrivilegeLines(code); }
    static bool Answered(const std::string& line) { return test::RecorderWorld::Answered(line); }

    ServiceWorld world;
    test::RecorderWorld recorder;
    CUserPrivilegeProxy proxy;
};

}  // namespace

// --- Logging in and off ------------------------------------------------------

TEST_F(UserAccessTest, OnlyAnAcceptedLoginChangesTheSession) {
    EXPECT_EQ(LogIn("demo", "wrong").loggedIn, 0);
    EXPECT_EQ(SessionId(), "");

    LoginOutcome accepted = LogIn("demo", "demo");
    EXPECT_EQ(accepted.loggedIn, 1);
    EXPECT_EQ(accepted.loggedOff, 0);
    const std::string id = SessionId();
    EXPECT_EQ(id.size(), 16u);
    EXPECT_EQ(id.find_first_not_of("0123456789ABCDEF"), std::string::npos) << id;
    LoginOutcome again = LogIn("nobody", "demo");
    EXPECT_EQ(again.loggedIn, 0);
    EXPECT_EQ(again.loggedOff, 0);
    EXPECT_EQ(SessionId(), id);
    EXPECT_TRUE(LinesFor(11).empty());
    EXPECT_EQ(CheckPrivilege("still live"), 1);
}

TEST_F(UserAccessTest, LogOffWithoutASessionSendsNothing) {
    const uint64_t before = Requests();
    EXPECT_EQ(LogOff(), 0);
    EXPECT_EQ(Requests(), before);
    EXPECT_TRUE(LinesFor(11).empty());
}

// --- Privilege checks and the proxy's memory ---------------------------------

TEST_F(UserAccessTest, TwoChecksOfOnePrivilegeReachTheRecorderOnce) {
    ASSERT_EQ(LogIn("demo", "demo").loggedIn, 1);
    const uint64_t before = Requests();
    EXPECT_EQ(CheckPrivilege(kLoginPrivilege), 1);
    EXPECT_EQ(Requests(), before + 1);
    EXPECT_EQ(CheckPrivilege(kLoginPrivilege), 1);
    EXPECT_EQ(Requests(), before + 1);
    EXPECT_EQ(LinesFor(8).size(), 1u);
    EXPECT_EQ(CheckPrivilege("another privilege"), 1);
    EXPECT_EQ(Requests(), before + 2);
    EXPECT_EQ(proxy.CachedAnswers(), 2u);
}

TEST_F(UserAccessTest, ARememberedAnswerComesBackAsAnEmptyKind7Answer) {
    ASSERT_EQ(LogIn("demo", "demo").loggedIn, 1);
    const PrivilegeQuery query = MakePrivilegeQuery(kLoginPrivilege, "");
    CFilterIcpClient client;
    ASSERT_EQ(client.Open(kUserPrivilegeFilterName), 1);
    ASSERT_NE(client.SendCommand(kPrivilegeCheck, 0, 0, &query, sizeof query), 0);
    EXPECT_EQ(client.Answer()->param1, 1u);  // the recorder's own answer
    const uint64_t before = Requests();
    ASSERT_NE(client.SendCommand(kPrivilegeCheck, 0, 0, &query, sizeof query), 0);
    EXPECT_EQ(Requests(), before);
    const IcpRecord* a = client.Answer();
    EXPECT_EQ(a->kind, uint32_t(kIcpCommandAnswer));
    EXPECT_EQ(a->param1, 0u);
    EXPECT_EQ(a->status, 0);
    EXPECT_EQ(a->dataLength, 0u);
}

TEST_F(UserAccessTest, AFailedCheckIsRememberedLikeARefusalUntilALogOff) {
    // No session yet: the recorder refuses.
    EXPECT_EQ(CheckPrivilege(kLoginPrivilege), 0);
    ASSERT_EQ(LogIn("demo", "demo").loggedIn, 1);
    const uint64_t before = Requests();
    EXPECT_EQ(CheckPrivilege(kLoginPrivilege), 0);
    EXPECT_EQ(Requests(), before);
    // A login does not forget; a log-off through the proxy does.
    EXPECT_EQ(LogIn("demo", "demo").loggedIn, 1);
    EXPECT_EQ(proxy.CachedAnswers(), 0u);
    EXPECT_EQ(CheckPrivilege(kLoginPrivilege), 1);
}

TEST_F(UserAccessTest, ALogOffThroughTheProxyForgetsEveryAnswer) {
    ASSERT_EQ(LogIn("demo", "demo").loggedIn, 1);
    EXPECT_EQ(CheckPrivilege("one"), 1);
    EXPECT_EQ(CheckPrivilege("two"), 1);
    EXPECT_EQ(proxy.CachedAnswers(), 2u);
    EXPECT_EQ(LogOff(), 1);
    EXPECT_EQ(SessionId(), "");
    const std::vector<std::string> logOffs = LinesFor(11);
    ASSERT_EQ(logOffs.size(), 1u);
    EXPECT_TRUE(Answered(logOffs[0])) << logOffs[0];
    EXPECT_EQ(proxy.CachedAnswers(), 0u);
    const uint64_t before = Requests();
    EXPECT_EQ(CheckPrivilege("one"), 0);  // asked again, now without a session
    EXPECT_EQ(Requests(), before + 1);
}

TEST_F(UserAccessTest, AGivenSessionIdIsCheckedInsteadOfTheCurrentOne) {
    ASSERT_EQ(LogIn("demo", "demo").loggedIn, 1);
    EXPECT_EQ(CheckPrivilege("a", "0000000000000000"), 0);
    EXPECT_EQ(CheckPrivilege("b", ""), 1);
    EXPECT_EQ(CheckPrivilege("c", nullptr), 1);
}

TEST_F(UserAccessTest, WithoutTheProxyNothingReachesTheRecorder) {
    ASSERT_EQ(LogIn("demo", "demo").loggedIn, 1);
    const std::string id = SessionId();
    proxy.Shutdown();
    ASSERT_TRUE(ServiceWorld::Registered(kUserPrivilegeFilterName, false));
    const uint64_t before = Requests();
    EXPECT_EQ(CheckPrivilege("new privilege"), 0);
    EXPECT_EQ(LogIn("demo", "demo").loggedIn, 0);
    EXPECT_EQ(SessionId(), id);
    // The session is given up locally even when the log-off reaches nobody.
    EXPECT_EQ(LogOff(), 1);
    EXPECT_EQ(SessionId(), "");
    EXPECT_EQ(Requests(), before);
}

TEST_F(UserAccessTest, TheProxyIsRegisteredWithItsDescriptorAndNoDisplayName) {
    const CFilterDescriptor& d = proxy.Descriptor();
    EXPECT_EQ(d.name, "Main User Privilege");
    EXPECT_EQ(d.classCode, 8u);
    EXPECT_EQ(d.typeCode, 17u);
    EXPECT_EQ(d.ownThread, 1u);
    EXPECT_EQ(d.version, "1.0.0");
    EXPECT_EQ(d.queryCapacity, 64000u);
    EXPECT_EQ(d.answerCapacity, 64000u);
    std::string displayName = "not read";
    EXPECT_EQ(proxy.Settings().GetText("FilterDisplayName", displayName), 1);
    EXPECT_EQ(displayName, "");
    EXPECT_FALSE(proxy.IsRunning());
}

// --- Records -----------------------------------------------------------------

TEST(UserAccessRecords, TheLoginRecordCarriesItsTextsInTheirFields) {
    const LoginRecord r = MakeLoginRecord("demo", "secret");
    const auto* bytes = reinterpret_cast<const char*>(&r);
    EXPECT_STREQ(bytes + 0, "demo");
    EXPECT_STREQ(bytes + 41, "secret");
    EXPECT_STREQ(bytes + 62, "DAVAV WEB USER");
    int32_t one = 0;
    std::memcpy(&one, bytes + 104, 4);
    EXPECT_EQ(one, 1);
    // Everything else is zero.
    for (size_t i = 4; i < 41; ++i) EXPECT_EQ(bytes[i], 0) << i;
    for (size_t i = 47; i < 62; ++i) EXPECT_EQ(bytes[i], 0) << i;
    for (size_t i = 76; i < 104; ++i) EXPECT_EQ(bytes[i], 0) << i;
}

TEST(UserAccessRecords, LongTextsAreCutAndKeepTheirNul) {
    const LoginRecord r = MakeLoginRecord(std::string(60, 'u'), std::string(30, 'p'));
    EXPECT_EQ(std::string(r.userName), std::string(40, 'u'));
    EXPECT_EQ(std::string(r.password), std::string(20, 'p'));
    const PrivilegeQuery q = MakePrivilegeQuery(std::string(250, 'n'), std::string(25, 's'));
    EXPECT_EQ(std::string(q.privilegeName), std::string(200, 'n'));
    EXPECT_EQ(std::string(q.sessionId), std::string(20, 's'));
    const PrivilegeQuery shortQuery = MakePrivilegeQuery("P", "S");
    const auto* bytes = reinterpret_cast<const char*>(&shortQuery);
    EXPECT_STREQ(bytes, "P");
    EXPECT_STREQ(bytes + 201, "S");
    EXPECT_EQ(bytes[2], 0);
    EXPECT_EQ(bytes[200], 0);
}

// --- The order of a second login, seen by a local stand-in ------------------

namespace {

// "Main User Privilege" in this process: accepts every login with the next
// id of a list and notes what each log-off carried and what SessionId was
// at that moment.
class LocalPrivilegeService : public CFilter {
public:
    LocalPrivilegeService() { Init(CUserPrivilegeProxy::MakeDescriptor()); }
    ~LocalPrivilegeService() override { Close(); }
    int OnIcp(IcpRecord* q, IcpRecord* a) override {
        if (q->code == kPrivilegeLogIn) {
            const std::string id = "ID" + std::to_string(++logins);
            std::memcpy(a->data, id.c_str(), id.size() + 1);
            a->dataLength = uint32_t(id.size() + 1);
            return 1;
        }
        if (q->code == kPrivilegeLogOff) {
            std::lock_guard<std::mutex> lock(mutex);
            const char* text = reinterpret_cast<const char*>(q->data);
            loggedOff.push_back(std::string(text, strnlen(text, q->dataLength)));
            sessionAtLogOff.push_back(SessionId());
            return 1;
        }
        return 0;
    }
    int logins = 0;
    std::mutex mutex;
    std::vector<std::string> loggedOff;
    std::vector<std::string> sessionAtLogOff;
};

}  // namespace

TEST(LoginOrder, TheNewIdIsInPlaceBeforeTheOldOneIsLoggedOff) {
    ServiceWorld world;
    SetSessionId("");
    LocalPrivilegeService service;
    ASSERT_TRUE(ServiceWorld::Registered(kUserPrivilegeFilterName));

    LoginOutcome first = LogIn("demo", "demo");
    EXPECT_EQ(first.loggedIn, 1);
    EXPECT_EQ(first.loggedOff, 0);
    EXPECT_EQ(SessionId(), "ID1");
    LoginOutcome second = LogIn("demo", "demo");
    EXPECT_EQ(second.loggedIn, 1);
    EXPECT_EQ(second.loggedOff, 1);
    EXPECT_EQ(SessionId(), "ID2");

    std::lock_guard<std::mutex> lock(service.mutex);
    EXPECT_EQ(service.loggedOff, std::vector<std::string>{"ID1"});
    EXPECT_EQ(service.sessionAtLogOff, std::vector<std::string>{"ID2"});
    SetSessionId("");
}
