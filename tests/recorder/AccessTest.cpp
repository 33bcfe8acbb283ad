#include <atomic>

#include "RecorderTestSupport.h"

namespace corvanta::recorder::test {
namespace {

class AccessTest : public RecorderFixture {
protected:
    bool works(const std::string& sid) const { return !send(kArchiveQueryFilterName, sid, kArchiveListSources).body.empty(); }
};

TEST_F(AccessTest, LoginGivesADistinctTerminatedSessionIdAndBadCredentialsNothing) {
    const Decoded d = ask(kUserPrivilegeFilterName, "", kPrivilegeLogIn, 0, 0, bytesOf(loginRecord("demo", "demo")));
    ASSERT_FALSE(d.data.empty());
    EXPECT_EQ(d.data.back(), '\0') << "the viewer copies the id as a C string";
    const std::string sid(d.data.c_str());
    EXPECT_TRUE(sid.size() <= kMaxSessionIdLength && sid != sid_ && works(sid) && works(sid_)) << sid;
    for (auto [user, password] : {std::pair{"demo", "wrong"}, {"nobody", "demo"}, {"DEMO", "demo"}, {"demo", ""}})
        EXPECT_EQ(logIn(user, password), "") << user << "/" << password;
}

TEST_F(AccessTest, PrivilegeIsGrantedToALiveSessionOnlyAndLogOffEndsTheNamedSessionOnce) {
    auto query = [](const std::string& sid, const char* privilege = "User Access - Http server login") {
        PrivilegeQuery q{};
        std::strcpy(q.privilegeName, privilege);
        std::strcpy(q.sessionId, sid.c_str());
        return bytesOf(q);
    };
    EXPECT_EQ(ask(kUserPrivilegeFilterName, sid_, kPrivilegeCheck, 0, 0, query(sid_)).header.param1, 1u);
    EXPECT_TRUE(refused(kUserPrivilegeFilterName, kPrivilegeCheck, 0, 0, query("0000000000000000"))) << "no such session";
    // The viewer logs the old session off while already using the new one.
    const std::string next = logIn();
    ask(kUserPrivilegeFilterName, next, kPrivilegeLogOff, 0, 0, textData(sid_));
    EXPECT_TRUE(works(next) && !works(sid_));
    EXPECT_TRUE(send(kUserPrivilegeFilterName, next, kPrivilegeLogOff, 0, 0, textData(sid_)).body.empty()) << "only once";
}

TEST_F(AccessTest, UsersFileReplacesTheDemoAccountAndRejectsWhatDoesNotFit) {
    std::string error;
    EXPECT_FALSE(parseUsers("ok:pw\n" + std::string(41, 'n') + ":pw\n", &error)) << "a name longer than the login record";
    EXPECT_NE(error.find("line 2"), std::string::npos) << "the complaint names the line: " << error;

    auto users = parseUsers("# operators\nalice:secret\r\n\nbob:\n", &error);
    ASSERT_TRUE(users) << error;
    RecorderConfig c = testConfig();
    c.users = *users;
    server_ = std::make_unique<RecorderServer>(c);
    ASSERT_TRUE(server_->start());
    EXPECT_FALSE(logIn("alice", "secret").empty()) << "CR LF line ends are accepted";
    EXPECT_EQ(logIn("demo", "demo"), "");
}

TEST_F(AccessTest, IdleSessionsExpireAndUseKeepsThemAlive) {
    auto now = std::make_shared<std::atomic<int64_t>>(1000000);
    RecorderConfig c = testConfig();
    c.sessions.idleTimeoutMs = 60000;
    c.sessions.clockMs = [now] { return now->load(); };
    startServer(c);
    const std::string idle = logIn();
    *now += 40000;
    EXPECT_TRUE(works(sid_));
    *now += 40000;  // sid_ was used 40 s ago, idle 80 s ago
    EXPECT_TRUE(works(sid_) && !works(idle));
}

TEST(SessionLimits, TheLongestIdleSessionMakesRoomAndOpenFilesAreBounded) {
    int64_t now = 0;
    SessionTable table(defaultUsers(), {.maxSessions = 2, .maxOpenFiles = 1, .clockMs = [&now] { return now; }});
    const std::string a = *table.logIn("demo", "demo");
    const std::string b = *table.logIn("demo", "demo");
    now += 10;
    EXPECT_TRUE(table.touch(a));  // b is now the one idle longest
    const std::string c = *table.logIn("demo", "demo");
    EXPECT_TRUE(table.touch(a) && table.touch(c) && !table.touch(b));

    auto first = std::make_shared<ArchiveFile>(), second = std::make_shared<ArchiveFile>();
    first->fileName = "first.avi";
    second->fileName = "second.avi";
    EXPECT_TRUE(table.openFile(a, first->fileName, first));
    EXPECT_FALSE(table.openFile(a, second->fileName, second));
}

}  // namespace
}  // namespace corvanta::recorder::test
