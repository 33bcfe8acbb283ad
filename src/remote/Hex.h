#pragma once
// Bytes that travel as text: two upper-case hexadecimal digits per byte, in
// byte order, without separators.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvanta {

// Appends the digits of `length` bytes to `text` (2 x length characters).
void AppendHex(std::string& text, const void* data, size_t length);

// The digits of `length` bytes as a new text.
std::string HexEncode(const void* data, size_t length);

// Decodes consecutive pairs of digits (either case) into `out`, at most
// `capacity` bytes. An odd last character is ignored; decoding stops at the
// first pair that is not two hexadecimal digits. Returns the bytes written.
size_t HexDecode(std::string_view text, uint8_t* out, size_t capacity);

// Decodes as above into a new vector.
std::vector<uint8_t> HexDecode(std::string_view text);

}  // namespace corvanta
