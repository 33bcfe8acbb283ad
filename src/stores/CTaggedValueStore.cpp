#include "stores/CTaggedValueStore.h"

#include <algorithm>
#include <cstring>

#include "stores/TaggedRecord.h"

namespace corvanta {
namespace {

constexpr uint32_t kTextCapacity = 6000;

// How many bytes the cached value of each entry type reads from the data.
size_t BytesReadForCache(uint32_t type) {
    switch (type) {
        case 1: case 2: return 4;
        case 4: case 5: return 8;
        case 9: return 1;
        case 10: return 2;
        case 11: return 16;
        default: return 0;
    }
}

bool KnownType(uint32_t type) { return type >= 1 && type <= 11; }

class ScopedLock {
public:
    ScopedLock(CTaggedValueStore& store, bool take) : m_store(take ? &store : nullptr) {
        if (m_store) m_store->Lock();
    }
    ~ScopedLock() {
        if (m_store) m_store->Unlock();
    }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    CTaggedValueStore* m_store;
};

uint32_t ReadU32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

}  // namespace

CTaggedValueStore::CTaggedValueStore() = default;

CTaggedValueStore::~CTaggedValueStore() { Clear(); }

uint32_t CTaggedValueStore::DefaultCapacity(uint32_t type) {
    switch (type) {
        case 1: case 2: return 4;
        case 3: return kTextCapacity;
        case 4: case 5: case 6: return 8;
        case 7: return 4;
        case 8: case 9: return 1;
        case 10: return 2;
        case 11: return 16;
        default: return 0;
    }
}

void CTaggedValueStore::RebuildCachedValue(TaggedEntry& e) {
    const uint8_t* d = e.data.data();
    switch (e.type) {
        case 1: e.cachedValue = CTaggedValue(ReadU32(d)); break;
        case 2: e.cachedValue = CTaggedValue(int32_t(ReadU32(d))); break;
        case 3: {
            const char* chars = reinterpret_cast<const char*>(d);
            e.cachedValue = CTaggedValue(std::string_view(chars, strnlen(chars, e.capacity)));
            break;
        }
        case 4: e.cachedValue = CTaggedValue(ReadU32(d), ReadU32(d + 4)); break;
        case 5: e.cachedValue = CTaggedValue(int32_t(ReadU32(d)), int32_t(ReadU32(d + 4))); break;
        case 8: {
            CTaggedValue v(TaggedFill{0, e.capacity});
            if (e.length) std::memcpy(v.Data(), d, std::min(e.length, e.capacity));
            e.cachedValue = v;
            break;
        }
        case 9: e.cachedValue = CTaggedValue(uint32_t(d[0])); break;
        case 10: e.cachedValue = CTaggedValue(uint32_t(d[0]) | uint32_t(d[1]) << 8); break;
        case 11: {
            platform::SystemTime t;
            std::memcpy(&t, d, sizeof t);
            e.cachedValue = CTaggedValue(t);
            break;
        }
        default:
            break;  // types 6 and 7 have no cached value; it stays as it was
    }
}

int CTaggedValueStore::DeclareLocked(const std::string& name, uint32_t type, uint32_t flags, uint32_t capacity,
                                     bool honourFirst) {
    if (Find(name)) return 0;
    if (type == 3)
        capacity = kTextCapacity;
    else if (capacity == 0)
        capacity = DefaultCapacity(type);
    auto entry = std::make_unique<TaggedEntry>();
    entry->type = type;
    entry->flags = flags;
    entry->name = name;
    entry->label = name;
    entry->capacity = capacity;
    entry->data.assign(std::max<size_t>(capacity, BytesReadForCache(type)), 0);
    RebuildCachedValue(*entry);
    if (honourFirst && (flags & kTaggedFirst))
        m_entries.insert(m_entries.begin(), std::move(entry));
    else
        m_entries.push_back(std::move(entry));
    return 1;
}

int CTaggedValueStore::Declare(const std::string& name, uint32_t type, uint32_t flags, uint32_t capacity) {
    ScopedLock lock(*this, true);
    return DeclareLocked(name, type, flags, capacity, true);
}

int CTaggedValueStore::DeclareFrom(const std::string& name, const CTaggedValue& value, uint32_t flags) {
    ScopedLock lock(*this, true);
    CTaggedValue copy(value);
    if (!DeclareLocked(name, copy.Type(), flags, copy.Size(), false)) return 0;
    return SetBytes(name, copy.Data(), copy.Size());
}

TaggedEntry* CTaggedValueStore::Find(std::string_view name) {
    for (auto& e : m_entries)
        if (e->name == name) return e.get();
    return nullptr;
}

int CTaggedValueStore::SetBytes(const std::string& name, const void* bytes, uint32_t count) {
    ScopedLock lock(*this, true);
    TaggedEntry* e = Find(name);
    if (!e || count > e->capacity || (count && !bytes)) return 0;
    if (count) {
        if (!(e->flags & kTaggedLocal) && m_trackChanges && std::memcmp(e->data.data(), bytes, count) != 0) {
            e->changed = true;
            m_modified = true;
        }
        std::memmove(e->data.data(), bytes, count);
    }
    e->length = count;
    RebuildCachedValue(*e);
    return 1;
}

int CTaggedValueStore::SetValue(const std::string& name, const CTaggedValue& value) {
    CTaggedValue copy(value);
    return SetBytes(name, copy.Data(), copy.Size());
}

int CTaggedValueStore::SetWord(const std::string& name, uint32_t word) {
    uint8_t bytes[4];
    std::memcpy(bytes, &word, 4);
    return SetBytes(name, bytes, 4);
}

CTaggedValue CTaggedValueStore::GetValue(const std::string& name) {
    ScopedLock lock(*this, true);
    TaggedEntry* e = Find(name);
    return e ? e->cachedValue : CTaggedValue();
}

int CTaggedValueStore::SetFromHex(const std::string& name, std::string_view hex, bool create, bool track, bool lock) {
    ScopedLock guard(*this, lock);
    hex = hex.substr(0, hex.find('\0'));
    bool changed = false;
    TaggedEntry* e = Find(name);
    if (!e) {
        if (!create) return 0;
        if (hex.size() / 2 > UINT32_MAX) return 0;
        {
            // The lock is recursive, so declaring under it is safe.
            ScopedLock inner(*this, true);
            DeclareLocked(name, 8, 0, uint32_t(hex.size() / 2), true);
        }
        e = Find(name);
        if (!e) return 0;
        changed = true;
    }
    if (!KnownType(e->type)) return 0;
    size_t n = hex.size() / 2;
    if (n > e->capacity || hex.empty()) return 0;
    for (size_t i = 0; i < n; ++i) {
        uint8_t b = ScanHexPair(hex[2 * i], hex[2 * i + 1]);
        if (m_trackChanges && e->data[i] != b) changed = true;
        e->data[i] = b;
    }
    e->length = uint32_t(n);
    if (track && changed) {
        e->changed = true;
        m_modified = true;
    }
    RebuildCachedValue(*e);
    return 1;
}

int CTaggedValueStore::GetAsHex(const std::string& name, std::string& out, bool lock) {
    ScopedLock guard(*this, lock);
    TaggedEntry* e = Find(name);
    if (!e) return 0;
    out.clear();
    if (!KnownType(e->type)) return 0;
    AppendHex(out, e->data.data(), std::min(e->length, e->capacity));
    return 1;
}

int CTaggedValueStore::EntryAt(size_t index, std::string& name, uint32_t& flags, std::string* label) {
    if (index >= m_entries.size()) return 0;
    const TaggedEntry& e = *m_entries[index];
    name = e.name;
    flags = e.flags;
    if (label) *label = e.label;
    return 1;
}

size_t CTaggedValueStore::Count() {
    ScopedLock lock(*this, true);
    return m_entries.size();
}

int CTaggedValueStore::Clear() {
    ScopedLock lock(*this, true);
    m_entries.clear();
    return 1;
}

int CTaggedValueStore::ExportTagged(std::string& out, bool onlyIfModified) {
    out.clear();
    for (size_t i = 0; i < kTaggedWalkLimit; ++i) {
        // The lock is taken per entry, not around the walk.
        ScopedLock lock(*this, true);
        std::string name;
        uint32_t flags = 0;
        if (!EntryAt(i, name, flags)) break;
        if ((flags & (kTaggedLocal | kTaggedNotExchanged)) || name.empty()) continue;
        if (onlyIfModified && !m_modified) continue;
        std::string hex;
        GetAsHex(name, hex, true);
        out += MakeTaggedField(name, hex);
    }
    return 1;
}

int CTaggedValueStore::ImportTagged(std::string_view text, bool noCreate) {
    for (size_t i = 0; i < kTaggedWalkLimit; ++i) {
        ScopedLock lock(*this, true);
        std::string name;
        uint32_t flags = 0;
        if (!EntryAt(i, name, flags)) break;
        if ((flags & (kTaggedLocal | kTaggedNotExchanged)) || name.empty()) continue;
        std::string value;
        if (FindTaggedField(text, name, value)) SetFromHex(name, value, !noCreate, true, true);
    }
    return 1;
}

}  // namespace corvanta
