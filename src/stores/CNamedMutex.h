#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "platform/ProcessMutex.h"

namespace corvanta {

inline constexpr uint32_t INFINITE_WAIT = platform::kInfinite;

// A mutex handle: unnamed from construction, or named (shared by every
// process of the instance) after Create. Recursive for its owning thread.
class CNamedMutex {
public:
    CNamedMutex();
    virtual ~CNamedMutex();
    CNamedMutex(const CNamedMutex&) = delete;
    CNamedMutex& operator=(const CNamedMutex&) = delete;

    // Replaces the handle: a named mutex (backslashes become blanks) or, with
    // a null name, a new unnamed one. `existed` is set to 1 when the named
    // mutex was already there. Returns 1, or 0 when the system refused.
    int Create(const char* name, int* existed = nullptr);
    // 1 when acquired; 0 on time-out, without a handle, or when the previous
    // owner ended while holding it (the mutex is released again in that case,
    // so it stays usable for everybody).
    int Lock(uint32_t timeoutMs = INFINITE_WAIT);
    // 0 without a handle; releasing a mutex this thread does not hold does nothing.
    int Unlock();
    int Close();

    bool HasHandle() const { return m_mutex.has_value(); }
    // The name in use after the backslash rule, empty for an unnamed mutex.
    const std::string& Name() const { return m_name; }

private:
    std::optional<platform::ProcessMutex> m_mutex;
    std::string m_name;
};

}  // namespace corvanta
