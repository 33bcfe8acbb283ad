#include "stores/TaggedRecord.h"

#include <cstring>

namespace corvanta {
namespace {

std::string_view UpToNul(std::string_view s) { return s.substr(0, s.find('\0')); }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsScanSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

std::string MakeTaggedField(std::string_view key, std::string_view value) {
    key = UpToNul(key);
    value = UpToNul(value);
    std::string field;
    field.reserve(key.size() + value.size() + 4);
    field += '<';
    field += key;
    field += '>';
    field += '{';
    for (char c : value) field += (c == '<' || c == '>' || c == '{' || c == '}') ? ' ' : c;
    field += '}';
    return field;
}

int FindTaggedField(std::string_view text, std::string_view key, std::string& value) {
    text = UpToNul(text);
    key = UpToNul(key);
    std::string tag;
    tag.reserve(key.size() + 2);
    tag += '<';
    tag += key;
    tag += '>';
    size_t at = text.find(tag);
    if (at == std::string_view::npos) return 0;
    size_t open = text.find('{', at);
    size_t close = text.find('}', at);
    // A '}' in front of the first '{' (inside the key itself) leaves no value between them.
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) return 0;
    value.assign(text.substr(open + 1, close - open - 1));
    return 1;
}

uint8_t ScanHexPair(char first, char second) {
    const char pair[2] = {first, second};
    size_t i = 0;
    while (i < 2 && IsScanSpace(pair[i])) ++i;
    unsigned v = 0;
    for (; i < 2; ++i) {
        int d = HexValue(pair[i]);
        if (d < 0) break;
        v = v * 16 + unsigned(d);
    }
    return uint8_t(v);
}

int HexToBytes(std::string_view hex, void* buffer, size_t size) {
    hex = UpToNul(hex);
    size_t n = hex.size() / 2;
    auto* out = static_cast<uint8_t*>(buffer);
    if (size < n) {
        if (size) std::memset(out, 0, size);
        return 0;
    }
    for (size_t i = 0; i < n; ++i) out[i] = ScanHexPair(hex[2 * i], hex[2 * i + 1]);
    return 1;
}

int ReadTaggedHex(std::string_view text, std::string_view key, void* buffer, size_t size) {
    std::string value;
    if (!FindTaggedField(text, key, value)) return 0;
    return HexToBytes(value, buffer, size);
}

int ReadTaggedU32(std::string_view text, std::string_view key, uint32_t& word) {
    uint8_t bytes[4];
    std::memcpy(bytes, &word, 4);
    int ok = ReadTaggedHex(text, key, bytes, sizeof bytes);
    std::memcpy(&word, bytes, 4);
    return ok;
}

void AppendHex(std::string& out, const void* bytes, size_t count) {
    static const char kDigits[] = "0123456789ABCDEF";
    const auto* p = static_cast<const uint8_t*>(bytes);
    out.reserve(out.size() + count * 2);
    for (size_t i = 0; i < count; ++i) {
        out += kDigits[p[i] >> 4];
        out += kDigits[p[i] & 0xF];
    }
}

}  // namespace corvanta
