#pragma once
#include <cstddef>
#include <vector>

#include "stores/CNamedMutex.h"

namespace corvanta {

// A list of untyped pointers with its own mutex. Callers lock around every
// use; the array never locks by itself and never frees what it points to.
class CLockedPtrArray {
public:
    virtual ~CLockedPtrArray() = default;

    int Lock(uint32_t timeoutMs = INFINITE_WAIT) { return m_mutex.Lock(timeoutMs); }
    int Unlock() { return m_mutex.Unlock(); }

    // Returns the index of the new element.
    size_t Add(void* p) {
        m_items.push_back(p);
        return m_items.size() - 1;
    }
    // Null past the end.
    void* GetAt(size_t i) const { return i < m_items.size() ? m_items[i] : nullptr; }
    void SetAt(size_t i, void* p) {
        if (i < m_items.size()) m_items[i] = p;
    }
    void RemoveAt(size_t i) {
        if (i < m_items.size()) m_items.erase(m_items.begin() + std::ptrdiff_t(i));
    }
    void RemoveAll() { m_items.clear(); }
    size_t GetSize() const { return m_items.size(); }

private:
    std::vector<void*> m_items;
    CNamedMutex m_mutex;
};

}  // namespace corvanta
