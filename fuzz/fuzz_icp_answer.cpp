// Answer bodies as the recorder (or anything posing as it) might send them,
// written one after another into one answer region, as a proxy does.
//
// Input: 4 bytes of answer capacity (little-endian, reduced to at most
// kMaxCapacity), then bodies, each as a 4-byte little-endian length and
// that many bytes (a length past the end takes what is left).
//
// Every body must either be taken, with a record that fits the region, or
// be refused with the answer record (header and data) as it was; nothing is
// read past a body or written past the region; the region's capacity word
// never changes.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "remote/AnswerWriter.h"

namespace {

constexpr uint32_t kMaxCapacity = 256 * 1024;
constexpr size_t kMaxBodies = 8;

uint32_t ReadWord(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::vector<uint8_t> Snapshot(const corvanta::IcpRecord* answer, uint32_t capacity) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(answer);
    const uint32_t length = answer->dataLength < capacity ? answer->dataLength : capacity;
    return std::vector<uint8_t>(bytes, bytes + corvanta::kIcpHeaderSize + length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) {
        return 0;
    }
    const uint32_t capacity = ReadWord(data) % (kMaxCapacity + 1);
    data += 4;
    size -= 4;

    // Exactly the region's size, so that writing past it is caught.
    const size_t regionSize = size_t{capacity} + corvanta::kIcpOverhead;
    std::unique_ptr<uint8_t[]> region(new uint8_t[regionSize]);
    std::memset(region.get(), 0, regionSize);
    auto* answer = reinterpret_cast<corvanta::IcpRecord*>(region.get());
    answer->capacity = capacity;

    corvanta::CAnswerWriter writer;
    for (size_t n = 0; n < kMaxBodies && size >= 4; ++n) {
        size_t length = ReadWord(data);
        data += 4;
        size -= 4;
        if (length > size) {
            length = size;
        }
        // A copy of exactly the body, so that reading past it is caught.
        std::vector<uint8_t> body(data, data + length);
        data += length;
        size -= length;

        const std::vector<uint8_t> before = Snapshot(answer, capacity);
        const int32_t result = writer.Write(body.data(), uint32_t(body.size()), answer, capacity);
        if (answer->capacity != capacity) {
            std::abort();
        }
        if (result == 1) {
            if (answer->dataLength > capacity) {
                std::abort();
            }
        } else if (result != 0 || Snapshot(answer, capacity) != before) {
            std::abort();
        }
    }
    return 0;
}
