#pragma once
// Tagged text records: named values as a run of "<key>{value}" fields.
//
// Values never carry the four bracket characters (they are blanked when a
// field is made; there is no escape), keys are written as given, and a key
// that appears more than once is read from its first occurrence. Numbers and
// byte blocks travel as "%02X" hexadecimal, bytes in memory order.
//
// Every text argument ends at its first NUL, as the record itself does.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvanta {

// "<key>{value}" with every '<', '>', '{' and '}' of the value made a blank.
std::string MakeTaggedField(std::string_view key, std::string_view value);

// 1 and the value when "<key>" occurs in the text and a '{' and a later '}'
// follow it (both searched from the tag's first character); else 0 and
// `value` untouched.
int FindTaggedField(std::string_view text, std::string_view key, std::string& value);

// Decodes "%02X" pairs into `buffer`. 0 when the text holds more whole pairs
// than `size` (the `size` bytes are then zeroed); else 1, with bytes from the
// pair count on left as they were. A last odd character is ignored.
int HexToBytes(std::string_view hex, void* buffer, size_t size);

// FindTaggedField, then HexToBytes; 0 if either fails.
int ReadTaggedHex(std::string_view text, std::string_view key, void* buffer, size_t size);
// ReadTaggedHex into the four bytes of `word`, in memory order.
int ReadTaggedU32(std::string_view text, std::string_view key, uint32_t& word);

// One pair read the way "%02X" scanning reads it: blanks in front skipped,
// hexadecimal digits of either case read until the first other character,
// 0 when there is no digit.
uint8_t ScanHexPair(char first, char second);

// Appends two upper-case hexadecimal digits per byte.
void AppendHex(std::string& out, const void* bytes, size_t count);

}  // namespace corvanta
