#pragma once
// One setting as it lies in memory and as it travels inside a settings
// snapshot between filters and processes. The header below is followed by
// `capacity` value bytes and 4 spare bytes that stay zero, so a record takes
// `capacity` + kSettingRecordOverhead bytes in all.

#include <cstddef>
#include <cstdint>

namespace corvanta {

inline constexpr size_t kSettingNameMax = 100;          // characters, without the NUL
inline constexpr size_t kSettingRecordOverhead = 124;   // header + spare bytes
inline constexpr uint32_t kSettingCopyable = 0x1;       // taken into a snapshot by Collect

struct SettingRecord {
    int32_t type;        // type code 1..8 (SettingType names the common ones)
    uint32_t flags;      // bit 0: kSettingCopyable; other bits 0
    char name[104];      // NUL-terminated, at most kSettingNameMax characters
    uint32_t capacity;   // size of the value area in bytes
    uint32_t length;     // value bytes currently held; 0 when never set

    // The value area that follows the header: `capacity` bytes plus 4 spare.
    uint8_t* Value() { return reinterpret_cast<uint8_t*>(this) + sizeof(SettingRecord); }
    const uint8_t* Value() const { return reinterpret_cast<const uint8_t*>(this) + sizeof(SettingRecord); }
    size_t TotalSize() const { return size_t(capacity) + kSettingRecordOverhead; }
};

static_assert(sizeof(SettingRecord) == 120);
static_assert(offsetof(SettingRecord, type) == 0);
static_assert(offsetof(SettingRecord, flags) == 4);
static_assert(offsetof(SettingRecord, name) == 8);
static_assert(offsetof(SettingRecord, capacity) == 112);
static_assert(offsetof(SettingRecord, length) == 116);
static_assert(sizeof(SettingRecord) + 4 == kSettingRecordOverhead);
static_assert(sizeof(SettingRecord::name) > kSettingNameMax);

// Type codes with a meaning of their own; 2 and 5 are byte blocks that are not
// persisted, 4 and 6 are 8-byte values persisted like type 8.
enum SettingType : int32_t {
    kSettingInt = 1,    // 32-bit integer, REG_DWORD
    kSettingText = 3,   // NUL-terminated text, REG_SZ
    kSettingFloat = 7,  // 32-bit float, REG_SZ formatted with "%f"
    kSettingBytes = 8,  // byte block, REG_SZ of "%02X" per byte
};

// The capacity a declaration with capacity 0 gets; 0 for an unknown type.
uint32_t DefaultSettingCapacity(int32_t type);

// Allocates a zero-filled record of `capacity` value bytes, or null when the
// size cannot be represented or allocated. Free with FreeSettingRecord.
SettingRecord* AllocateSettingRecord(uint32_t capacity);
void FreeSettingRecord(SettingRecord* record);

}  // namespace corvanta
