#pragma once
// A locked, ordered set of typed named entries with change tracking, which
// exports itself to a tagged text record and imports from one. Every filter
// owns one; other filters read and write it through the record form.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "stores/CNamedMutex.h"
#include "stores/CTaggedValue.h"

namespace corvanta {

// Entry flags.
inline constexpr uint32_t kTaggedLocal = 0x01;         // not exported, not imported, not change-tracked
inline constexpr uint32_t kTaggedNotExchanged = 0x40;  // not exported, not imported
inline constexpr uint32_t kTaggedFirst = 0x80;         // declared in front instead of last

// Walks of ImportTagged and ExportTagged stop after this many entries.
inline constexpr size_t kTaggedWalkLimit = 999;

struct TaggedEntry {
    uint32_t type = 0;          // entry type code 1..11
    uint32_t flags = 0;
    std::string name;           // the key, matched exactly
    std::string label;          // equal to the name at declaration
    uint32_t capacity = 0;      // bytes reserved for the value
    uint32_t length = 0;        // bytes set; 0 after declaration
    // `capacity` bytes, zeroed at declaration, and at least as many as the
    // type's cached value reads, so a small capacity is never read past.
    std::vector<uint8_t> data;
    bool changed = false;       // a tracked write changed the bytes
    CTaggedValue cachedValue;   // rebuilt from `data` after every write
};

class CTaggedValueStore {
public:
    CTaggedValueStore();
    virtual ~CTaggedValueStore();
    CTaggedValueStore(const CTaggedValueStore&) = delete;
    CTaggedValueStore& operator=(const CTaggedValueStore&) = delete;

    // The capacity a declaration with capacity 0 gets (text entries always get 6000).
    static uint32_t DefaultCapacity(uint32_t type);

    // 0 when the name exists. Capacity 0 takes the type's default; text
    // entries always get 6000. kTaggedFirst puts the entry in front.
    int Declare(const std::string& name, uint32_t type, uint32_t flags, uint32_t capacity);
    // Declares with the value's type and size, always last, then stores its bytes.
    int DeclareFrom(const std::string& name, const CTaggedValue& value, uint32_t flags);

    // Linear search in list order; does not lock (hold Lock() around use).
    TaggedEntry* Find(std::string_view name);

    // 0 when the name is missing or `count` exceeds the capacity. A tracked
    // write that changes any of the first `count` bytes of a non-local entry
    // marks the entry changed and the store modified.
    int SetBytes(const std::string& name, const void* bytes, uint32_t count);
    int SetValue(const std::string& name, const CTaggedValue& value);
    int SetWord(const std::string& name, uint32_t word);
    // A copy of the entry's cached value; the empty value for a missing name.
    CTaggedValue GetValue(const std::string& name);

    // Decodes "%02X" pairs into the entry. With `create`, a missing entry is
    // declared as a byte block of half the text's length first (and stays
    // declared even if the rest fails). With `track`, changed bytes mark the
    // entry and the store. `lock` takes the store lock for the call.
    int SetFromHex(const std::string& name, std::string_view hex, bool create, bool track, bool lock);
    // The first `length` bytes as "%02X" text; 0 with `out` untouched for a missing name.
    int GetAsHex(const std::string& name, std::string& out, bool lock);

    // 0 at or past the end; does not lock.
    int EntryAt(size_t index, std::string& name, uint32_t& flags, std::string* label = nullptr);
    size_t Count();

    int Clear();

    // Sets every exchanged entry that the record names (see SetFromHex;
    // creation is off with noCreate). Always 1.
    int ImportTagged(std::string_view text, bool noCreate);
    // Writes every exchanged, named entry as "<name>{hex}"; with
    // onlyIfModified and an unmodified store, nothing. Always 1.
    int ExportTagged(std::string& out, bool onlyIfModified);

    bool TrackChanges() const { return m_trackChanges; }
    void SetTrackChanges(bool on) { m_trackChanges = on; }
    bool Modified() const { return m_modified; }

    int Lock(uint32_t timeoutMs = INFINITE_WAIT) { return m_lock.Lock(timeoutMs); }
    int Unlock() { return m_lock.Unlock(); }

private:
    int DeclareLocked(const std::string& name, uint32_t type, uint32_t flags, uint32_t capacity, bool honourFirst);
    static void RebuildCachedValue(TaggedEntry& entry);

    std::vector<std::unique_ptr<TaggedEntry>> m_entries;
    CNamedMutex m_lock;
    std::atomic<bool> m_trackChanges{true};
    std::atomic<bool> m_modified{false};
};

}  // namespace corvanta
