#include "remote/Hex.h"

namespace corvanta {
namespace {

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string HexEncode(const void* data, size_t length) {
    std::string text;
    AppendHex(text, data, length);
    return text;
}

size_t HexDecode(std::string_view text, uint8_t* out, size_t capacity) {
    size_t written = 0;
    for (size_t i = 0; i + 1 < text.size() && written < capacity; i += 2) {
        const int high = DigitValue(text[i]);
        const int low = DigitValue(text[i + 1]);
        if (high < 0 || low < 0) {
            break;
        }
        out[written++] = static_cast<uint8_t>(high << 4 | low);
    }
    return written;
}

std::vector<uint8_t> HexDecode(std::string_view text) {
    std::vector<uint8_t> bytes(text.size() / 2);
    bytes.resize(HexDecode(text, bytes.data(), bytes.size()));
    return bytes;
}

}  // namespace corvanta
