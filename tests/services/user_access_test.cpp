#include <gtest/gtest.h>

#include <string>

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
    ServiceWorld world;
    test::RecorderWorld recorder;
    CUserPrivilegeProxy proxy;
};

}  // namespace

TEST_F(UserAccessTest, TwoChecksOfOnePrivilegeReachTheRecorderOnce) {
    EXPECT_EQ(LogOff(), 0);
    EXPECT_EQ(recorder.Requests(), 0u) << "a log-off without a session sends nothing";
    ASSERT_EQ(LogIn("demo", "demo").loggedIn, 1);
    const std::string id = SessionId();
    EXPECT_EQ(LogIn("nobody", "demo").loggedIn, 0);
    EXPECT_EQ(SessionId(), id) << "a refused login keeps the session";

    const uint64_t before = recorder.Requests();
    EXPECT_EQ(CheckPrivilege(kLoginPrivilege), 1);
    EXPECT_EQ(CheckPrivilege(kLoginPrivilege), 1);
    EXPECT_EQ(recorder.Requests(), before + 1);
}

TEST_F(UserAccessTest, RefusalsAreRememberedUntilALogOffThroughTheProxy) {
    EXPECT_EQ(CheckPrivilege(kLoginPrivilege), 0) << "no session yet";
    ASSERT_EQ(LogIn("demo", "demo").loggedIn, 1);
    const uint64_t before = recorder.Requests();
    EXPECT_EQ(CheckPrivilege(kLoginPrivilege), 0);
    EXPECT_EQ(recorder.Requests(), before);
    EXPECT_EQ(CheckPrivilege("a", "0000000000000000"), 0) << "a given session id is checked instead";

    EXPECT_EQ(LogOff(), 1);
    EXPECT_EQ(recorder.PrivilegeLines(11, true).size(), 1u);
    ASSERT_EQ(LogIn("demo", "demo").loggedIn, 1);
    EXPECT_EQ(CheckPrivilege(kLoginPrivilege), 1);

    // Without the proxy nothing reaches the recorder, but the session is still given up locally.
    proxy.Shutdown();
    ASSERT_TRUE(ServiceWorld::Registered(kUserPrivilegeFilterName, false));
    const uint64_t last = recorder.Requests();
    EXPECT_EQ(CheckPrivilege("new privilege"), 0);
    EXPECT_EQ(LogOff(), 1);
    EXPECT_EQ(std::pair(SessionId(), recorder.Requests()), std::pair(std::string(), last));
}

TEST(UserAccessRecords, TextsAreCutToTheirFieldsAndNothingElseTravels) {
    const LoginRecord r = MakeLoginRecord(std::string(60, 'u'), std::string(30, 'p'));
    EXPECT_EQ(std::string(r.userName), std::string(40, 'u'));
    EXPECT_EQ(std::string(r.password), std::string(20, 'p'));
    const PrivilegeQuery q = MakePrivilegeQuery(std::string(250, 'n'), std::string(25, 's'));
    EXPECT_EQ(std::string(q.privilegeName) + std::string(q.sessionId), std::string(200, 'n') + std::string(20, 's'));
    const LoginRecord shortRecord = MakeLoginRecord("demo", "pw");
    const char* bytes = reinterpret_cast<const char*>(&shortRecord);
    EXPECT_EQ(std::string(bytes + 4, 37) + std::string(bytes + 76, 28), std::string(65, '\0'));
}
