#pragma once
// The recorder's side of the Message request: the query string
// "Message&SID=..&Name=..&Data=..", the request record carried hex-encoded in
// it, and the binary answer record that becomes the response body.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "framework/IcpRecord.h"

namespace corvanta::recorder {

// The viewer reads an answer body with one read of at most this many bytes,
// so no answer may be longer.
inline constexpr size_t kMaxAnswerBody = 524287;

struct FilterRequest {
    std::string sessionId;
    std::string filterName;
    std::vector<uint8_t> record;  // the request record, as decoded from Data
};

// Decodes "%XX" escapes; a '%' without two hex digits behind it stays as it is.
std::string percentDecode(std::string_view text);

// Two hex digits per byte, either case. An odd last digit is ignored, as the
// channel's own decoding does; any other character makes the text invalid.
std::optional<std::vector<uint8_t>> decodeHex(std::string_view text);
std::string encodeHex(std::span<const uint8_t> bytes);

// Reads the query of a Message request (the part after '?'). Fails when the
// "Message" marker or the Data field is missing or Data is not hexadecimal.
std::optional<FilterRequest> parseFilterQuery(std::string_view query);

// A request record whose header and data lie within the bytes received.
struct RequestRecord {
    IcpHeader header{};
    std::span<const uint8_t> data;

    // The data up to its first NUL (or all of it when there is none).
    std::string_view text() const;
};

// Fails when the bytes are shorter than the header or than the data length
// the header announces. The 4 spare bytes behind the data may be missing.
std::optional<RequestRecord> parseRequestRecord(std::span<const uint8_t> bytes);

// An answer record under construction: kind 7, status 1, the request's code
// and reserved words, no data.
class Answer {
public:
    explicit Answer(const IcpHeader& request);

    IcpHeader header{};
    std::string data;

    template <typename T>
    void append(const T& record) {
        data.append(reinterpret_cast<const char*>(&record), sizeof(T));
    }

    // Header with dataLength set, the data and the 4 spare bytes.
    std::string body() const { return body(data); }
    // The same with `data` in place of the answer's own, which saves a copy
    // of a large picture.
    std::string body(std::string_view data) const;
};

// Builds a request body the way the viewer's channel does; used by tests,
// the benchmark and the fuzz target.
std::string makeRequestRecord(uint32_t kind, uint32_t code, uint32_t param1, uint32_t param2,
                              std::span<const uint8_t> data);

}  // namespace corvanta::recorder
