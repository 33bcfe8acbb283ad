#pragma once
// A temporary current directory (where the dictionary is looked for first)
// holding XDG_CONFIG_HOME, XDG_DATA_HOME and HOME; and, unless the code under
// test makes its own, an instance with its queue manager.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "framework/CMessageQueueManager.h"
#include "support/Files.h"
#include "support/Instance.h"
#include "support/WaitFor.h"

namespace corvanta::test {

// Seconds no other test process draws an instance from.
inline long long OwnSeconds() { return 1000000 + getpid(); }

class ServiceWorld {
public:
    explicit ServiceWorld(bool ownInstance = true) {
        char tmpl[] = "/tmp/corvanta-test-XXXXXX";
        if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp");
        m_dir = tmpl;
        m_oldCwd = std::filesystem::current_path();
        std::filesystem::create_directories(m_dir + "/work");
        std::filesystem::current_path(m_dir + "/work");
        for (auto& [name, sub, saved] : m_env) {
            if (const char* v = getenv(name)) saved = v;
            setenv(name, (m_dir + sub).c_str(), 1);
        }
        if (!ownInstance) return;
        UseOwnInstance();
        m_manager.Start();
    }
    ~ServiceWorld() {
        m_manager.Close();
        std::error_code ec;
        std::filesystem::current_path(m_oldCwd, ec);
        for (auto& [name, sub, saved] : m_env) saved ? setenv(name, saved->c_str(), 1) : unsetenv(name);
        std::filesystem::remove_all(m_dir, ec);
    }

    const std::string& Dir() const { return m_dir; }
    std::string RegistryFile() const { return m_dir + "/config/corvanta/registry.reg"; }

    // True once a filter of that name is (or is no longer) found in the instance.
    static bool Registered(const std::string& name, bool registered = true) {
        return WaitFor([&] { return (CMessageQueueManager::FindQueue(name) != 0) == registered; }, 5000);
    }

private:
    struct Variable {
        const char* name;
        const char* sub;
        std::optional<std::string> saved;
    };
    Variable m_env[3] = {{"XDG_CONFIG_HOME", "/config", {}}, {"XDG_DATA_HOME", "/data", {}}, {"HOME", "/home", {}}};
    std::string m_dir;
    std::filesystem::path m_oldCwd;
    CMessageQueueManager m_manager;
};

}  // namespace corvanta::test
