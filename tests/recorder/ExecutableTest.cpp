// The corvanta-recorder program: its help, its argument checks, and a run in
// the foreground that serves, logs and stops cleanly on a signal.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "RecorderTestSupport.h"
#include "recorder/CommandLine.h"

extern char** environ;

namespace corvanta::recorder::test {
namespace {

struct Child {
    pid_t pid = -1;
    int fds[2] = {-1, -1};  // read ends of its standard output and error

    // Up to and including the first line holding `marker`, or to the end.
    std::string read(int stream = 1, const std::string& marker = {}) const {
        std::string text;
        for (char c; ::read(fds[stream - 1], &c, 1) == 1 && !(c == '\n' && !marker.empty() && text.find(marker) != std::string::npos);)
            text.push_back(c);
        return text;
    }
    int exitCode() const {
        ::close(fds[0]);
        ::close(fds[1]);
        int status = 0;
        if (::waitpid(pid, &status, 0) != pid) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
};

Child spawnRecorder(std::vector<std::string> args) {
    int pipes[2][2];
    Child c;
    if (::pipe(pipes[0]) != 0 || ::pipe(pipes[1]) != 0) return c;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int i = 0; i < 2; ++i) {
        posix_spawn_file_actions_adddup2(&actions, pipes[i][1], i + 1);
        posix_spawn_file_actions_addclose(&actions, pipes[i][0]);
    }
    args.insert(args.begin(), CORVANTA_RECORDER_EXE);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&c.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) c.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    for (int i = 0; i < 2; ++i) {
        ::close(pipes[i][1]);
        c.fds[i] = pipes[i][0];
    }
    return c;
}

TEST(Executable, HelpDocumentsEveryOptionTheParserKnows) {
    const Child c = spawnRecorder({"--help"});
    ASSERT_GT(c.pid, 0);
    const std::string help = c.read();
    EXPECT_EQ(c.exitCode(), 0);
    for (const char* flag : {"--bind", "--port", "--threads", "--users", "--session-timeout", "--verbose", "--seed", "--date",
                             "--quality", "--cache-mb", "--read-ahead", "--encoders", "--delay-ms", "--empty-share", "--garbage-share",
                             "--truncate-share", "--drop-share", "--stall-after", "--stall-ms", "--fault-seed", "--help"})
        EXPECT_NE(help.find(flag), std::string::npos) << flag;
    EXPECT_NE(help.find("\"demo\""), std::string::npos) << "the default user is named";
    // And every option the help names is one the parser takes.
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
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--frobnicate"}, {"--port", "70000"}, {"--port"}, {"--empty-share", "1.5"}, {"--date", "2024-02-30"},
             {"--quality", "0"}, {"--users", "/nonexistent/users.txt"}}) {
        const Child c = spawnRecorder(args);
        ASSERT_GT(c.pid, 0);
        EXPECT_EQ(c.read(), "") << args[0];
        EXPECT_NE(c.read(2).find("corvanta-recorder:"), std::string::npos) << args[0];
        EXPECT_EQ(c.exitCode(), 2) << args[0];
    }
}

TEST(Executable, ServesInTheForegroundLogsEachRequestAndStopsOnSignals) {
    for (int sig : {SIGINT, SIGTERM}) {
        const Child c = spawnRecorder({"--port", "0", "--date", "2024-03-02", "-v"});
        ASSERT_GT(c.pid, 0);
        const std::string banner = c.read(1, "users:");
        const size_t at = banner.find("listening on http://");
        ASSERT_NE(at, std::string::npos) << banner;
        const std::string base = banner.substr(at + 13, banner.find(' ', at + 13) - (at + 13));
        ASSERT_GT(std::stoi(base.substr(base.rfind(':') + 1)), 0) << base;

        const std::string login = makeRequestRecord(kIcpCommand, kPrivilegeLogIn, 0, 0, bytesOf(loginRecord("demo", "demo")));
        auto d = decodeAnswer(httpGet(base + "/Filter?Message&SID=&Name=Main%20User%20Privilege&Data=" + hexOf(login)).body);
        EXPECT_TRUE(d && !d->data.empty());

        ASSERT_EQ(::kill(c.pid, sig), 0);
        const std::string rest = c.read(), log = c.read(2);
        EXPECT_EQ(c.exitCode(), 0) << "signal " << sig;
        const size_t line = log.find("\"Main User Privilege\" kind 3 code 14 ");
        EXPECT_NE(line, std::string::npos) << log;
        EXPECT_NE(log.find(" bytes", line), std::string::npos) << log;
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << "one line per request: " << log;
        EXPECT_NE(rest.find("stopping"), std::string::npos) << rest;
        EXPECT_NE(rest.find("served 1 requests"), std::string::npos) << rest;
    }
}

}  // namespace
}  // namespace corvanta::recorder::test
