// Snapshots arrive from other filters and processes: the first four bytes
// are taken as the record count, the rest as the serialised records.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "stores/CSettingsSnapshot.h"
#include "stores/CSettingsStore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    uint32_t count;
    std::memcpy(&count, data, 4);
    // Small counts are the interesting ones; keep most inputs near them.
    if (count > 64) count %= 64;
    corvanta::CSettingsSnapshot snap;
    if (!snap.Deserialize(data + 4, size - 4, count)) {
        if (snap.Count() != 0) std::abort();
        return 0;
    }
    if (snap.Count() != count) std::abort();

    // Whatever was accepted must be usable by a store and survive another trip.
    corvanta::CSettingsStore store;
    store.Declare({"CommType", 1, 0, corvanta::kSettingCopyable});
    store.Declare({"ServerURL", 3, 101, corvanta::kSettingCopyable});
    store.Declare({"x", 8, 8, corvanta::kSettingCopyable});
    snap.ApplyTo(store);
    std::vector<uint8_t> again;
    uint32_t n = snap.Serialize(again);
    corvanta::CSettingsSnapshot copy;
    if (n != count || !copy.Deserialize(again.data(), again.size(), n) || copy.Count() != count) std::abort();
    return 0;
}
