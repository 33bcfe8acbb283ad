// Tagged records arrive from other filters. The input is split at its first
// newline into a key and a record; the record is searched and imported into
// a store that holds one entry of each type under that key and a few others.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "stores/CTaggedValueStore.h"
#include "stores/TaggedRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvanta;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    size_t nl = input.find('\n');
    std::string_view key = nl == std::string_view::npos ? std::string_view("A") : input.substr(0, nl);
    std::string_view text = nl == std::string_view::npos ? input : input.substr(nl + 1);

    std::string value;
    if (FindTaggedField(text, key, value)) {
        uint8_t buf[8];
        HexToBytes(value, buf, sizeof buf);
        uint32_t word = 0;
        ReadTaggedU32(text, key, word);
    }

    CTaggedValueStore store;
    std::string k(key.substr(0, key.find('\0')));
    for (uint32_t type = 1; type <= 11; ++type) store.Declare(type == 1 ? k : k + std::to_string(type), type, 0, 0);
    store.Declare("A", 8, 0, 3);
    store.Declare("AB", 3, 0, 0);
    store.ImportTagged(text, false);
    store.ImportTagged(text, true);

    // What was imported exports as hexadecimal of at most each entry's capacity.
    std::string out;
    store.ExportTagged(out, false);
    for (size_t i = 0;; ++i) {
        std::string name, hex;
        uint32_t flags = 0;
        if (!store.EntryAt(i, name, flags)) break;
        if (store.GetAsHex(name, hex, true) && hex.size() / 2 > store.Find(name)->capacity) std::abort();
        CTaggedValue v = store.GetValue(name);
        v.Size();
        v.AsText();
    }
    return 0;
}
