#include "stores/CYSMemory.h"

namespace corvanta {

CYSMemory::~CYSMemory() { Close(); }

int CYSMemory::Create(uint32_t size, const char* name, int* existed) {
    return Map(size, name, existed, platform::SharedRegion::Mode::CreateOrOpen);
}

int CYSMemory::Open(uint32_t size, const char* name) {
    return Map(size, name, nullptr, platform::SharedRegion::Mode::OpenExisting);
}

int CYSMemory::Map(uint32_t size, const char* name, int* existed, platform::SharedRegion::Mode mode) {
    Close();
    if (existed) *existed = 0;
    if (!name) return 0;
    m_name = name;
    if (!m_mutex1.Create((m_name + " YSMemoryMutex1").c_str())) return 0;
    if (!m_mutex2.Create((m_name + " YSMemoryMutex2").c_str())) return 0;
    if (!m_mutex1.Lock(500)) return 0;
    auto r = platform::SharedRegion::Open(m_name, size, mode);
    if (!r) {
        m_mutex1.Unlock();
        return 0;
    }
    m_region = std::move(r.Value());
    if (existed) *existed = m_region.Existed() ? 1 : 0;
    m_mutex1.Unlock();
    m_size = size;
    return 1;
}

int CYSMemory::Lock(bool first, uint32_t timeoutMs) {
    int ok = (first ? m_mutex1 : m_mutex2).Lock(timeoutMs);
    m_locked = ok != 0;
    if (ok) m_first = first;
    return ok;
}

int CYSMemory::Unlock() {
    int r = (m_first ? m_mutex1 : m_mutex2).Unlock();
    m_locked = false;
    return r;
}

int CYSMemory::Close() {
    bool acquired = m_mutex1.Lock(200) != 0;
    if (!m_region.IsOpen()) {
        if (acquired) m_mutex1.Unlock();
        return 0;
    }
    m_region.Close();
    m_size = 0;
    m_mutex1.Unlock();
    m_mutex2.Unlock();
    m_mutex1.Close();
    m_mutex2.Close();
    m_locked = false;
    return 1;
}

}  // namespace corvanta
