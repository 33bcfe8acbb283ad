// The registry file can be edited by hand or damaged; whatever parses must
// format back to a text that parses to the same tree.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/RegistryFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvanta::platform;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    RegistryTree tree;
    RegistryParseError err;
    if (!ParseRegistryText(text, tree, &err)) {
        if (!tree.empty() || err.reason.empty()) std::abort();
        return 0;
    }
    std::string formatted = FormatRegistryText(tree);
    RegistryTree again;
    if (!ParseRegistryText(formatted, again) || again != tree) std::abort();
    if (FormatRegistryText(again) != formatted) std::abort();
    return 0;
}
