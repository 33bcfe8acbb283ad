#include "stores/CRWSMemory.h"

#include "platform/Interlocked.h"
#include "platform/Tick.h"

namespace corvanta {

CRWSMemory::~CRWSMemory() { Close(); }

int CRWSMemory::Create(uint32_t size, const char* name, bool resetReaders, int* existed, uint32_t firstWord) {
    Close();
    if (existed) *existed = 0;
    if (!name) return 0;
    m_name = name;
    if (!m_mutex.Create((m_name + " RWSMemoryMutex").c_str())) return 0;
    bool acquired = m_mutex.Lock(10) != 0;
    auto r = platform::SharedRegion::Open(m_name, size_t(size) + sizeof(RWSMemoryHeader));
    if (!r) {
        if (acquired) m_mutex.Unlock();
        return 0;
    }
    m_region = std::move(r.Value());
    m_size = size;
    if (!m_region.Existed()) Header()->inlineFlag = firstWord;
    if (existed) *existed = m_region.Existed() ? 1 : 0;
    if (resetReaders) platform::InterlockedWrite(&Header()->readerCount, 0);
    if (acquired) m_mutex.Unlock();
    return 1;
}

int CRWSMemory::Lock(bool writer, uint32_t timeoutMs) {
    if (!m_region.IsOpen()) return 0;
    if (!writer) {
        platform::InterlockedIncrement(&Header()->readerCount);
        m_locked = true;
        m_writer = false;
        return 1;
    }
    m_mutex.Lock(timeoutMs);
    for (int i = 0; i < 50 && platform::InterlockedRead(&Header()->readerCount) != 0; ++i) platform::SleepMs(5);
    m_locked = true;
    m_writer = true;
    return 1;
}

int CRWSMemory::Unlock() {
    if (!m_region.IsOpen()) return 0;
    if (m_locked) {
        if (m_writer)
            m_mutex.Unlock();
        else
            platform::InterlockedDecrement(&Header()->readerCount);
    }
    m_locked = false;
    return 1;
}

void* CRWSMemory::Data() const {
    return m_region.IsOpen() ? static_cast<char*>(m_region.Data()) + sizeof(RWSMemoryHeader) : nullptr;
}

int32_t CRWSMemory::ReaderCount() const {
    return m_region.IsOpen() ? platform::InterlockedRead(&Header()->readerCount) : 0;
}

int CRWSMemory::Close() {
    if (!m_region.IsOpen()) return 0;
    if (m_locked && !m_writer) platform::InterlockedDecrement(&Header()->readerCount);
    m_region.Close();
    if (m_locked && m_writer) m_mutex.Unlock();
    m_locked = false;
    m_writer = false;
    return 1;
}

}  // namespace corvanta
