// Fuzzes the folder name rules with arbitrary bytes: the layout rules see
// the input as one relative path (whatever matches must give a camera that
// is one of its components and a possible start), and the source ids see it
// as newline-separated folder names (ids unique, short and plain).

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "recorder/folder/FolderLayout.h"
#include "recorder/folder/SourceIds.h"

using namespace corvanta::recorder;
using namespace corvanta::recorder::folder;

namespace {

void checkLayout(std::string_view path) {
    const auto parts = splitPath(path);
    for (std::string_view part : parts)
        if (part.empty() || part.find('/') != std::string_view::npos) __builtin_trap();
    if (auto match = matchLayout(path)) {
        bool found = false;
        for (std::string_view part : parts) found = found || part == match->camera;
        if (!found || match->camera.empty()) __builtin_trap();
        if (match->start && *match->start < 0) __builtin_trap();
    }
    if (auto start = startFromName(path))
        if (*start < 0 || dateOf(*start).year > 9999) __builtin_trap();
}

void checkSourceIds(std::string_view text) {
    std::vector<std::string> names;
    for (size_t begin = 0; begin <= text.size();) {
        size_t end = text.find('\n', begin);
        if (end == std::string_view::npos) end = text.size();
        names.emplace_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    const SourceIds ids(names);
    std::unordered_set<std::string> folded;
    for (const SourceName& s : ids.sources()) {
        std::string f = s.sourceId;
        for (char& c : f) {
            if (c <= 0x20 || c >= 0x7F || c == '\\') __builtin_trap();
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
        if (f.empty() || f.size() > kMaxSourceIdBytes || !folded.insert(f).second) __builtin_trap();
        if (s.displayName.size() > kMaxDisplayNameBytes || ids.byId(s.sourceId) != &s) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    checkLayout(bytes);
    checkSourceIds(bytes);
    return 0;
}
