#include "recorder/folder/SourceIds.h"

#include <algorithm>
#include <cstdio>
#include <unordered_set>

namespace corvanta::recorder::folder {
namespace {

constexpr size_t kHashSuffix = 9;  // '~' and 8 hex digits

bool isPlainByte(unsigned char c) { return c > 0x20 && c < 0x7F && c != '\\' && c != '~'; }

bool isPlainName(std::string_view name) {
    return !name.empty() && name.size() <= kMaxSourceIdBytes &&
           std::all_of(name.begin(), name.end(), [](char c) { return isPlainByte(static_cast<unsigned char>(c)); });
}

std::string foldCase(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string hashedId(std::string_view name, unsigned round) {
    std::string prefix;
    for (size_t i = 0; i < name.size() && prefix.size() < kMaxSourceIdBytes - kHashSuffix; ++i)
        prefix += isPlainByte(static_cast<unsigned char>(name[i])) ? name[i] : '_';
    if (prefix.empty()) prefix = "_";
    std::string hashed(name);
    if (round > 0) hashed += "~" + std::to_string(round);
    const uint64_t h = fnv1a64(hashed);
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>((h >> 32) ^ (h & 0xFFFFFFFFu)));
    return prefix + "~" + hex;
}

// Length of the valid UTF-8 sequence starting at s[i], or 0.
size_t utf8Length(std::string_view s, size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
    return n;
}

}  // namespace

uint64_t fnv1a64(std::string_view bytes) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (char c : bytes) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001b3ull;
    }
    return h;
}

std::string displayNameOf(std::string_view folderName) {
    if (folderName.size() <= kMaxDisplayNameBytes) return std::string(folderName);
    size_t cut = 0;
    for (size_t i = 0; i < folderName.size();) {
        const size_t n = utf8Length(folderName, i);
        if (n == 0) return std::string(folderName.substr(0, kMaxDisplayNameBytes));  // not UTF-8: bytes
        if (i + n <= kMaxDisplayNameBytes) cut = i + n;
        i += n;
    }
    return std::string(folderName.substr(0, cut));
}

SourceIds::SourceIds(std::vector<std::string> folderNames) {
    std::sort(folderNames.begin(), folderNames.end());
    folderNames.erase(std::unique(folderNames.begin(), folderNames.end()), folderNames.end());

    std::unordered_map<std::string, unsigned> folded;  // plain names by folded case
    for (const std::string& name : folderNames)
        if (isPlainName(name)) ++folded[foldCase(name)];

    std::unordered_set<std::string> taken;  // folded ids
    for (const std::string& name : folderNames) {
        std::string id;
        if (isPlainName(name) && folded[foldCase(name)] == 1) id = name;
        for (unsigned round = 0; id.empty() || !taken.insert(foldCase(id)).second; ++round) id = hashedId(name, round);
        byFolder_.emplace(name, sources_.size());
        byId_.emplace(id, sources_.size());
        sources_.push_back(SourceName{name, std::move(id), displayNameOf(name)});
    }
}

const SourceName* SourceIds::byFolder(std::string_view folder) const {
    auto it = byFolder_.find(std::string(folder));
    return it == byFolder_.end() ? nullptr : &sources_[it->second];
}

const SourceName* SourceIds::byId(std::string_view sourceId) const {
    auto it = byId_.find(std::string(sourceId));
    return it == byId_.end() ? nullptr : &sources_[it->second];
}

}  // namespace corvanta::recorder::folder
