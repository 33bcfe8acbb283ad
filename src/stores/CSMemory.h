#pragma once
#include <cstdint>
#include <string>

#include "platform/SharedRegion.h"
#include "stores/CNamedMutex.h"

namespace corvanta {

// A named shared region guarded by one named mutex "<name> SMemoryMutex".
class CSMemory {
public:
    CSMemory() = default;
    virtual ~CSMemory();
    CSMemory(const CSMemory&) = delete;
    CSMemory& operator=(const CSMemory&) = delete;

    // Maps `size` bytes of the region, creating it (zero-filled) when new.
    // `existed` is 1 when it was already there. Returns 1 on success.
    int Create(uint32_t size, const char* name, int* existed = nullptr);
    // As Create, but only maps a region somebody already made.
    int Open(uint32_t size, const char* name);
    int Lock(uint32_t timeoutMs = INFINITE_WAIT) { return m_mutex.Lock(timeoutMs); }
    int Unlock() { return m_mutex.Unlock(); }
    void* Data() const { return m_region.Data(); }
    // 0 when nothing was mapped.
    int Close();

    const std::string& Name() const { return m_name; }

private:
    int Map(uint32_t size, const char* name, int* existed, platform::SharedRegion::Mode mode);

    std::string m_name;
    CNamedMutex m_mutex;
    platform::SharedRegion m_region;
};

}  // namespace corvanta
