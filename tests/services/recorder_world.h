#pragma once
// The recorder stand-in on a free port of 127.0.0.1 as FilterServerURL, with
// its log kept so a test can see what reached it.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "recorder/RecorderServer.h"
#include "remote/RemoteSession.h"

namespace corvanta::test {

class RecorderWorld {
public:
    // `configure` may change the stand-in's set-up before it starts.
    explicit RecorderWorld(const std::function<void(recorder::RecorderConfig&)>& configure = {}) {
        m_config.port = 0;
        // One connection for each proxy a viewer keeps open at once, and more:
        // an idle kept-alive connection holds its server thread for seconds.
        m_config.threads = 8;
        m_config.seed = 7;
        m_config.anchorDate = recorder::CivilDate{2024, 3, 2};
        m_config.verbosity = 1;
        m_config.log = [this](const std::string& line) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_lines.push_back(line);
        };
        if (configure) configure(m_config);
        m_server = std::make_unique<recorder::RecorderServer>(m_config);
        std::string error;
        m_started = m_server->start(&error);
        EXPECT_TRUE(m_started) << error;
        SetFilterServerURL(m_started ? m_server->baseUrl() : "");
        SetSessionId("");
    }
    // A recorder stopped and started again on the same port: the same
    // archive, but none of the sessions it had.
    bool Restart() {
        Stop();
        return StartAgain();
    }
    // Stopped: nothing listens on its port until StartAgain.
    void Stop() {
        m_config.port = m_server->port();
        m_server->stop();
    }
    bool StartAgain() {
        m_server = std::make_unique<recorder::RecorderServer>(m_config);
        return m_server->start();
    }
    ~RecorderWorld() {
        m_server->stop();
        SetSessionId("");
        SetFilterServerURL("");
    }

    bool Started() const { return m_started; }
    std::string BaseUrl() const { return m_server->baseUrl(); }
    uint64_t Requests() const { return m_server->stats().requests; }

    // Log lines of the commands with `code` to `filter`; with `answered`,
    // only those answered with a record rather than an empty body.
    std::vector<std::string> CommandLines(const std::string& filter, uint32_t code, bool answered = false) {
        const std::string tag = "\"" + filter + "\" kind 3 code " + std::to_string(code) + " ";
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<std::string> found;
        for (const auto& line : m_lines)
            if (line.find(tag) != std::string::npos && (!answered || line.find(" bytes") != std::string::npos))
                found.push_back(line);
        return found;
    }
    std::vector<std::string> PrivilegeLines(uint32_t code, bool answered = false) {
        return CommandLines("Main User Privilege", code, answered);
    }
    recorder::RecorderServer& Server() { return *m_server; }

private:
    recorder::RecorderConfig m_config;
    std::unique_ptr<recorder::RecorderServer> m_server;
    bool m_started = false;
    std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

}  // namespace corvanta::test
