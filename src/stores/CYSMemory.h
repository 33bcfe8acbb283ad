#pragma once
#include <cstdint>
#include <string>

#include "platform/SharedRegion.h"
#include "stores/CNamedMutex.h"

namespace corvanta {

// A named shared region with two named mutexes, "<name> YSMemoryMutex1" and
// "<name> YSMemoryMutex2". Callers of a filter take the first, the filter's
// own handler the second, so a caller and the handler never wait on each other.
class CYSMemory {
public:
    CYSMemory() = default;
    virtual ~CYSMemory();
    CYSMemory(const CYSMemory&) = delete;
    CYSMemory& operator=(const CYSMemory&) = delete;

    // Fails when the first mutex is not free within 500 ms.
    int Create(uint32_t size, const char* name, int* existed = nullptr);
    // As Create, but only maps a region somebody already made.
    int Open(uint32_t size, const char* name);
    // Takes the first mutex when `first`, else the second.
    int Lock(bool first, uint32_t timeoutMs = INFINITE_WAIT);
    // Releases the mutex the last Lock named.
    int Unlock();
    void* Data() const { return m_region.Data(); }
    uint32_t Size() const { return m_size; }
    int Close();

private:
    int Map(uint32_t size, const char* name, int* existed, platform::SharedRegion::Mode mode);

    uint32_t m_size = 0;
    bool m_locked = false;
    bool m_first = false;
    std::string m_name;
    CNamedMutex m_mutex1;
    CNamedMutex m_mutex2;
    platform::SharedRegion m_region;
};

}  // namespace corvanta
