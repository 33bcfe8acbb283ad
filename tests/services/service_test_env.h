#pragma once
// A world of its own for one service test: an instance with its queue
// manager, a temporary current directory (where the dictionary is looked for
// first), and XDG_CONFIG_HOME, XDG_DATA_HOME and HOME inside it, so no test
// reads or writes the real home's registry or dictionary.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "support/Files.h"

#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "framework/CMessageQueueManager.h"
#include "support/Instance.h"
#include "support/WaitFor.h"

namespace corvanta::test {

class ServiceWorld {
public:
    ServiceWorld() {
        char tmpl[] = "/tmp/corvanta-services-test-XXXXXX";
        if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp");
        m_dir = tmpl;
        m_oldCwd = std::filesystem::current_path();
        std::filesystem::create_directories(m_dir + "/work");
        std::filesystem::current_path(m_dir + "/work");
        Remember("XDG_CONFIG_HOME", m_savedConfig);
        Remember("XDG_DATA_HOME", m_savedData);
        Remember("HOME", m_savedHome);
        setenv("XDG_CONFIG_HOME", (m_dir + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (m_dir + "/data").c_str(), 1);
        setenv("HOME", (m_dir + "/home").c_str(), 1);
        UseOwnInstance();
        m_manager.Start();
    }
    ~ServiceWorld() {
        m_manager.Close();
        std::error_code ec;
        std::filesystem::current_path(m_oldCwd, ec);
        Restore("XDG_CONFIG_HOME", m_savedConfig);
        Restore("XDG_DATA_HOME", m_savedData);
        Restore("HOME", m_savedHome);
        std::filesystem::remove_all(m_dir, ec);
    }

    // The current directory of the test.
    std::string WorkDir() const { return m_dir + "/work"; }
    // $XDG_DATA_HOME/corvanta
    std::string DataDir() const { return m_dir + "/data/corvanta"; }
    std::string RegistryFile() const { return m_dir + "/config/corvanta/registry.reg"; }

    static std::string ReadFile(const std::string& path) { return test::ReadWholeFile(path); }
    static void WriteFile(const std::string& path, const std::string& text) { test::WriteWholeFile(path, text); }

    // True once a filter of that name can be found in the instance.
    static bool Registered(const std::string& name, bool registered = true) {
        return WaitFor([&] { return (CMessageQueueManager::FindQueue(name) != 0) == registered; }, 5000);
    }

private:
    static void Remember(const char* name, std::optional<std::string>& slot) {
        if (const char* v = getenv(name)) slot = v;
    }
    static void Restore(const char* name, const std::optional<std::string>& slot) {
        if (slot)
            setenv(name, slot->c_str(), 1);
        else
            unsetenv(name);
    }

    std::string m_dir;
    std::filesystem::path m_oldCwd;
    std::optional<std::string> m_savedConfig, m_savedData, m_savedHome;
    CMessageQueueManager m_manager;
};

}  // namespace corvanta::test
