#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <string>
#include <thread>
#include <tuple>

#include "app/HostOptions.h"
#include "support/PeerProcess.h"
#include "support/TempConfigHome.h"
#include "support/VideoFixtures.h"

namespace corvanta::app {
namespace {

TEST(HostOptions, AcceptsWhatTheHelpSaysLeavesQtItsOwnOptionsAndRefusesTheRest) {
    HostOptions options;
    std::string error;
    ASSERT_TRUE(ParseHostOptions({"--server-url", "http://10.0.0.5", "--server-port=8080", "--demo"}, options, error));
    EXPECT_EQ(std::tuple(options.serverUrl, options.serverPort, options.demo), std::tuple("http://10.0.0.5", 8080, true));
    EXPECT_EQ(options.linkDelayMs, 0u);
    ASSERT_TRUE(ParseHostOptions({"--link-delay-ms=40", "--demo"}, options, error)) << error;
    EXPECT_EQ(options.linkDelayMs, 40u);

    struct Case {
        std::vector<std::string> args;
        const char* says;
    } bad[] = {
        {{"--server-port", "http"}, "1 to 65535"},
        {{"--server-port=65536"}, "1 to 65535"},
        {{"--server-url"}, "needs a value"},
        {{"recorder.local"}, "unknown option"},
        {{"--link-delay-ms", "-1", "--demo"}, "0 to 60000"},
        {{"--link-delay-ms", "60001", "--demo"}, "0 to 60000"},
        {{"--link-delay-ms", "40"}, "only with --demo"},
    };
    for (const Case& c : bad) {
        HostOptions o;
        EXPECT_FALSE(ParseHostOptions(c.args, o, error)) << c.args[0];
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }

    // Qt's own options keep their values.
    HostOptions withQt;
    ASSERT_TRUE(ParseHostOptions({"-platform", "xcb", "--server-port", "81", "-style=Fusion", "-geometry", "800x600+0+0",
                                  "-reverse", "--stylesheet", "dark.qss", "--demo"},
                                 withQt, error))
        << error;
    EXPECT_EQ(std::tuple(withQt.serverPort, withQt.demo), std::tuple(81, true));
    EXPECT_FALSE(ParseHostOptions({"-style", "Fusion", "-bogus"}, withQt, error));
    EXPECT_NE(error.find("unknown option \"-bogus\""), std::string::npos) << error;
}

// A temporary profile for the programs, which run offscreen.
class HostProgram : public testenv::TempConfigHome {
protected:
    void SetUp() override {
        TempConfigHome::SetUp();
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    // The first line of `peer`'s standard output (1) or error (2) that holds `text`; empty when none did.
    static std::string LineWith(test::PeerProcess& peer, const std::string& text, int stream = 1) {
        for (std::string line; !(line = peer.ReadLine(30000, stream)).empty();)
            if (line.find(text) != std::string::npos) return line;
        return {};
    }
};

// Qt's own options go to Qt, and the window comes up with them.
TEST_F(HostProgram, DemoComesUpWithQtsOptionsAndItsOwnProfileReportsToAnEventLogAndQuitsCleanlyOnASignal) {
    test::PeerProcess host(HOST_PROGRAM, {"-platform", "offscreen", "-style", "Fusion", "-geometry", "640x480+10+10",
                                          "--demo", "--link-delay-ms", "40"}, true);
    EXPECT_NE(LineWith(host, "(link delay 40 ms)", 2), "") << "the demo recorder takes the link delay";
    const std::string said = LineWith(host, "corvanta-archive: instance ", 2);
    ASSERT_NE(said, "") << host.ReadAll(2);
    const int instance = std::atoi(said.c_str() + said.find("instance ") + 9);
    EXPECT_NE(instance, 0) << "the control's window exists: " << said;
    const std::string registry = ReadFile(m_dir + "/corvanta-demo/corvanta/registry.reg");
    EXPECT_NE(registry.find("\"UserName\"=\"demo\""), std::string::npos) << registry;
    EXPECT_NE(registry.find("\"ServerURL\"=\"http://127.0.0.1:"), std::string::npos) << registry;

    // The logger joins the instance the host named; the host's queue manager
    // enters it in its directory within half a second.
    test::PeerProcess logger(EVENTLOG_PROGRAM, {std::to_string(instance)}, true);
    ASSERT_NE(LineWith(logger, "listening on instance " + std::to_string(instance)), "") << logger.ReadAll(2);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    kill(host.Pid(), SIGTERM);
    EXPECT_EQ(host.Wait(20000), 0) << host.ReadAll(2);
    EXPECT_NE(LineWith(logger, "code 105 | note closed | http://127.0.0.1:"), "");
    kill(logger.Pid(), SIGTERM);
    EXPECT_EQ(logger.Wait(20000), 0);
}

TEST_F(HostProgram, AFolderOfRecordingsIsServedOnLoopbackAndLoggedInToWithoutAsking) {
    ASSERT_TRUE(test::MakeVideo(m_dir + "/rec/Yard/2026/03/04/101500.avi",
                                test::MovingSource(160, 120, 5, 1) + " " + test::kMjpegAvi));
    test::PeerProcess host(HOST_PROGRAM, {"--archive", m_dir + "/rec"}, true);
    ASSERT_NE(LineWith(host, "corvanta-archive: serving " + m_dir + "/rec at http://127.0.0.1:", 2), "");
    EXPECT_NE(LineWith(host, "corvanta-archive: logged in to the recordings", 2), "") << host.ReadAll(2);
    const std::string registry = ReadFile(m_dir + "/corvanta-folder/corvanta/registry.reg");
    EXPECT_NE(registry.find("\"UserName\"=\"local\""), std::string::npos) << registry;
    kill(host.Pid(), SIGTERM);
    EXPECT_EQ(host.Wait(20000), 0);

    HostOptions options;
    std::string error;
    EXPECT_FALSE(ParseHostOptions({"--demo", "--archive", "/srv"}, options, error));
    EXPECT_NE(error.find("exclude"), std::string::npos) << error;
}

TEST_F(HostProgram, BadOptionsSayWhyOnOneLineAndExitWithTwo) {
    test::PeerProcess bad(HOST_PROGRAM, {"--bogus"}, true);
    EXPECT_EQ(bad.Wait(20000), 2);
    const std::string text = bad.ReadAll(2);
    EXPECT_TRUE(text.starts_with("corvanta-archive: ")) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    EXPECT_EQ(test::PeerProcess(HOST_PROGRAM, {"--help"}).Wait(20000), 0);
}

}  // namespace
}  // namespace corvanta::app
