#pragma once
// A loopback HTTP server on raw sockets for the channel tests: it records
// the exact bytes of every request and answers in one of several ways,
// including the faulty ones a real server may show.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace corvanta::test {

class TestHttpServer {
public:
    enum class Mode {
        Answer,         // status line, Content-Length, body; connection kept
        Drop,           // read the request, close without a byte
        Stall,          // read the request, never answer
        ShortBody,      // announce the body, send a part, close
        Garbage,        // bytes that are not HTTP, then close
    };

    TestHttpServer() {
        m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(m_listener, 16);
        socklen_t length = sizeof address;
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        pipe2(m_stop, O_CLOEXEC);
        m_acceptor = std::thread([this] { AcceptLoop(); });
    }

    ~TestHttpServer() {
        const char byte = 0;
        (void)!write(m_stop[1], &byte, 1);
        m_acceptor.join();
        for (std::thread& t : m_connections) {
            t.join();
        }
        close(m_listener);
        close(m_stop[0]);
        close(m_stop[1]);
    }

    uint16_t Port() const { return m_port; }
    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(m_port); }

    void SetMode(Mode mode) {
        std::lock_guard lock(m_mutex);
        m_mode = mode;
    }
    // The answer for Mode::Answer.
    void SetAnswer(std::string body, std::string status = "200 OK", std::string extraHeaders = "") {
        std::lock_guard lock(m_mutex);
        m_body = std::move(body);
        m_status = std::move(status);
        m_extraHeaders = std::move(extraHeaders);
    }

    std::vector<std::string> Requests() const {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }
    int Connections() const { return m_accepted.load(); }

private:
    void AcceptLoop() {
        for (;;) {
            pollfd fds[2] = {{m_listener, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
            if (poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN)) {
                return;
            }
            const int fd = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                continue;
            }
            m_accepted++;
            m_connections.emplace_back([this, fd] { Serve(fd); });
        }
    }

    // Waits for input on `fd`; false when the server stops first.
    bool WaitReadable(int fd) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
        return poll(fds, 2, -1) > 0 && !(fds[1].revents & POLLIN);
    }

    void SendAll(int fd, const std::string& bytes) {
        size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                return;
            }
            sent += static_cast<size_t>(n);
        }
    }

    void Serve(int fd) {
        std::string pending;
        for (;;) {
            size_t end;
            while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
                char chunk[4096];
                if (!WaitReadable(fd)) {
                    close(fd);
                    return;
                }
                const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
                if (n <= 0) {
                    close(fd);
                    return;
                }
                pending.append(chunk, static_cast<size_t>(n));
            }
            const std::string request = pending.substr(0, end + 4);
            pending.erase(0, end + 4);

            Mode mode;
            std::string body, status, extra;
            {
                std::lock_guard lock(m_mutex);
                m_requests.push_back(request);
                mode = m_mode;
                body = m_body;
                status = m_status;
                extra = m_extraHeaders;
            }
            const std::string head = "HTTP/1.1 " + status + "\r\nContent-Length: " +
                                     std::to_string(body.size()) + "\r\n" + extra + "\r\n";
            switch (mode) {
            case Mode::Answer:
                SendAll(fd, head + body);
                continue;
            case Mode::Drop:
                break;
            case Mode::Stall:
                // Hold the connection until the client gives up or the
                // server stops.
                while (WaitReadable(fd)) {
                    char chunk[256];
                    if (recv(fd, chunk, sizeof chunk, 0) <= 0) {
                        break;
                    }
                }
                break;
            case Mode::ShortBody:
                SendAll(fd, head + body.substr(0, body.size() / 2));
                break;
            case Mode::Garbage:
                SendAll(fd, "\x01\x02 this is not an answer\r\n\r\n");
                break;
            }
            close(fd);
            return;
        }
    }

    int m_listener = -1;
    int m_stop[2] = {-1, -1};
    uint16_t m_port = 0;
    std::thread m_acceptor;
    std::vector<std::thread> m_connections;  // touched by the acceptor thread only until join
    std::atomic<int> m_accepted{0};
    mutable std::mutex m_mutex;
    Mode m_mode = Mode::Answer;
    std::string m_body = "ok";
    std::string m_status = "200 OK";
    std::string m_extraHeaders;
    std::vector<std::string> m_requests;
};

// A port on 127.0.0.1 that nothing listens on: bound once, then released.
inline uint16_t ClosedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

}  // namespace corvanta::test
