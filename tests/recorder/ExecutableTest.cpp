#include <signal.h>

#include "RecorderTestSupport.h"
#include "recorder/CommandLine.h"
#include "support/PeerProcess.h"

namespace corvanta::recorder::test {
namespace {

using corvanta::test::PeerProcess;

TEST(Executable, HelpNamesOnlyOptionsTheParserTakesAndABadOneExitsWithTwo) {
    const std::string help = usageText();
    for (size_t at = help.find("--"); at != std::string::npos; at = help.find("--", at + 2)) {
        const std::string flag = help.substr(at, help.find_first_not_of("abcdefghijklmnopqrstuvwxyz-", at + 2) - at);
        std::vector<std::string> args{flag};
        if (flag != "--help" && flag != "--verbose") args.push_back(flag == "--date" ? "2024-03-02" : flag == "--bind" ? "::1" : "1");
        CommandLine cl;
        std::string error;
        EXPECT_TRUE(parseCommandLine(args, cl, error)) << flag << ": " << error;
    }
    PeerProcess c(CORVANTA_RECORDER_EXE, {"--date", "2024-02-30"}, true);
    ASSERT_TRUE(c.Started());
    EXPECT_EQ(c.ReadAll(), "");
    EXPECT_NE(c.ReadAll(2).find("corvanta-recorder:"), std::string::npos);
    EXPECT_EQ(c.Wait(), 2);
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
