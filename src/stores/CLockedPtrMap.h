#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>

#include "stores/CNamedMutex.h"

namespace corvanta {

// Text (exact, case-sensitive) to untyped pointer, with its own mutex.
// Callers lock around every use; the map never frees what it points to.
class CLockedPtrMap {
public:
    CLockedPtrMap() { m_items.reserve(10); }
    virtual ~CLockedPtrMap() = default;

    int Lock(uint32_t timeoutMs = INFINITE_WAIT) { return m_mutex.Lock(timeoutMs); }
    int Unlock() { return m_mutex.Unlock(); }

    void SetAt(const std::string& key, void* p) { m_items[key] = p; }
    // True and the pointer in `out` when the key is there.
    bool Lookup(const std::string& key, void*& out) const {
        auto it = m_items.find(key);
        if (it == m_items.end()) return false;
        out = it->second;
        return true;
    }
    bool RemoveKey(const std::string& key) { return m_items.erase(key) > 0; }
    void RemoveAll() { m_items.clear(); }
    size_t GetCount() const { return m_items.size(); }
    void ForEach(const std::function<void(const std::string&, void*)>& fn) const {
        for (const auto& [k, v] : m_items) fn(k, v);
    }

private:
    std::unordered_map<std::string, void*> m_items;
    CNamedMutex m_mutex;
};

}  // namespace corvanta
