#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <tuple>
#include <vector>

#include "platform/RegistryFile.h"
#include "support/TempConfigHome.h"

using namespace corvanta::platform;
using corvanta::testenv::TempConfigHome;

namespace {

RegistryValue Text(std::string s) { return RegistryValue{kRegSz, std::move(s)}; }
RegistryValue Dword(uint32_t v) {
    return RegistryValue{kRegDword, std::string{char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)}};
}

RegistryTree Parse(const std::string& text) {
    RegistryTree tree;
    RegistryParseError err;
    EXPECT_TRUE(ParseRegistryText(text, tree, &err)) << "line " << err.line << ": " << err.reason;
    return tree;
}

class RegistryKeyTest : public TempConfigHome {
protected:
    static std::string QueryText(const RegistryKey& key, const std::string& name) {
        char buf[256];
        uint32_t type = 0, size = sizeof buf;
        if (key.QueryValue(name, &type, buf, &size) != RegStatus::Ok || type != kRegSz) return "<none>";
        return std::string(buf, size - 1);
    }
    std::vector<std::string> FolderEntries() {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(Folder())) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
};

}  // namespace

TEST_F(RegistryKeyTest, KeepsItsFileUnderAnAbsoluteXdgConfigHomeOrElseHome) {
    RegistryKey key = Key({"Software", "Orvalmedia"});
    ASSERT_EQ(key.SetDword("n0", 7), RegStatus::Ok);
    Key({"Software", "Empty"});  // an empty key is written too, so a person sees it
    const std::string file = ReadFile(RegistryFile());
    EXPECT_NE(file.find("[HKEY_CURRENT_USER\\Software\\Orvalmedia]\n\"n0\"=dword:00000007\n"), std::string::npos);
    EXPECT_NE(file.find("[HKEY_CURRENT_USER\\Software\\Empty]"), std::string::npos);
    // Private, and no temporary file is left behind by the writes.
    EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"registry.reg", "registry.reg.lock"}));
    EXPECT_EQ(std::filesystem::status(Folder()).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);

    const std::string fallback = m_dir + "/home/.config/corvanta/registry.reg";
    setenv("XDG_CONFIG_HOME", "relative/path", 1);
    ASSERT_EQ(Key({"Software"}).SetText("x", "y"), RegStatus::Ok);
    EXPECT_TRUE(std::filesystem::exists(fallback));
}

TEST_F(RegistryKeyTest, BadNamesAreRefusedAndQueryReportsTypeAndSizeLikeTheSystemCall) {
    RegistryKey out, closed;
    for (const char* bad : {"", "a\\b", "a\nb"})
        EXPECT_EQ(RegistryKey::CurrentUser().CreateSubKey(bad, out), RegStatus::InvalidArgument);
    EXPECT_EQ(closed.SetDword("a", 1), RegStatus::InvalidArgument);
    RegistryKey key = Key({"Software"});
    ASSERT_EQ(key.SetText("t", "hello"), RegStatus::Ok);
    uint32_t type = 0, size = 5;
    char buf[8];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(key.QueryValue("t", &type, buf, &size), RegStatus::MoreData);
    EXPECT_EQ(std::tuple(type, size, buf[0]), std::tuple(kRegSz, 6u, 'x'))
        << "a text's size counts its NUL; nothing is copied into a buffer that is too small";
    EXPECT_EQ(Key({"Other"}).QueryValue("t", &type, nullptr, &size), RegStatus::NotFound);

    // A text ends at its first NUL; a name cannot hold one.
    ASSERT_EQ(key.SetText("cut", std::string("abc\0def", 7)), RegStatus::Ok);
    EXPECT_EQ(QueryText(key, "cut"), "abc");
    EXPECT_EQ(key.SetText(std::string("a\0b", 3), "x"), RegStatus::InvalidArgument);
}

TEST_F(RegistryKeyTest, DamagedFileIsKeptAsideReportedOnceAndStartsEmpty) {
    const std::string garbage = "this is not a registry\n\x01\x02";
    WriteFile(RegistryFile(), garbage);
    ::testing::internal::CaptureStderr();
    RegistryKey key = Key({"Software"});
    ASSERT_EQ(key.SetText("fresh", "start"), RegStatus::Ok);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.find("could not be read"), err.rfind("could not be read")) << "reported once: " << err;
    std::vector<std::string> aside;
    for (const auto& name : FolderEntries())
        if (name.rfind("registry.reg.damaged-", 0) == 0) aside.push_back(name);
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadFile(Folder() + "/" + aside[0]), garbage);
    EXPECT_NE(err.find(aside[0]), std::string::npos) << "the message names where it went";
}

TEST_F(RegistryKeyTest, ProcessesWritingAtOnceLoseNothing) {
    constexpr int kWriters = 3, kEach = 25;
    auto write = [this](int who) {
        RegistryKey key = Key({"Software"});
        bool ok = true;
        for (int i = 0; i < kEach; ++i)
            ok &= key.SetText("w" + std::to_string(who) + "-" + std::to_string(i), std::to_string(i * 3)) == RegStatus::Ok;
        return ok;
    };
    std::vector<pid_t> children;
    for (int p = 0; p < kWriters; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) _exit(write(p) ? 0 : 1);
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    RegistryKey key = Key({"Software"});
    for (int w = 0; w < kWriters; ++w)
        for (int i = 0; i < kEach; ++i)
            EXPECT_EQ(QueryText(key, "w" + std::to_string(w) + "-" + std::to_string(i)), std::to_string(i * 3));
}

TEST_F(RegistryKeyTest, AWriterKilledMidWriteLeavesAReadableFile) {
    RegistryKey key = Key({"Software"});
    ASSERT_EQ(key.SetText("before", "kept"), RegStatus::Ok);
    for (int round = 0; round < 5; ++round) {
        const std::string name = "busy" + std::to_string(round);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            RegistryKey own;
            RegistryKey::CurrentUser().CreateSubKey("Software", own);
            for (uint32_t i = 0;; ++i) own.SetText(name, std::string(1000 + i % 5000, char('a' + i % 26)));
        }
        // Kill it somewhere inside its stream of writes, once it has begun.
        uint32_t size = 0;
        while (key.QueryValue(name, nullptr, nullptr, &size) != RegStatus::Ok) usleep(500);
        usleep(1000u * uint32_t(round));
        ASSERT_EQ(kill(pid, SIGKILL), 0);
        ASSERT_EQ(waitpid(pid, nullptr, 0), pid);
        RegistryTree tree;
        EXPECT_TRUE(ParseRegistryText(ReadFile(RegistryFile()), tree)) << "round " << round;
        EXPECT_EQ(QueryText(key, "before"), "kept");
    }
    // The next write clears what the killed writers left behind.
    ASSERT_EQ(key.SetText("after", "ok"), RegStatus::Ok);
    for (const auto& name : FolderEntries()) EXPECT_EQ(name.find(".tmp-"), std::string::npos) << name;
}

TEST(RegistryFileFormat, WrittenTextReadsBackEveryByteButNul) {
    RegistryTree tree;
    std::string all;
    for (int c = 1; c < 256; ++c) all += char(c);
    tree["Software\\x y[z]"][all] = Text(all);
    tree["Software\\x y[z]"]["d"] = Dword(0xDEADBEEF);
    tree["Software\\x y[z]"][""] = Text("default");
    tree["Empty\\Key"];
    EXPECT_EQ(Parse(FormatRegistryText(tree)), tree);
}

TEST(RegistryFileFormat, ReadsWhatAPersonWrites) {
    EXPECT_TRUE(Parse("REGEDIT4").empty());
    RegistryTree tree = Parse(
        "\xEF\xBB\xBF"
        "; settings kept by hand\r\n"
        "REGEDIT4\r\n"
        "\r\n"
        "  [HKEY_CURRENT_USER\\Software\\A]  \r\n"
        "\"port\" = dword:1f90\r\n"
        "\"name\"=  \"Front door\"  \r\n"
        "\t; a comment between values\n"
        "\"port\"=dword:00000050\n");
    EXPECT_EQ(tree["Software\\A"]["port"], Dword(0x50)) << "a later line for the same value wins";
    EXPECT_EQ(tree["Software\\A"]["name"], Text("Front door"));
}

TEST(RegistryFileFormat, RefusesWhatItDoesNotUnderstandWithItsLine) {
    const std::string head = "REGEDIT4\n[HKEY_CURRENT_USER]\n";
    static const char kWithNul[] = "\"a\"=\"b\0c\"\n";
    const std::pair<std::string, size_t> cases[] = {
        {"", 0},
        {"REGEDIT5\n", 1},
        {"REGEDIT4\n\"a\"=\"b\"\n", 2},  // a value before any key
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n", 2},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\a\\\\b]\n", 2},  // an empty key name
        {head + "\"a\"=\"b\\x00\"\n", 3},
        {head + "\"a\"=dword:123456789\n", 3},
        {head + "\"a\"=hex:01,02\n", 3},
        {head + std::string(kWithNul, sizeof kWithNul - 1), 3},
    };
    for (const auto& [text, line] : cases) {
        RegistryTree tree;
        tree["stale"];
        RegistryParseError err;
        EXPECT_FALSE(ParseRegistryText(text, tree, &err)) << text;
        EXPECT_TRUE(tree.empty()) << "a failed parse leaves no half-read tree: " << text;
        EXPECT_EQ(err.line, line) << text;
    }
}
