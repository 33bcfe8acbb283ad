#pragma once
// Named, typed settings of one owner (a filter or the main dialog). A setting
// is declared once, then written and read by name as raw bytes, as text or as
// a 32-bit integer. Every operation that touches records holds the store's
// lock, so each one is atomic for the threads that share the store. A store
// whose section name contains "MainDialog" persists to the registry; all
// others are not persisted.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "stores/CLockedPtrArray.h"
#include "stores/CLockedPtrMap.h"
#include "stores/CSettingsBackend.h"
#include "stores/SettingRecord.h"

namespace corvanta {

struct SettingDecl {
    std::string name;
    int32_t type = 0;
    uint32_t capacity = 0;  // 0: the type's default capacity
    uint32_t flags = 0;
};

class CSettingsStore {
public:
    static constexpr int kFlagSlots = 10;

    CSettingsStore();
    virtual ~CSettingsStore();
    CSettingsStore(const CSettingsStore&) = delete;
    CSettingsStore& operator=(const CSettingsStore&) = delete;

    // Adds a zero-filled record; 0 when the name is longer than 100
    // characters (or holds a NUL), already declared, or the record cannot be allocated.
    int Declare(const SettingDecl& decl);

    // Copies `size` bytes in and sets the length to `size`; 0, with nothing
    // changed, when the name is not declared or `size` exceeds the capacity.
    int SetValue(const std::string& name, const void* bytes, uint32_t size);
    // The text and its NUL.
    int SetText(const std::string& name, const std::string& text);
    int SetInt(const std::string& name, int32_t value);

    // The record's value bytes and length, or null. Does not lock: only for
    // callers that hold the store's lock.
    uint8_t* FindValue(const std::string& name, uint32_t* length = nullptr);
    // 0 when the name is not declared, or when `size` is given and smaller
    // than the length (nothing copied then); else copies `length` bytes and
    // sets *size to it.
    int GetValue(const std::string& name, void* buffer, uint32_t* size = nullptr);
    // The value up to its first NUL; 0 when the name is not declared.
    int GetText(const std::string& name, std::string& text);
    // The first 4 value bytes; 0 when the name is not declared.
    int GetInt(const std::string& name, int32_t& value);

    // Frees every record; `withPath` also empties the section path (the
    // section name stays).
    int Clear(bool withPath);
    // Sets the section name and appends it to the section path.
    int SetSection(const std::string& name);
    const std::string& Section() const { return m_section; }
    const std::vector<std::string>& SectionPath() const { return m_sectionPath; }

    // Ten integer slots for the owner, neither persisted nor copied. 0 for an index outside 0..9.
    int SetFlag(int index, int32_t value);
    int32_t GetFlag(int index) const;

    // Fill every record from, or write every record to, the back end chosen
    // by the section name. 0 when there is none or it cannot be opened.
    int Load();
    int Save();

    // Makes `destination` an independent copy: its records are replaced by
    // copies of these (flags 0); its section path stays.
    int CopyTo(CSettingsStore& destination);

    // The store's lock (recursive), for use around FindValue and RecordAt.
    int Lock(uint32_t timeoutMs = INFINITE_WAIT) { return m_index.Lock(timeoutMs); }
    int Unlock() { return m_index.Unlock(); }
    // Records in declaration order; only under the lock.
    size_t RecordCount() const { return m_records.GetSize(); }
    const SettingRecord* RecordAt(size_t i) const { return static_cast<const SettingRecord*>(m_records.GetAt(i)); }

private:
    // The back end for the section name, or null when the section is not persisted.
    std::unique_ptr<CSettingsBackend> ChooseBackend() const;
    int RunBackend(bool save);
    SettingRecord* FindRecord(const std::string& name) const;
    void FreeRecords();

    std::vector<std::string> m_sectionPath;
    int32_t m_flags[kFlagSlots] = {};
    std::string m_section;
    CLockedPtrArray m_records;
    CLockedPtrMap m_index;  // its mutex is the store's lock
};

// Holds a store's lock for a scope.
class SettingsStoreLock {
public:
    explicit SettingsStoreLock(CSettingsStore& store) : m_store(store) { m_store.Lock(); }
    ~SettingsStoreLock() { m_store.Unlock(); }
    SettingsStoreLock(const SettingsStoreLock&) = delete;
    SettingsStoreLock& operator=(const SettingsStoreLock&) = delete;

private:
    CSettingsStore& m_store;
};

}  // namespace corvanta
