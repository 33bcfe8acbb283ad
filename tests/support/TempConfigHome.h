#pragma once
// Points the registry at a fresh temporary folder for one test.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "support/Files.h"

namespace corvanta::testenv {

class TempConfigHome : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/corvanta-config-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
        // Anything that ignores XDG_CONFIG_HOME still lands in the temporary folder.
        for (auto& [name, sub, saved] : m_env) {
            if (const char* v = getenv(name)) saved = v;
            setenv(name, (m_dir + sub).c_str(), 1);
        }
    }
    void TearDown() override {
        for (auto& [name, sub, saved] : m_env) saved ? setenv(name, saved->c_str(), 1) : unsetenv(name);
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    // HKEY_CURRENT_USER's key at `path`, made as needed.
    static platform::RegistryKey Key(const std::vector<std::string>& path) {
        platform::RegistryKey key = platform::RegistryKey::CurrentUser();
        for (const std::string& name : path) {
            platform::RegistryKey next;
            EXPECT_EQ(key.CreateSubKey(name, next), platform::RegStatus::Ok) << name;
            key = std::move(next);
        }
        return key;
    }
    std::string RegistryFile() const { return m_dir + "/corvanta/registry.reg"; }
    std::string Folder() const { return m_dir + "/corvanta"; }

    static std::string ReadFile(const std::string& path) { return test::ReadWholeFile(path); }
    static void WriteFile(const std::string& path, const std::string& text) { test::WriteWholeFile(path, text); }

    std::string m_dir;

private:
    struct Variable {
        const char* name;
        const char* sub;
        std::optional<std::string> saved;
    } m_env[2] = {{"XDG_CONFIG_HOME", "", {}}, {"HOME", "/home", {}}};
};

}  // namespace corvanta::testenv
