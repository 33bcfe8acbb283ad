// Login, log-off and privilege checks of "Main User Privilege", over HTTP.

#include <algorithm>
#include <atomic>

#include "RecorderTestSupport.h"

namespace corvanta::recorder::test {
namespace {

class AccessTest : public RecorderFixture {};

TEST_F(AccessTest, LoginWithTheDemoAccountAnswersASessionId) {
    const HttpResult r = send(kUserPrivilegeFilterName, "", kPrivilegeLogIn, 0, 0, bytesOf(loginRecord("demo", "demo")));
    ASSERT_TRUE(r.ok());
    auto d = decodeAnswer(r.body);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->header.status, kIcpStatusDone);
    EXPECT_EQ(d->header.kind, kIcpCommandAnswer);
    ASSERT_FALSE(d->data.empty());
    EXPECT_EQ(d->data.back(), '\0') << "the session id travels NUL-terminated";
    const std::string sid(d->data.c_str());
    EXPECT_GE(sid.size(), 1u);
    EXPECT_LE(sid.size(), kMaxSessionIdLength);
    // The body is the record as the channel copies it: header, data, 4 spare bytes.
    EXPECT_EQ(r.body.size(), kIcpOverhead + d->header.dataLength);
}

TEST_F(AccessTest, EachLoginOpensADistinctSession) {
    const std::string a = logIn(), b = logIn();
    EXPECT_FALSE(a.empty());
    EXPECT_NE(a, b);
    EXPECT_FALSE(ask(kArchiveQueryFilterName, a, kArchiveListSources).data.empty());
    EXPECT_FALSE(ask(kArchiveQueryFilterName, b, kArchiveListSources).data.empty());
}

TEST_F(AccessTest, WrongPasswordOrUnknownUserGetsAnEmptyBody) {
    for (auto [user, password] : {std::pair{"demo", "wrong"}, std::pair{"nobody", "demo"}, std::pair{"", ""},
                                  std::pair{"DEMO", "demo"}}) {
        const HttpResult r = send(kUserPrivilegeFilterName, "", kPrivilegeLogIn, 0, 0, bytesOf(loginRecord(user, password)));
        ASSERT_TRUE(r.ok());
        EXPECT_TRUE(r.body.empty()) << user << "/" << password;
    }
}

TEST_F(AccessTest, LogOffEndsTheSessionNamedInTheData) {
    const std::string keep = logIn(), leave = logIn();
    // The viewer logs the old session off while already using the new one.
    const Decoded d = ask(kUserPrivilegeFilterName, keep, kPrivilegeLogOff, 0, 0, textData(leave));
    EXPECT_EQ(d.header.status, kIcpStatusDone);
    EXPECT_TRUE(send(kArchiveQueryFilterName, leave, kArchiveListSources).body.empty());
    EXPECT_FALSE(send(kArchiveQueryFilterName, keep, kArchiveListSources).body.empty());
    // A second log-off of the same id has nothing to end.
    EXPECT_TRUE(send(kUserPrivilegeFilterName, keep, kPrivilegeLogOff, 0, 0, textData(leave)).body.empty());
}

TEST_F(AccessTest, PrivilegeIsGrantedToALiveSessionOnly) {
    const std::string sid = logIn();
    PrivilegeQuery q{};
    std::strcpy(q.privilegeName, "User Access - Http server login");
    std::strcpy(q.sessionId, sid.c_str());
    const Decoded granted = ask(kUserPrivilegeFilterName, sid, kPrivilegeCheck, 0, 0, bytesOf(q));
    EXPECT_EQ(granted.header.status, kIcpStatusDone);

    // Before any login the viewer asks with an empty session id: refused.
    PrivilegeQuery anonymous{};
    std::strcpy(anonymous.privilegeName, "User Access - Http server login");
    EXPECT_TRUE(send(kUserPrivilegeFilterName, "", kPrivilegeCheck, 0, 0, bytesOf(anonymous)).body.empty());

    // A query naming a session that does not exist is refused even from a live one.
    PrivilegeQuery stale = q;
    std::strcpy(stale.sessionId, "0000000000000000");
    EXPECT_TRUE(send(kUserPrivilegeFilterName, sid, kPrivilegeCheck, 0, 0, bytesOf(stale)).body.empty());

    // After log-off the same check is refused.
    ask(kUserPrivilegeFilterName, sid, kPrivilegeLogOff, 0, 0, textData(sid));
    EXPECT_TRUE(send(kUserPrivilegeFilterName, sid, kPrivilegeCheck, 0, 0, bytesOf(q)).body.empty());
}

TEST_F(AccessTest, ConfiguredUsersReplaceTheDemoAccount) {
    server_.reset();
    RecorderConfig c = testConfig();
    std::string error;
    auto users = parseUsers("# operators\nalice:secret\r\n\nbob:\n", &error);
    ASSERT_TRUE(users) << error;
    c.users = *users;
    startServer(c);
    EXPECT_FALSE(logIn("alice", "secret").empty());
    EXPECT_FALSE(logIn("bob", "").empty());
    EXPECT_TRUE(send(kUserPrivilegeFilterName, "", kPrivilegeLogIn, 0, 0, bytesOf(loginRecord("demo", "demo"))).body.empty());
}

TEST(UsersFile, RejectsLinesThatDoNotFitTheLoginRecord) {
    std::string error;
    EXPECT_FALSE(parseUsers("no-colon\n", &error));
    EXPECT_NE(error.find("line 1"), std::string::npos);
    EXPECT_FALSE(parseUsers("ok:pw\n" + std::string(41, 'n') + ":pw\n", &error));
    EXPECT_NE(error.find("line 2"), std::string::npos);
    EXPECT_FALSE(parseUsers("u:" + std::string(21, 'p') + "\n", &error));
    EXPECT_FALSE(parseUsers("# only a comment\n", &error));
    auto ok = parseUsers(std::string(40, 'n') + ":" + std::string(20, 'p'), &error);
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->size(), 1u);
}

// Sessions expire after the idle limit; a fake clock makes that exact.
class SessionExpiryTest : public RecorderFixture {
protected:
    void SetUp() override {
        RecorderConfig c = testConfig();
        c.sessions.idleTimeoutMs = 60000;
        c.sessions.clockMs = [this] { return now_.load(); };
        startServer(c);
    }
    std::atomic<int64_t> now_{1000000};
};

TEST_F(SessionExpiryTest, IdleSessionExpiresAndUseKeepsItAlive) {
    const std::string busy = logIn(), idle = logIn();
    now_ += 40000;
    EXPECT_FALSE(send(kArchiveQueryFilterName, busy, kArchiveListSources).body.empty());
    now_ += 40000;  // busy was used 40 s ago, idle 80 s ago
    EXPECT_FALSE(send(kArchiveQueryFilterName, busy, kArchiveListSources).body.empty());
    EXPECT_TRUE(send(kArchiveQueryFilterName, idle, kArchiveListSources).body.empty());
    // An expired session stays gone even when the clock would allow it again.
    now_ -= 80000;
    EXPECT_TRUE(send(kArchiveQueryFilterName, idle, kArchiveListSources).body.empty());
}

}  // namespace
}  // namespace corvanta::recorder::test

namespace corvanta::recorder::test {
namespace {

TEST(SessionLimits, TheLongestIdleSessionMakesRoomAndOpenFilesAreBounded) {
    int64_t now = 0;
    SessionOptions options;
    options.maxSessions = 2;
    options.maxOpenFiles = 2;
    options.clockMs = [&now] { return now; };
    SessionTable table(defaultUsers(), options);
    const std::string a = *table.logIn("demo", "demo");
    now += 10;
    const std::string b = *table.logIn("demo", "demo");
    now += 10;
    EXPECT_TRUE(table.touch(a));  // b is now the one idle longest
    now += 10;
    const std::string c = *table.logIn("demo", "demo");
    EXPECT_EQ(table.sessionCount(), 2u);
    EXPECT_TRUE(table.touch(a));
    EXPECT_FALSE(table.touch(b));
    EXPECT_TRUE(table.touch(c));

    const DemoArchive archive(1, kAnchor);
    const auto& recs = archive.recordings(0);
    EXPECT_TRUE(table.openFile(a, recs[0].fileName, &recs[0]));
    EXPECT_TRUE(table.openFile(a, recs[1].fileName, &recs[1]));
    EXPECT_FALSE(table.openFile(a, recs[2].fileName, &recs[2]));
    EXPECT_TRUE(table.openFile(a, recs[0].fileName, &recs[0])) << "opening an open file again needs no new slot";
    EXPECT_TRUE(table.closeFile(a, recs[1].fileName));
    EXPECT_TRUE(table.openFile(a, recs[2].fileName, &recs[2]));
    std::string source = recs[2].fileName;
    std::replace(source.begin(), source.end(), '\\', ' ');
    EXPECT_EQ(table.frameSource(a, source), &recs[2]);
    EXPECT_EQ(table.frameSource(c, source), nullptr);
}

}  // namespace
}  // namespace corvanta::recorder::test
