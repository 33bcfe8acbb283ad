#pragma once
// Points the registry at a fresh temporary folder for one test, so no test
// ever reads or writes the real home.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

#include "support/Files.h"

namespace corvanta::testenv {

class TempConfigHome : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/corvanta-config-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
        m_savedXdg = Saved("XDG_CONFIG_HOME");
        m_savedHome = Saved("HOME");
        setenv("XDG_CONFIG_HOME", m_dir.c_str(), 1);
        // Anything that ignores XDG_CONFIG_HOME still lands in the temporary folder.
        setenv("HOME", (m_dir + "/home").c_str(), 1);
    }
    void TearDown() override {
        Restore("XDG_CONFIG_HOME", m_savedXdg);
        Restore("HOME", m_savedHome);
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    std::string RegistryFile() const { return m_dir + "/corvanta/registry.reg"; }
    std::string Folder() const { return m_dir + "/corvanta"; }

    static std::string ReadFile(const std::string& path) { return test::ReadWholeFile(path); }
    static void WriteFile(const std::string& path, const std::string& text) { test::WriteWholeFile(path, text); }

    std::string m_dir;

private:
    static std::optional<std::string> Saved(const char* name) {
        const char* v = getenv(name);
        return v ? std::optional<std::string>(v) : std::nullopt;
    }
    static void Restore(const char* name, const std::optional<std::string>& slot) {
        if (slot)
            setenv(name, slot->c_str(), 1);
        else
            unsetenv(name);
    }
    std::optional<std::string> m_savedXdg, m_savedHome;
};

}  // namespace corvanta::testenv
