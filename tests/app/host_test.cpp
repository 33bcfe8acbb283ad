#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <tuple>

#include "app/HostOptions.h"
#include "support/TempConfigHome.h"

namespace corvanta::app {
namespace {

TEST(HostOptions, AcceptsWhatTheHelpSaysAndRefusesTheRest) {
    HostOptions options;
    std::string error;
    ASSERT_TRUE(ParseHostOptions({"--server-url", "http://10.0.0.5", "--server-port=8080", "--demo"}, options, error));
    EXPECT_EQ(std::tuple(options.serverUrl, options.serverPort, options.demo), std::tuple("http://10.0.0.5", 8080, true));

    struct Case {
        std::vector<std::string> args;
        const char* says;
    } bad[] = {
        {{"--server-port", "http"}, "1 to 65535"},
        {{"--server-port=65536"}, "1 to 65535"},
        {{"--server-url"}, "needs a value"},
        {{"recorder.local"}, "unknown option"},
    };
    for (const Case& c : bad) {
        HostOptions o;
        EXPECT_FALSE(ParseHostOptions(c.args, o, error)) << c.args[0];
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
}

TEST(HostOptions, LeavesQtItsOwnOptionsWithTheirValues) {
    HostOptions options;
    std::string error;
    ASSERT_TRUE(ParseHostOptions({"-platform", "xcb", "--server-port", "81", "-style=Fusion", "-geometry", "800x600+0+0",
                                  "-reverse", "--stylesheet", "dark.qss", "--demo"},
                                 options, error))
        << error;
    EXPECT_EQ(std::tuple(options.serverPort, options.demo), std::tuple(81, true));
    EXPECT_FALSE(ParseHostOptions({"-style", "Fusion", "-bogus"}, options, error));
    EXPECT_NE(error.find("unknown option \"-bogus\""), std::string::npos) << error;
}

// The child inherits the test's temporary XDG_CONFIG_HOME.
pid_t Start(const char* program, const std::vector<std::string>& args, const std::string& outFile,
            const std::string& errFile) {
    pid_t pid = fork();
    if (pid == 0) {
        freopen(errFile.c_str(), "w", stderr);
        freopen(outFile.c_str(), "w", stdout);
        setvbuf(stdout, nullptr, _IOLBF, 0);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::vector<char*> argv{const_cast<char*>(program)};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program, argv.data());
        _exit(127);
    }
    return pid;
}

pid_t StartHost(const std::vector<std::string>& args, const std::string& errFile) {
    return Start(HOST_PROGRAM, args, "/dev/null", errFile);
}

std::string Read(const std::string& path) { return test::ReadWholeFile(path); }

// The exit code, or -1 when it did not end within `seconds`.
int WaitExit(pid_t pid, int seconds) {
    for (int i = 0; i < seconds * 100; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

class HostProgram : public testenv::TempConfigHome {
protected:
    const std::string& dir = m_dir;
};

bool WaitForText(const std::string& path, const std::string& text) {
    for (int i = 0; i < 3000; ++i) {
        if (Read(path).find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST_F(HostProgram, DemoComesUpWithItsOwnProfileReportsToAnEventLogAndQuitsCleanlyOnASignal) {
    const std::string err = dir + "/err", log = dir + "/log", logErr = dir + "/log-err";
    pid_t pid = StartHost({"--demo"}, err);
    ASSERT_TRUE(WaitForText(err, "corvanta-archive: instance ")) << Read(err);
    const std::string said = Read(err);
    const int instance = std::atoi(said.c_str() + said.find("instance ") + 9);
    EXPECT_NE(instance, 0) << "the control's window exists: " << said;
    const std::string registry = Read(dir + "/corvanta-demo/corvanta/registry.reg");
    EXPECT_NE(registry.find("\"UserName\"=\"demo\""), std::string::npos) << registry;
    EXPECT_NE(registry.find("\"ServerURL\"=\"http://127.0.0.1:"), std::string::npos) << registry;

    // The logger joins the instance the host named; the host's queue manager
    // enters it in its directory within half a second.
    pid_t logger = Start(EVENTLOG_PROGRAM, {std::to_string(instance)}, log, logErr);
    ASSERT_TRUE(WaitForText(log, "listening on instance " + std::to_string(instance))) << Read(logErr);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    kill(pid, SIGTERM);
    EXPECT_EQ(WaitExit(pid, 20), 0) << Read(err);
    EXPECT_TRUE(WaitForText(log, "code 105 | note closed | http://127.0.0.1:")) << Read(log);
    kill(logger, SIGTERM);
    EXPECT_EQ(WaitExit(logger, 20), 0);
}

TEST_F(HostProgram, BadOptionsSayWhyOnOneLineAndExitWithTwo) {
    const std::string err = dir + "/err";
    EXPECT_EQ(WaitExit(StartHost({"--bogus"}, err), 20), 2);
    const std::string text = Read(err);
    EXPECT_TRUE(text.starts_with("corvanta-archive: ")) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    pid_t pid = StartHost({"--help"}, dir + "/err");
    EXPECT_EQ(WaitExit(pid, 20), 0);
}

// Qt's own options go to Qt, and the window comes up with them.
TEST_F(HostProgram, QtTakesItsOwnOptionsFirst) {
    const std::string err = dir + "/err";
    pid_t pid = StartHost({"-platform", "offscreen", "-style", "Fusion", "-geometry", "640x480+10+10", "--demo"}, err);
    ASSERT_TRUE(WaitForText(err, "corvanta-archive: instance ")) << Read(err);
    kill(pid, SIGTERM);
    EXPECT_EQ(WaitExit(pid, 20), 0) << Read(err);
}

}  // namespace
}  // namespace corvanta::app
