#pragma once
// Copies of the copyable settings of a store, and their serialised form: for
// each record, a 32-bit little-endian size (the record's capacity + 124)
// followed by that many bytes of the record. The record count travels
// separately. The serialised form comes from other filters and processes, so
// Deserialize checks every size, capacity and count against the buffer.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "stores/CLockedPtrArray.h"
#include "stores/CSettingsStore.h"
#include "stores/SettingRecord.h"

namespace corvanta {

class CSettingsSnapshot {
public:
    CSettingsSnapshot() = default;
    virtual ~CSettingsSnapshot();
    CSettingsSnapshot(const CSettingsSnapshot&) = delete;
    CSettingsSnapshot& operator=(const CSettingsSnapshot&) = delete;

    // Appends a copy of every record of `store` flagged kSettingCopyable, under the store's lock.
    int Collect(CSettingsStore& store);

    // The number of bytes Serialize writes.
    size_t SerializedSize();
    // Writes the serialised form into `buffer` and returns the record count,
    // with the bytes written in *end. An empty snapshot, or a buffer smaller
    // than SerializedSize(), writes nothing and gives 0.
    uint32_t Serialize(uint8_t* buffer, size_t bufferSize, size_t* end);
    // The same into a vector that is resized to fit.
    uint32_t Serialize(std::vector<uint8_t>& out);

    // Clears, then reads `count` size-prefixed records from the `size` bytes
    // at `buffer`. 1 on success; 0, leaving the snapshot empty, when a size
    // runs past the buffer, a record's capacity disagrees with its size, a
    // record's length or name does not fit it, or the count is more than the
    // buffer holds. Bytes after the last record are ignored.
    int Deserialize(const uint8_t* buffer, size_t size, uint32_t count);

    // SetValue by name with each record's value and length; records whose
    // name the store lacks or whose value does not fit are skipped. Returns
    // the number of records walked.
    uint32_t ApplyTo(CSettingsStore& store);

    int Clear();

    size_t Count();
    // Only while nothing else changes the snapshot.
    const SettingRecord* RecordAt(size_t i) const { return static_cast<const SettingRecord*>(m_records.GetAt(i)); }

private:
    void FreeRecords();

    CLockedPtrArray m_records;
};

}  // namespace corvanta
