#pragma once
// The text form of the current user's registry: a REGEDIT4-style file that a
// person can read and edit. Parsing and formatting are kept apart from the
// file handling so both can be tested and fuzzed without touching the disk.
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Orvalmedia]
//   "Count"=dword:00000002
//   "Greeting"="two\nlines with a \"quote\" and a \\ backslash"
//
// Texts may hold any byte except NUL. Backslash and double quote are escaped
// as in regedit; line breaks, tabs and other control characters are escaped
// too (\n, \r, \t, \xHH) so that every value stays on one line.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace corvanta::platform {

inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegDword = 4;

inline constexpr std::string_view kRegistryRootName = "HKEY_CURRENT_USER";

struct RegistryValue {
    uint32_t type = kRegSz;
    // kRegSz: the text without its NUL; kRegDword: exactly 4 bytes, little-endian.
    std::string data;

    bool operator==(const RegistryValue&) const = default;
};

// Values of one key by name; "" is the key's default value ("@" in the file).
using RegistryValues = std::map<std::string, RegistryValue>;
// Keys by path below HKEY_CURRENT_USER, components joined by backslashes;
// "" is HKEY_CURRENT_USER itself.
using RegistryTree = std::map<std::string, RegistryValues>;

struct RegistryParseError {
    size_t line = 0;  // 1-based line of the first problem
    std::string reason;
};

// True when `name` can be one component of a key path: not empty, no
// backslash, no control character (it has to fit on the key's header line).
bool IsValidKeyName(std::string_view name);

// Reads a whole file. Anything not understood fails the whole parse, so a
// damaged file is never taken in half. `error` (optional) says where and why.
bool ParseRegistryText(std::string_view text, RegistryTree& tree, RegistryParseError* error = nullptr);

// The file text for `tree`; ParseRegistryText gives the same tree back.
std::string FormatRegistryText(const RegistryTree& tree);

}  // namespace corvanta::platform
