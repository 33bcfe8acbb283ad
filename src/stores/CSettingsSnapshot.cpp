#include "stores/CSettingsSnapshot.h"
#include "stores/ScopedLock.h"

#include <cstring>

namespace corvanta {
namespace {

void PutU32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

uint32_t GetU32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

using ArrayLock = ScopedLock<CLockedPtrArray>;

}  // namespace

CSettingsSnapshot::~CSettingsSnapshot() { FreeRecords(); }

void CSettingsSnapshot::FreeRecords() {
    for (size_t i = 0; i < m_records.GetSize(); ++i) FreeSettingRecord(static_cast<SettingRecord*>(m_records.GetAt(i)));
    m_records.RemoveAll();
}

int CSettingsSnapshot::Clear() {
    ArrayLock lock(m_records);
    FreeRecords();
    return 1;
}

size_t CSettingsSnapshot::Count() {
    ArrayLock lock(m_records);
    return m_records.GetSize();
}

int CSettingsSnapshot::Collect(CSettingsStore& store) {
    ArrayLock lock(m_records);
    SettingsStoreLock storeLock(store);
    for (size_t i = 0; i < store.RecordCount(); ++i) {
        const SettingRecord* record = store.RecordAt(i);
        if (!(record->flags & kSettingCopyable)) continue;
        SettingRecord* copy = AllocateSettingRecord(record->capacity);
        if (!copy) return 0;
        std::memcpy(copy, record, record->TotalSize());
        m_records.Add(copy);
    }
    return 1;
}

size_t CSettingsSnapshot::SerializedSize() {
    ArrayLock lock(m_records);
    size_t total = 0;
    for (size_t i = 0; i < m_records.GetSize(); ++i) total += 4 + RecordAt(i)->TotalSize();
    return total;
}

uint32_t CSettingsSnapshot::Serialize(uint8_t* buffer, size_t bufferSize, size_t* end) {
    ArrayLock lock(m_records);
    if (end) *end = 0;
    size_t needed = SerializedSize();
    if (needed == 0 || !buffer || bufferSize < needed || m_records.GetSize() > UINT32_MAX) return 0;
    size_t at = 0;
    for (size_t i = 0; i < m_records.GetSize(); ++i) {
        const SettingRecord* record = RecordAt(i);
        size_t total = record->TotalSize();
        PutU32(buffer + at, uint32_t(total));
        std::memcpy(buffer + at + 4, record, total);
        at += 4 + total;
    }
    if (end) *end = at;
    return uint32_t(m_records.GetSize());
}

uint32_t CSettingsSnapshot::Serialize(std::vector<uint8_t>& out) {
    ArrayLock lock(m_records);
    out.resize(SerializedSize());
    size_t end = 0;
    uint32_t count = Serialize(out.data(), out.size(), &end);
    out.resize(end);
    return count;
}

int CSettingsSnapshot::Deserialize(const uint8_t* buffer, size_t size, uint32_t count) {
    ArrayLock lock(m_records);
    FreeRecords();
    if (count == 0) return 1;
    // Each record needs its size field and at least an empty record; a count
    // beyond that is refused before anything is allocated.
    if (!buffer || count > size / (4 + kSettingRecordOverhead)) return 0;

    size_t at = 0;
    for (uint32_t n = 0; n < count; ++n) {
        if (size - at < 4) break;
        uint32_t total = GetU32(buffer + at);
        at += 4;
        if (total < kSettingRecordOverhead || total > size - at) break;
        SettingRecord header;
        std::memcpy(&header, buffer + at, sizeof header);
        if (size_t(header.capacity) + kSettingRecordOverhead != total) break;
        // The length may reach into the spare bytes (an integer loaded into a
        // smaller record does), never past the record.
        if (header.length > size_t(header.capacity) + 4) break;
        if (!std::memchr(header.name, '\0', kSettingNameMax + 1)) break;
        SettingRecord* copy = AllocateSettingRecord(header.capacity);
        if (!copy) break;
        std::memcpy(copy, buffer + at, total);
        m_records.Add(copy);
        at += total;
    }
    if (m_records.GetSize() != count) {
        FreeRecords();
        return 0;
    }
    return 1;
}

uint32_t CSettingsSnapshot::ApplyTo(CSettingsStore& store) {
    ArrayLock lock(m_records);
    uint32_t walked = 0;
    for (size_t i = 0; i < m_records.GetSize(); ++i, ++walked) {
        const SettingRecord* record = RecordAt(i);
        if (record->length > record->capacity) continue;
        store.SetValue(record->name, record->Value(), record->length);
    }
    return walked;
}

}  // namespace corvanta
