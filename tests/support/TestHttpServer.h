#pragma once
// A raw loopback HTTP server that keeps every request's bytes and can answer
// in the faulty ways a real server may, or as a web server that is not a
// recorder (a router's page, a 404) does.

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace corvanta::test {

inline uint16_t BindLoopback(int fd) {
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

inline uint16_t ClosedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const uint16_t port = BindLoopback(fd);
    close(fd);
    return port;
}

class TestHttpServer {
public:
    // Answer keeps the connection; the next three close it without a byte, after half the body, or after no
    // HTTP; Silent keeps it without answering until the client goes.
    enum class Mode { Answer, Drop, ShortBody, Garbage, Silent };

    TestHttpServer() : m_listener(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)), m_port(BindLoopback(m_listener)) {
        listen(m_listener, 16);
        (void)!pipe2(m_stop, O_CLOEXEC);
        m_acceptor = std::thread([this] {
            while (WaitReadable(m_listener)) {
                const int fd = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd < 0) continue;
                m_accepted++;
                m_connections.emplace_back([this, fd] { Serve(fd); close(fd); });
            }
        });
    }
    ~TestHttpServer() {
        (void)!write(m_stop[1], "", 1);
        m_acceptor.join();
        for (std::thread& t : m_connections) t.join();
        for (int fd : {m_listener, m_stop[0], m_stop[1]}) close(fd);
    }

    uint16_t Port() const { return m_port; }
    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    int Connections() const { return m_accepted; }
    std::vector<std::string> Requests() const {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }
    void SetMode(Mode mode) {
        std::lock_guard lock(m_mutex);
        m_mode = mode;
    }
    void SetAnswer(const std::string& body, const std::string& status = "200 OK", const std::string& headers = "") {
        std::lock_guard lock(m_mutex);
        m_answer = "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + headers +
                   "\r\n" + body;
        m_bodySize = body.size();
    }
    void SetPage(const std::string& status, const std::string& body) {
        SetAnswer(body, status, "Content-Type: text/html\r\n");
    }

private:
    bool WaitReadable(int fd) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
        return poll(fds, 2, -1) > 0 && !(fds[1].revents & POLLIN);
    }

    void Serve(int fd) {
        for (std::string pending;;) {
            size_t end;
            while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
                char chunk[4096];
                const ssize_t n = WaitReadable(fd) ? recv(fd, chunk, sizeof chunk, 0) : 0;
                if (n <= 0) return;
                pending.append(chunk, size_t(n));
            }
            std::unique_lock lock(m_mutex);
            m_requests.push_back(pending.substr(0, end + 4));
            pending.erase(0, end + 4);
            const Mode mode = m_mode;
            if (mode == Mode::Silent) {
                lock.unlock();
                char rest[4096];
                while (WaitReadable(fd) && recv(fd, rest, sizeof rest, 0) > 0) {}
                return;
            }
            std::string answer = mode == Mode::Drop ? "" : mode == Mode::Garbage ? "\x01\x02 no answer\r\n\r\n" : m_answer;
            if (mode == Mode::ShortBody) answer.resize(answer.size() - m_bodySize / 2);
            lock.unlock();
            for (size_t sent = 0; sent < answer.size();) {
                const ssize_t n = send(fd, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) return;
                sent += size_t(n);
            }
            if (mode != Mode::Answer) return;
        }
    }

    int m_listener;
    uint16_t m_port;
    int m_stop[2] = {-1, -1};
    std::thread m_acceptor;
    std::vector<std::thread> m_connections;  // touched by the acceptor thread only until it is joined
    std::atomic<int> m_accepted{0};
    mutable std::mutex m_mutex;
    Mode m_mode = Mode::Answer;
    std::string m_answer = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
    size_t m_bodySize = 2;
    std::vector<std::string> m_requests;
};

}  // namespace corvanta::test
