#pragma once
// A second process whose standard output (and error, on request) the test
// reads; a killed peer cannot close its regions, so its end removes what nobody holds.

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "platform/SharedRegion.h"

extern char** environ;

namespace corvanta::test {

class PeerProcess {
public:
    // With `withErrors` its standard error is a pipe too, read by ReadAll(2).
    PeerProcess(const std::string& path, const std::vector<std::string>& args, bool withErrors = false) {
        int out[2], err[2] = {-1, -1};
        if (pipe(out) != 0 || (withErrors && pipe(err) != 0)) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        for (int* fds : {out, err}) {
            if (fds[1] < 0) continue;
            posix_spawn_file_actions_adddup2(&actions, fds[1], fds == out ? 1 : 2);
            posix_spawn_file_actions_addclose(&actions, fds[0]);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(path.c_str()));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, path.c_str(), &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        for (int* fds : {out, err})
            if (fds[1] >= 0) close(fds[1]);
        m_out = out[0];
        m_err = err[0];
    }
    ~PeerProcess() {
        Kill();
        for (int fd : {m_out, m_err})
            if (fd >= 0) close(fd);
        if (m_killed) platform::SharedRegion::RemoveUnused();
    }
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }

    // One line of the peer's standard output (1) or error (2) without its
    // newline; empty after `timeoutMs`.
    std::string ReadLine(int timeoutMs = 10000, int stream = 1) {
        std::string& buffer = stream == 1 ? m_buffer : m_errBuffer;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            auto nl = buffer.find('\n');
            if (nl != std::string::npos) {
                std::string line = buffer.substr(0, nl);
                buffer.erase(0, nl + 1);
                return line;
            }
            using std::chrono::milliseconds;
            int left = int(std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now()).count());
            if (left <= 0) return {};
            pollfd p{stream == 1 ? m_out : m_err, POLLIN, 0};
            if (poll(&p, 1, left) <= 0) return {};
            char buf[256];
            ssize_t n = read(p.fd, buf, sizeof buf);
            if (n <= 0) return {};
            buffer.append(buf, size_t(n));
        }
    }

    // The rest of its standard output (1) or error (2), up to the end.
    std::string ReadAll(int stream = 1) {
        std::string text = std::exchange(stream == 1 ? m_buffer : m_errBuffer, {});
        char buf[4096];
        for (ssize_t n; (n = read(stream == 1 ? m_out : m_err, buf, sizeof buf)) > 0;) text.append(buf, size_t(n));
        return text;
    }

    void Kill() {
        if (m_pid <= 0) return;
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
        m_killed = true;
    }

    // The exit status of a normal end, or -1; after `timeoutMs` (unless -1) it is killed.
    int Wait(int timeoutMs = -1) {
        if (m_pid <= 0) return -1;
        int status = 0;
        for (int waited = 0; waitpid(m_pid, &status, timeoutMs < 0 ? 0 : WNOHANG) == 0; waited += 10) {
            if (waited >= timeoutMs) {
                Kill();
                return -1;
            }
            usleep(10000);
        }
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    bool m_killed = false;
    int m_err = -1;
    std::string m_buffer, m_errBuffer;
};

}  // namespace corvanta::test
