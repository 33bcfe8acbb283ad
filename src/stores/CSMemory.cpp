#include "stores/CSMemory.h"

namespace corvanta {

CSMemory::~CSMemory() { Close(); }

int CSMemory::Create(uint32_t size, const char* name, int* existed) {
    return Map(size, name, existed, platform::SharedRegion::Mode::CreateOrOpen);
}

int CSMemory::Open(uint32_t size, const char* name) {
    return Map(size, name, nullptr, platform::SharedRegion::Mode::OpenExisting);
}

int CSMemory::Map(uint32_t size, const char* name, int* existed, platform::SharedRegion::Mode mode) {
    Close();
    if (existed) *existed = 0;
    if (!name) return 0;
    m_name = name;
    if (!m_mutex.Create((m_name + " SMemoryMutex").c_str())) return 0;
    m_mutex.Lock();
    auto r = platform::SharedRegion::Open(m_name, size, mode);
    if (!r) {
        m_mutex.Unlock();
        return 0;
    }
    m_region = std::move(r.Value());
    if (existed) *existed = m_region.Existed() ? 1 : 0;
    m_mutex.Unlock();
    return 1;
}

int CSMemory::Close() {
    m_mutex.Lock();
    if (!m_region.IsOpen()) {
        m_mutex.Unlock();
        return 0;
    }
    m_region.Close();
    m_mutex.Unlock();
    m_mutex.Close();
    return 1;
}

}  // namespace corvanta
