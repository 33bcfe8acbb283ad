#include "stores/SettingRecord.h"

#include <cstring>
#include <new>

namespace corvanta {

uint32_t DefaultSettingCapacity(int32_t type) {
    switch (type) {
        case 1: return 4;
        case 2: return 1024;
        case 3: return 1025;
        case 4: return 8;
        case 5: return 1024;
        case 6: return 8;
        case 7: return 4;
        case 8: return 1024;
        default: return 0;
    }
}

SettingRecord* AllocateSettingRecord(uint32_t capacity) {
    size_t total = size_t(capacity) + kSettingRecordOverhead;
    void* raw = ::operator new(total, std::align_val_t(alignof(SettingRecord)), std::nothrow);
    if (!raw) return nullptr;
    std::memset(raw, 0, total);
    auto* record = new (raw) SettingRecord{};
    record->capacity = capacity;
    return record;
}

void FreeSettingRecord(SettingRecord* record) {
    if (record) ::operator delete(record, std::align_val_t(alignof(SettingRecord)));
}

}  // namespace corvanta
