#pragma once
// Every system call is wrapped once. A failed call reports which call it was
// and its errno, so callers never look at a raw -1.

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <variant>

namespace corvanta::platform {

struct SysError {
    const char* call = "";  // name of the failing system call
    int error = 0;          // errno it set

    std::string Message() const { return std::string(call) + ": " + std::strerror(error); }
};

// The value of a successful call, or the error of a failed one.
template <typename T>
class SysResult {
public:
    SysResult(T value) : m_v(std::move(value)) {}
    SysResult(SysError e) : m_v(e) {}

    bool Ok() const { return m_v.index() == 0; }
    explicit operator bool() const { return Ok(); }
    T& Value() { return std::get<0>(m_v); }
    const T& Value() const { return std::get<0>(m_v); }
    const SysError& Error() const { return std::get<1>(m_v); }

private:
    std::variant<T, SysError> m_v;
};

inline SysError LastError(const char* call) { return SysError{call, errno}; }

}  // namespace corvanta::platform
