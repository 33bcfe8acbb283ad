#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/SharedRegion.h"
#include "stores/CNamedMutex.h"

namespace corvanta {

// Header at the start of every reader/writer region, shared by all its users.
struct RWSMemoryHeader {
    uint32_t inlineFlag;  // 1: the data follows this header
    int32_t readerCount;  // readers inside now; changed only atomically
};
static_assert(sizeof(RWSMemoryHeader) == 8);
static_assert(offsetof(RWSMemoryHeader, inlineFlag) == 0);
static_assert(offsetof(RWSMemoryHeader, readerCount) == 4);

// A named region for one writer and many readers. Readers are only counted
// and never wait; a writer takes "<name> RWSMemoryMutex" and waits a bounded
// time for the readers to leave.
class CRWSMemory {
public:
    CRWSMemory() = default;
    virtual ~CRWSMemory();
    CRWSMemory(const CRWSMemory&) = delete;
    CRWSMemory& operator=(const CRWSMemory&) = delete;

    // Maps the 8-byte header and `size` data bytes. A new region gets
    // `firstWord` in its header; `resetReaders` zeroes the reader count.
    int Create(uint32_t size, const char* name, bool resetReaders, int* existed = nullptr, uint32_t firstWord = 1);
    int Lock(bool writer, uint32_t timeoutMs = INFINITE_WAIT);
    int Unlock();
    // The data behind the header, or null when nothing is mapped.
    void* Data() const;
    int Close();

    int32_t ReaderCount() const;
    bool IsWriter() const { return m_locked && m_writer; }

private:
    RWSMemoryHeader* Header() const { return static_cast<RWSMemoryHeader*>(m_region.Data()); }

    platform::SharedRegion m_region;
    uint32_t m_size = 0;
    std::string m_name;
    bool m_locked = false;
    bool m_writer = false;
    CNamedMutex m_mutex;
};

}  // namespace corvanta
