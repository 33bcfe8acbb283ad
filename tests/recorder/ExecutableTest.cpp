// The corvanta-recorder program: its help, its argument checks, and a run
// in the foreground that serves requests and stops cleanly on a signal.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "RecorderTestSupport.h"
#include "recorder/CommandLine.h"

extern char** environ;

namespace corvanta::recorder::test {
namespace {

struct Child {
    pid_t pid = -1;
    int out = -1;  // read end of the child's standard output
    int err = -1;  // read end of its standard error
};

Child spawnRecorder(const std::vector<std::string>& args) {
    int pipeFds[2], errFds[2];
    if (::pipe(pipeFds) != 0) return {};
    if (::pipe(errFds) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errFds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addclose(&actions, errFds[0]);
    std::vector<std::string> all{CORVANTA_RECORDER_EXE};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    Child c;
    if (posix_spawn(&c.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) c.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    ::close(errFds[1]);
    c.out = pipeFds[0];
    c.err = errFds[0];
    return c;
}

// Reads the child's output up to and including the first line that holds `marker`.
std::string readUntil(int fd, const std::string& marker) {
    std::string text;
    char c;
    while (::read(fd, &c, 1) == 1) {
        text.push_back(c);
        if (c == '\n' && text.find(marker) != std::string::npos) break;
    }
    return text;
}

std::string readAll(int fd) {
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) text.append(buf, size_t(n));
    return text;
}

int exitCodeOf(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(Executable, HelpDocumentsEveryOption) {
    Child c = spawnRecorder({"--help"});
    ASSERT_GT(c.pid, 0);
    const std::string help = readAll(c.out);
    ::close(c.out);
    ::close(c.err);
    EXPECT_EQ(exitCodeOf(c.pid), 0);
    for (const char* flag : {"--bind", "--port", "--threads", "--users", "--session-timeout", "--verbose", "--seed",
                             "--date", "--quality", "--cache-mb", "--read-ahead", "--encoders", "--delay-ms", "--empty-share",
                             "--garbage-share", "--truncate-share", "--drop-share", "--stall-after", "--stall-ms",
                             "--fault-seed", "--help"})
        EXPECT_NE(help.find(flag), std::string::npos) << flag;
    EXPECT_NE(help.find("\"demo\""), std::string::npos) << "the default user is named";
    // Every option the parser knows is in the help, and the other way round.
    CommandLine cl;
    std::string error;
    for (size_t at = help.find("--"); at != std::string::npos; at = help.find("--", at + 2)) {
        size_t end = at + 2;
        while (end < help.size() && (std::islower(static_cast<unsigned char>(help[end])) || help[end] == '-')) ++end;
        const std::string flag = help.substr(at, end - at);
        std::vector<std::string> args{flag};
        if (flag != "--help" && flag != "--verbose") args.push_back(flag == "--date" ? "2024-03-02" : flag == "--bind" ? "::1" : "1");
        EXPECT_TRUE(parseCommandLine(args, cl, error)) << flag << ": " << error;
    }
}

TEST(Executable, RejectsUnknownOptionsAndBadValues) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--frobnicate"}, {"--port", "70000"}, {"--port"}, {"--empty-share", "1.5"}, {"--date", "2024-02-30"},
             {"--quality", "0"}, {"--users", "/nonexistent/users.txt"}}) {
        Child c = spawnRecorder(args);
        ASSERT_GT(c.pid, 0);
        readAll(c.out);
        const std::string complaint = readAll(c.err);
        ::close(c.out);
        ::close(c.err);
        EXPECT_EQ(exitCodeOf(c.pid), 2) << args[0];
        EXPECT_NE(complaint.find("corvanta-recorder:"), std::string::npos) << args[0];
    }
}

TEST(Executable, ServesInTheForegroundAndStopsOnSignals) {
    for (int sig : {SIGINT, SIGTERM}) {
        Child c = spawnRecorder({"--port", "0", "--date", "2024-03-02", "-v"});
        ASSERT_GT(c.pid, 0);
        const std::string banner = readUntil(c.out, "users:");
        const size_t at = banner.find("listening on http://");
        ASSERT_NE(at, std::string::npos) << banner;
        const std::string base = banner.substr(at + 13, banner.find(' ', at + 13) - (at + 13));
        ASSERT_GT(std::stoi(base.substr(base.rfind(':') + 1)), 0) << base;

        const std::string login = makeRequestRecord(kIcpCommand, kPrivilegeLogIn, 0, 0, bytesOf(loginRecord("demo", "demo")));
        const HttpResult r = httpGet(base + "/Filter?Message&SID=&Name=Main%20User%20Privilege&Data=" +
                                     encodeHex({reinterpret_cast<const uint8_t*>(login.data()), login.size()}));
        ASSERT_TRUE(r.ok());
        auto d = decodeAnswer(r.body);
        ASSERT_TRUE(d);
        EXPECT_FALSE(d->data.empty());

        ASSERT_EQ(::kill(c.pid, sig), 0);
        const std::string rest = readAll(c.out);
        const std::string log = readAll(c.err);
        ::close(c.out);
        ::close(c.err);
        // -v logs one line per request.
        const size_t line = log.find("\"Main User Privilege\" kind 3 code 14 ");
        ASSERT_NE(line, std::string::npos) << log;
        EXPECT_NE(log.find(" bytes", line), std::string::npos) << log;
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
        EXPECT_EQ(exitCodeOf(c.pid), 0) << "signal " << sig;
        EXPECT_NE(rest.find("stopping"), std::string::npos);
        EXPECT_NE(rest.find("served 1 requests"), std::string::npos) << rest;
    }
}

}  // namespace
}  // namespace corvanta::recorder::test
