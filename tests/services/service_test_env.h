#pragma once
// A temporary current directory (where the dictionary is looked for first)
// holding XDG_CONFIG_HOME, XDG_DATA_HOME and HOME, an English locale whatever
// the user's is; and, unless the code under test makes its own, an instance
// with its queue manager.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <optional>
#include <string>

#include "framework/CMessageQueueManager.h"
#include "support/Files.h"
#include "support/Instance.h"
#include "support/WaitFor.h"

namespace corvanta::test {

// Seconds no other test process draws an instance from.
inline long long OwnSeconds() { return 1000000 + getpid(); }

// Sets the locale variables the dictionary's language follows (null unsets
// one) and gives back the old values when it goes.
class LocaleVariables {
public:
    LocaleVariables(const char* language, const char* all, const char* messages, const char* lang) {
        const char* values[] = {language, all, messages, lang};
        for (size_t i = 0; i < std::size(m_saved); ++i) {
            if (const char* v = getenv(kNames[i])) m_saved[i] = v;
            values[i] ? setenv(kNames[i], values[i], 1) : unsetenv(kNames[i]);
        }
    }
    ~LocaleVariables() {
        for (size_t i = 0; i < std::size(m_saved); ++i)
            m_saved[i] ? setenv(kNames[i], m_saved[i]->c_str(), 1) : unsetenv(kNames[i]);
    }
    LocaleVariables(const LocaleVariables&) = delete;
    LocaleVariables& operator=(const LocaleVariables&) = delete;

private:
    static constexpr const char* kNames[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
    std::optional<std::string> m_saved[4];
};

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
    LocaleVariables m_english{nullptr, nullptr, nullptr, "C.UTF-8"};
    std::string m_dir;
    std::filesystem::path m_oldCwd;
    CMessageQueueManager m_manager;
};

}  // namespace corvanta::test
