#pragma once
// Bytes that travel as text: two upper-case hexadecimal digits per byte, in
// byte order, without separators.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// AppendHex, which appends the digits of some bytes to a text, is the one
// the tagged records use; the two encodings are the same.
#include "stores/TaggedRecord.h"

namespace corvanta {

// The digits of `length` bytes as a new text.
std::string HexEncode(const void* data, size_t length);

// Decodes consecutive pairs of digits (either case) into `out`, at most
// `capacity` bytes. An odd last character is ignored; decoding stops at the
// first pair that is not two hexadecimal digits. Returns the bytes written.
size_t HexDecode(std::string_view text, uint8_t* out, size_t capacity);

// Decodes as above into a new vector.
std::vector<uint8_t> HexDecode(std::string_view text);

}  // namespace corvanta
