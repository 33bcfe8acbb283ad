// The corvanta-recorder program: its help, its argument checks, and a run in
// the foreground that serves, logs and stops cleanly on a signal.

#include <signal.h>

#include "RecorderTestSupport.h"
#include "recorder/CommandLine.h"
#include "support/PeerProcess.h"

namespace corvanta::recorder::test {
namespace {

using corvanta::test::PeerProcess;

// Every option the help names is one the parser takes.
TEST(Executable, HelpNamesOnlyOptionsTheParserTakes) {
    PeerProcess c(CORVANTA_RECORDER_EXE, {"--help"});
    ASSERT_TRUE(c.Started());
    const std::string help = c.ReadAll();
    EXPECT_EQ(c.Wait(), 0);
    EXPECT_NE(help.find("--stall-after"), std::string::npos) << help;
    for (size_t at = help.find("--"); at != std::string::npos; at = help.find("--", at + 2)) {
        const std::string flag = help.substr(at, help.find_first_not_of("abcdefghijklmnopqrstuvwxyz-", at + 2) - at);
        std::vector<std::string> args{flag};
        if (flag != "--help" && flag != "--verbose") args.push_back(flag == "--date" ? "2024-03-02" : flag == "--bind" ? "::1" : "1");
        CommandLine cl;
        std::string error;
        EXPECT_TRUE(parseCommandLine(args, cl, error)) << flag << ": " << error;
    }
}

TEST(Executable, RejectsUnknownOptionsAndBadValues) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{"--frobnicate"}, {"--date", "2024-02-30"}}) {
        PeerProcess c(CORVANTA_RECORDER_EXE, args, true);
        ASSERT_TRUE(c.Started());
        EXPECT_EQ(c.ReadAll(), "") << args[0];
        EXPECT_NE(c.ReadAll(2).find("corvanta-recorder:"), std::string::npos) << args[0];
        EXPECT_EQ(c.Wait(), 2) << args[0];
    }
}

TEST(Executable, ServesInTheForegroundLogsEachRequestAndStopsOnASignal) {
    PeerProcess c(CORVANTA_RECORDER_EXE, {"--port", "0", "--date", "2024-03-02", "-v"}, true);
    ASSERT_TRUE(c.Started());
    const std::string banner = c.ReadLine();
    const size_t at = banner.find("listening on http://");
    ASSERT_NE(at, std::string::npos) << banner;
    const std::string base = banner.substr(at + 13, banner.find(' ', at + 13) - (at + 13));
    const std::string login = makeRequestRecord(kIcpCommand, kPrivilegeLogIn, 0, 0, bytesOf(loginRecord("demo", "demo")));
    auto d = decodeAnswer(httpGet(base + "/Filter?Message&SID=&Name=Main%20User%20Privilege&Data=" + hexOf(login)).body);
    EXPECT_TRUE(d && !d->data.empty());

    ASSERT_EQ(::kill(c.Pid(), SIGTERM), 0);
    const std::string rest = c.ReadAll(), log = c.ReadAll(2);
    EXPECT_EQ(c.Wait(), 0);
    EXPECT_NE(log.find("\"Main User Privilege\" kind 3 code 14 "), std::string::npos) << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << "one line per request: " << log;
    EXPECT_NE(rest.find("served 1 requests"), std::string::npos) << rest;
}

}  // namespace
}  // namespace corvanta::recorder::test
