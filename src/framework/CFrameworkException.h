#pragma once
#include <exception>
#include <string>

namespace corvanta {

// The exception the framework and its filters throw on purpose. A filter's
// message handler reports its message in an event; any other exception is
// reported as " - Unknown".
class CFrameworkException : public std::exception {
public:
    explicit CFrameworkException(std::string message) : m_message(std::move(message)) {}
    const char* what() const noexcept override { return m_message.c_str(); }
    const std::string& Message() const { return m_message; }

private:
    std::string m_message;
};

}  // namespace corvanta
