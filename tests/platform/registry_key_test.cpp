#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/Registry.h"
#include "support/TempConfigHome.h"

using namespace corvanta::platform;
using corvanta::testenv::TempConfigHome;

namespace {

class RegistryKeyTest : public TempConfigHome {
protected:
    RegistryKey Open(std::initializer_list<const char*> path) {
        RegistryKey key = RegistryKey::CurrentUser();
        for (const char* name : path) {
            RegistryKey next;
            EXPECT_EQ(key.CreateSubKey(name, next), RegStatus::Ok) << name;
            key = next;
        }
        return key;
    }

    static std::string QueryText(const RegistryKey& key, const char* name) {
        char buf[256];
        uint32_t type = 0, size = sizeof buf;
        if (key.QueryValue(name, &type, buf, &size) != RegStatus::Ok || type != kRegSz) return "<none>";
        return std::string(buf, size - 1);
    }
};

}  // namespace

TEST_F(RegistryKeyTest, KeepsItsFileUnderXdgConfigHome) {
    RegistryKey key = Open({"Software", "Orvalmedia"});
    EXPECT_EQ(key.Path(), "Software\\Orvalmedia");
    ASSERT_EQ(key.SetDword("Count", 7), RegStatus::Ok);
    EXPECT_EQ(RegistryStorage::DefaultFile(), RegistryFile());
    std::string text = ReadFile(RegistryFile());
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Orvalmedia]\n\"Count\"=dword:00000007\n"), std::string::npos)
        << text;
}

TEST_F(RegistryKeyTest, FallsBackToHomeConfigWithoutAbsoluteXdg) {
    setenv("XDG_CONFIG_HOME", "relative/path", 1);
    EXPECT_EQ(RegistryStorage::DefaultFile(), m_dir + "/home/.config/corvanta/registry.reg");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(RegistryStorage::DefaultFile(), m_dir + "/home/.config/corvanta/registry.reg");
    RegistryKey key = Open({"Software"});
    ASSERT_EQ(key.SetText("x", "y"), RegStatus::Ok);
    EXPECT_TRUE(std::filesystem::exists(m_dir + "/home/.config/corvanta/registry.reg"));
}

TEST_F(RegistryKeyTest, CreateSubKeyTakesOneValidLevel) {
    RegistryKey root = RegistryKey::CurrentUser();
    RegistryKey out;
    EXPECT_EQ(root.CreateSubKey("", out), RegStatus::InvalidArgument);
    EXPECT_EQ(root.CreateSubKey("a\\b", out), RegStatus::InvalidArgument);
    EXPECT_EQ(root.CreateSubKey("a\nb", out), RegStatus::InvalidArgument);
    EXPECT_FALSE(out.IsOpen());
    RegistryKey closed;
    EXPECT_EQ(closed.CreateSubKey("a", out), RegStatus::InvalidArgument);
    EXPECT_EQ(closed.SetDword("a", 1), RegStatus::InvalidArgument);

    // Opening an existing key keeps what is in it.
    RegistryKey a = Open({"Software", "A"});
    ASSERT_EQ(a.SetDword("v", 5), RegStatus::Ok);
    RegistryKey again = Open({"Software", "A"});
    uint32_t v = 0, size = 4;
    EXPECT_EQ(again.QueryValue("v", nullptr, &v, &size), RegStatus::Ok);
    EXPECT_EQ(v, 5u);
    // An empty key is kept too, so a person sees it in the file.
    Open({"Software", "Empty"});
    EXPECT_NE(ReadFile(RegistryFile()).find("[HKEY_CURRENT_USER\\Software\\Empty]"), std::string::npos);
}

TEST_F(RegistryKeyTest, QueryReportsTypeAndSizeLikeTheSystemCall) {
    RegistryKey key = Open({"Software"});
    ASSERT_EQ(key.SetDword("d", 0x01020304), RegStatus::Ok);
    ASSERT_EQ(key.SetText("t", "hello"), RegStatus::Ok);

    uint32_t type = 0, size = 0;
    EXPECT_EQ(key.QueryValue("d", &type, nullptr, &size), RegStatus::Ok);
    EXPECT_EQ(type, kRegDword);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(key.QueryValue("t", &type, nullptr, &size), RegStatus::Ok);
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(size, 6u) << "a text's size counts its NUL";

    char buf[8];
    std::memset(buf, 'x', sizeof buf);
    size = 5;
    EXPECT_EQ(key.QueryValue("t", &type, buf, &size), RegStatus::MoreData);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(buf[0], 'x') << "nothing is copied into a buffer that is too small";
    size = sizeof buf;
    EXPECT_EQ(key.QueryValue("t", &type, buf, &size), RegStatus::Ok);
    EXPECT_EQ(size, 6u);
    EXPECT_STREQ(buf, "hello");

    uint8_t bytes[4];
    size = 4;
    EXPECT_EQ(key.QueryValue("d", &type, bytes, &size), RegStatus::Ok);
    EXPECT_EQ(bytes[0], 0x04);
    EXPECT_EQ(bytes[3], 0x01);

    EXPECT_EQ(key.QueryValue("missing", &type, nullptr, &size), RegStatus::NotFound);
    RegistryKey other = Open({"Other"});
    EXPECT_EQ(other.QueryValue("t", &type, nullptr, &size), RegStatus::NotFound) << "values belong to their key";
}

TEST_F(RegistryKeyTest, TextsEndAtNulAndKeepEveryOtherByte) {
    RegistryKey key = Open({"Software"});
    std::string all;
    for (int c = 1; c < 256; ++c) all += char(c);
    ASSERT_EQ(key.SetText(all, all), RegStatus::Ok);
    ASSERT_EQ(key.SetText("cut", std::string("abc\0def", 7)), RegStatus::Ok);
    ASSERT_EQ(key.SetText("empty", ""), RegStatus::Ok);

    RegistryKey reopened = Open({"Software"});
    std::vector<char> buf(300);
    uint32_t type = 0, size = uint32_t(buf.size());
    ASSERT_EQ(reopened.QueryValue(all, &type, buf.data(), &size), RegStatus::Ok);
    EXPECT_EQ(std::string(buf.data(), size - 1), all);
    EXPECT_EQ(QueryText(reopened, "cut"), "abc");
    EXPECT_EQ(QueryText(reopened, "empty"), "") << "an empty text is a value too";
    EXPECT_EQ(key.SetText(std::string("a\0b", 3), "x"), RegStatus::InvalidArgument);
}

TEST_F(RegistryKeyTest, DamagedFileIsKeptAsideReportedOnceAndStartsEmpty) {
    const std::string garbage = "this is not a registry\n\x01\x02";
    WriteFile(RegistryFile(), garbage);

    ::testing::internal::CaptureStderr();
    RegistryKey key = Open({"Software"});
    uint32_t size = 0;
    EXPECT_EQ(key.QueryValue("anything", nullptr, nullptr, &size), RegStatus::NotFound);
    ASSERT_EQ(key.SetText("fresh", "start"), RegStatus::Ok);
    EXPECT_EQ(QueryText(key, "fresh"), "start");
    std::string err = ::testing::internal::GetCapturedStderr();

    EXPECT_NE(err.find(RegistryFile()), std::string::npos) << err;
    EXPECT_EQ(err.find("could not be read"), err.rfind("could not be read")) << "reported once: " << err;

    int aside = 0;
    for (const auto& entry : std::filesystem::directory_iterator(Folder())) {
        std::string name = entry.path().filename();
        if (name.rfind("registry.reg.damaged-", 0) == 0) {
            ++aside;
            EXPECT_EQ(ReadFile(entry.path()), garbage) << "the damaged file is kept as it was";
            EXPECT_NE(err.find(name), std::string::npos) << "the message names where it went";
        }
    }
    EXPECT_EQ(aside, 1);
    RegistryTree tree;
    EXPECT_TRUE(ParseRegistryText(ReadFile(RegistryFile()), tree));
}

TEST_F(RegistryKeyTest, WritesLeaveNoTemporaryFilesBehind) {
    RegistryKey key = Open({"Software"});
    for (int i = 0; i < 20; ++i) ASSERT_EQ(key.SetDword("n" + std::to_string(i), uint32_t(i)), RegStatus::Ok);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Folder())) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"registry.reg", "registry.reg.lock"}));
    EXPECT_EQ(std::filesystem::status(Folder()).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
}

TEST_F(RegistryKeyTest, HandlesSeeWhatOtherHandlesWrote) {
    RegistryKey first = Open({"Software"});
    RegistryKey second = Open({"Software"});
    ASSERT_EQ(first.SetText("v", "one"), RegStatus::Ok);
    EXPECT_EQ(QueryText(second, "v"), "one");
    ASSERT_EQ(second.SetText("v", "two"), RegStatus::Ok);
    EXPECT_EQ(QueryText(first, "v"), "two");
    // A person editing the file between two calls is seen too.
    WriteFile(RegistryFile(), "REGEDIT4\n[HKEY_CURRENT_USER\\Software]\n\"v\"=\"edited\"\n");
    EXPECT_EQ(QueryText(first, "v"), "edited");
}

TEST_F(RegistryKeyTest, ThreadsWritingAtOnceLoseNothing) {
    constexpr int kThreads = 4, kEach = 25;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t] {
            RegistryKey key = Open({"Software", "Shared"});
            for (int i = 0; i < kEach; ++i) key.SetDword("t" + std::to_string(t) + "-" + std::to_string(i), uint32_t(i));
        });
    }
    for (auto& th : threads) th.join();
    RegistryKey key = Open({"Software", "Shared"});
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kEach; ++i) {
            uint32_t v = 999, size = 4;
            std::string name = "t" + std::to_string(t) + "-" + std::to_string(i);
            ASSERT_EQ(key.QueryValue(name, nullptr, &v, &size), RegStatus::Ok) << name;
            EXPECT_EQ(v, uint32_t(i));
        }
}

TEST_F(RegistryKeyTest, ProcessesWritingAtOnceLoseNothing) {
    constexpr int kProcesses = 3, kEach = 30;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            RegistryKey key = RegistryKey::CurrentUser();
            RegistryKey sub;
            int bad = key.CreateSubKey("Software", sub) != RegStatus::Ok;
            for (int i = 0; i < kEach; ++i)
                bad |= sub.SetText("p" + std::to_string(p) + "-" + std::to_string(i), std::to_string(i * 3)) != RegStatus::Ok;
            _exit(bad);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    RegistryKey key = Open({"Software"});
    for (int p = 0; p < kProcesses; ++p)
        for (int i = 0; i < kEach; ++i)
            EXPECT_EQ(QueryText(key, ("p" + std::to_string(p) + "-" + std::to_string(i)).c_str()), std::to_string(i * 3));
}

TEST_F(RegistryKeyTest, AWriterKilledMidWriteLeavesAReadableFile) {
    RegistryKey key = Open({"Software"});
    ASSERT_EQ(key.SetText("before", "kept"), RegStatus::Ok);
    for (int round = 0; round < 5; ++round) {
        const std::string name = "busy" + std::to_string(round);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            RegistryKey sub;
            RegistryKey::CurrentUser().CreateSubKey("Software", sub);
            for (uint32_t i = 0;; ++i) sub.SetText(name, std::string(1000 + i % 5000, char('a' + i % 26)));
        }
        // Kill it somewhere inside its stream of writes, once it has begun.
        uint32_t size = 0;
        while (key.QueryValue(name, nullptr, nullptr, &size) != RegStatus::Ok) usleep(500);
        usleep(1000u * uint32_t(round));
        ASSERT_EQ(kill(pid, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);

        RegistryTree tree;
        EXPECT_TRUE(ParseRegistryText(ReadFile(RegistryFile()), tree)) << "round " << round;
        EXPECT_EQ(QueryText(key, "before"), "kept");
    }
    // The next write clears what the killed writers left behind.
    ASSERT_EQ(key.SetText("after", "ok"), RegStatus::Ok);
    for (const auto& entry : std::filesystem::directory_iterator(Folder()))
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
}
