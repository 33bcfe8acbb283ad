#include "stores/CNamedMutex.h"

#include <algorithm>

namespace corvanta {

CNamedMutex::CNamedMutex() : m_mutex(std::in_place) {}

CNamedMutex::~CNamedMutex() { Close(); }

int CNamedMutex::Create(const char* name, int* existed) {
    Close();
    if (existed) *existed = 0;
    if (!name) {
        m_mutex.emplace();
        return 1;
    }
    m_name = name;
    std::replace(m_name.begin(), m_name.end(), '\\', ' ');
    bool had = false;
    auto r = platform::ProcessMutex::OpenNamed(m_name, &had);
    if (!r) {
        m_name.clear();
        return 0;
    }
    m_mutex.emplace(std::move(r.Value()));
    if (existed) *existed = had ? 1 : 0;
    return 1;
}

int CNamedMutex::Lock(uint32_t timeoutMs) {
    if (!m_mutex) return 0;
    switch (m_mutex->Lock(timeoutMs)) {
        case platform::LockStatus::Acquired:
            return 1;
        case platform::LockStatus::Abandoned:
            m_mutex->Unlock();
            return 0;
        default:
            return 0;
    }
}

int CNamedMutex::Unlock() {
    if (!m_mutex) return 0;
    m_mutex->Unlock();
    return 1;
}

int CNamedMutex::Close() {
    if (!m_mutex) return 0;
    m_mutex.reset();
    m_name.clear();
    return 1;
}

}  // namespace corvanta
