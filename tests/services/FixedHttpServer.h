#pragma once
// A web server that is not a recorder: on 127.0.0.1 it answers every
// request with the same HTTP answer, as a router's page or a 404 would.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

namespace corvanta::test {

class FixedHttpServer {
public:
    explicit FixedHttpServer(std::string answer) : m_answer(std::move(answer)) {
        m_socket = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_socket < 0 || bind(m_socket, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            listen(m_socket, 4) != 0 || getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~FixedHttpServer() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        if (m_socket >= 0) close(m_socket);
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    int Port() const { return m_port; }

private:
    void Serve() {
        while (!m_stop) {
            pollfd ready{m_socket, POLLIN, 0};
            if (poll(&ready, 1, 20) <= 0) continue;
            const int peer = accept(m_socket, nullptr, nullptr);
            if (peer < 0) continue;
            std::string request;
            char buffer[4096];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const ssize_t n = recv(peer, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                request.append(buffer, size_t(n));
            }
            for (size_t sent = 0; sent < m_answer.size();) {
                const ssize_t n = send(peer, m_answer.data() + sent, m_answer.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) break;
                sent += size_t(n);
            }
            close(peer);
        }
    }

    std::string m_answer;
    int m_socket = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

inline std::string HttpAnswer(int status, const std::string& body) {
    return "HTTP/1.1 " + std::to_string(status) + (status == 200 ? " OK" : " Not Found") +
           "\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

}  // namespace corvanta::test
