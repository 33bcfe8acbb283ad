#pragma once
// Source ids and display names for camera folders. A folder name may be
// long, hold blanks, backslashes or bytes above 0x7F; the id travels in
// fixed record fields and in file names on the wire, so it is kept short and
// plain. An id depends on the folder name alone wherever it can, so it stays
// the same across runs and when cameras are added or removed:
//
//   - a name of at most 63 printable ASCII bytes without blank, backslash or
//     '~', unique among the folders ignoring ASCII case, is its own id;
//   - any other name gets a sanitised prefix, '~' and 8 hex digits of the
//     FNV-1a 64 hash of its full bytes ("Front door" -> "Front_door~1a2b3c4d");
//   - should two ids still collide (ignoring case), the names are taken in
//     byte order and each later one is hashed again with a counter.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvanta::recorder::folder {

inline constexpr size_t kMaxSourceIdBytes = 63;
inline constexpr size_t kMaxDisplayNameBytes = 206;  // SourceEntry::displayName less its NUL

uint64_t fnv1a64(std::string_view bytes);

// The folder name cut to kMaxDisplayNameBytes; when the name is valid UTF-8
// the cut falls on a character boundary.
std::string displayNameOf(std::string_view folderName);

struct SourceName {
    std::string folder;       // the camera folder's name, as bytes
    std::string sourceId;     // at most kMaxSourceIdBytes, printable ASCII, no blank, backslash
    std::string displayName;  // displayNameOf(folder)
};

class SourceIds {
public:
    // Duplicates in folderNames count once.
    explicit SourceIds(std::vector<std::string> folderNames);

    // Sorted by folder name bytes.
    const std::vector<SourceName>& sources() const { return sources_; }
    // The entry of a folder or of an id (exact bytes), or null.
    const SourceName* byFolder(std::string_view folder) const;
    const SourceName* byId(std::string_view sourceId) const;

private:
    std::vector<SourceName> sources_;
    std::unordered_map<std::string, size_t> byFolder_;
    std::unordered_map<std::string, size_t> byId_;
};

}  // namespace corvanta::recorder::folder
