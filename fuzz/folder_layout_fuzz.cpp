// Fuzzes the folder layout rules with arbitrary path bytes: whatever
// matches must give a camera that is one of the path's components and a
// start that is a possible local time.

#include <cstdint>
#include <string_view>

#include "recorder/folder/FolderLayout.h"

using namespace corvanta::recorder;
using namespace corvanta::recorder::folder;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view path(reinterpret_cast<const char*>(data), size);
    const auto parts = splitPath(path);
    for (std::string_view part : parts)
        if (part.empty() || part.find('/') != std::string_view::npos) __builtin_trap();
    if (auto match = matchLayout(path)) {
        bool found = false;
        for (std::string_view part : parts) found = found || part == match->camera;
        if (!found || match->camera.empty()) __builtin_trap();
        if (match->start && *match->start < 0) __builtin_trap();
    }
    if (auto start = startFromName(path)) {
        if (*start < 0 || dateOf(*start).year > 9999) __builtin_trap();
    }
    return 0;
}
