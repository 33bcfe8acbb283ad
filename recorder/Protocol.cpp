#include "recorder/Protocol.h"

#include <cstring>

namespace corvanta::recorder {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int hi = hexValue(text[i + 1]), lo = hexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

std::optional<std::vector<uint8_t>> decodeHex(std::string_view text) {
    std::vector<uint8_t> out;
    out.reserve(text.size() / 2);
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        const int hi = hexValue(text[i]), lo = hexValue(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    if (text.size() % 2 == 1 && hexValue(text.back()) < 0) return std::nullopt;
    return out;
}

std::string encodeHex(std::span<const uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 15]);
    }
    return out;
}

std::optional<FilterRequest> parseFilterQuery(std::string_view query) {
    FilterRequest req;
    bool message = false, haveData = false;
    while (!query.empty()) {
        const size_t amp = query.find('&');
        const std::string_view field = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view{} : query.substr(amp + 1);
        const size_t eq = field.find('=');
        const std::string_view key = field.substr(0, eq);
        const std::string_view value = eq == std::string_view::npos ? std::string_view{} : field.substr(eq + 1);
        if (key == "Message" && eq == std::string_view::npos) {
            message = true;
        } else if (key == "SID") {
            req.sessionId = percentDecode(value);
        } else if (key == "Name") {
            req.filterName = percentDecode(value);
        } else if (key == "Data") {
            auto bytes = decodeHex(percentDecode(value));
            if (!bytes) return std::nullopt;
            req.record = std::move(*bytes);
            haveData = true;
        }
    }
    if (!message || !haveData) return std::nullopt;
    return req;
}

std::string_view RequestRecord::text() const {
    const char* p = reinterpret_cast<const char*>(data.data());
    const void* nul = std::memchr(p, 0, data.size());
    return std::string_view(p, nul ? static_cast<size_t>(static_cast<const char*>(nul) - p) : data.size());
}

std::optional<RequestRecord> parseRequestRecord(std::span<const uint8_t> bytes) {
    if (bytes.size() < kIcpHeaderSize) return std::nullopt;
    RequestRecord rec;
    std::memcpy(&rec.header, bytes.data(), kIcpHeaderSize);
    if (rec.header.dataLength > bytes.size() - kIcpHeaderSize) return std::nullopt;
    rec.data = bytes.subspan(kIcpHeaderSize, rec.header.dataLength);
    return rec;
}

Answer::Answer(const IcpHeader& request) {
    std::memcpy(header.reserved, request.reserved, sizeof header.reserved);
    header.status = kIcpStatusDone;
    header.kind = kIcpCommandAnswer;
    header.code = request.code;
    header.encoding = kIcpEncodingRaw;
}

std::string Answer::body(std::string_view payload) const {
    IcpHeader h = header;
    h.dataLength = static_cast<uint32_t>(payload.size());
    std::string out;
    out.reserve(payload.size() + kIcpOverhead);
    out.append(reinterpret_cast<const char*>(&h), sizeof h);
    out.append(payload);
    out.append(kIcpOverhead - kIcpHeaderSize, '\0');
    return out;
}

std::string makeRequestRecord(uint32_t kind, uint32_t code, uint32_t param1, uint32_t param2,
                              std::span<const uint8_t> data) {
    IcpHeader h{};
    h.kind = kind;
    h.code = code;
    h.param1 = param1;
    h.param2 = param2;
    h.dataLength = static_cast<uint32_t>(data.size());
    std::string out(reinterpret_cast<const char*>(&h), sizeof h);
    out.append(reinterpret_cast<const char*>(data.data()), data.size());
    out.append(kIcpOverhead - kIcpHeaderSize, '\0');
    return out;
}

}  // namespace corvanta::recorder
