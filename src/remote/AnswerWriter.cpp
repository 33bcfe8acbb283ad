#include "remote/AnswerWriter.h"

#include <algorithm>
#include <cstring>

#include "imaging/JpegImage.h"
#include "remote/HttpRequest.h"

namespace corvanta {
namespace {

// Spare bytes behind the data of a whole record.
constexpr uint32_t kSpareBytes = kIcpOverhead - kIcpHeaderSize;

// The header of the body, keeping the region owner's `capacity`.
void WriteHeader(IcpRecord* answer, const IcpHeader& header) {
    const uint32_t capacity = answer->capacity;
    std::memcpy(answer, &header, kIcpHeaderSize);
    answer->capacity = capacity;
}

}  // namespace

CAnswerWriter::CAnswerWriter() {
    // Nothing the recorder sends is longer than one HTTP body; reserving
    // that once keeps later answers from growing the buffer step by step.
    m_kept.reserve(CHttpRequest::kBufferSize);
}

void CAnswerWriter::Remember(Held held, const uint8_t* bytes, uint32_t length) {
    m_kept.assign(bytes, bytes + length);
    m_held = held;
}

void CAnswerWriter::Restore(IcpRecord* answer, uint32_t capacity) {
    if (m_held == Held::Picture) {
        // The picture decoded before, into the same area, so it does again
        // and gives the same bytes.
        uint32_t size = static_cast<uint32_t>(m_kept.size());
        DecodeJpeg(m_kept.data(), size, answer->data, capacity);
    } else if (!m_kept.empty()) {
        std::memcpy(answer->data, m_kept.data(), std::min<size_t>(m_kept.size(), capacity));
    }
}

int32_t CAnswerWriter::Write(const uint8_t* body, uint32_t size, IcpRecord* answer, uint32_t capacity) {
    if (body == nullptr || answer == nullptr || size < kIcpHeaderSize) {
        return 0;
    }
    IcpHeader header;
    std::memcpy(&header, body, kIcpHeaderSize);
    const uint8_t* data = body + kIcpHeaderSize;
    const uint32_t carried = size - kIcpHeaderSize;
    if (header.dataLength > carried) {
        return 0;
    }
    if (m_held == Held::Unknown) {
        // What the answer held before this writer's first answer.
        Remember(Held::Data, answer->data, std::min(answer->dataLength, capacity));
    }

    if (header.encoding == kIcpEncodingPicture) {
        uint32_t pixels = header.dataLength;
        if (pixels == 0 || !DecodeJpeg(data, pixels, answer->data, capacity)) {
            // A refused size writes nothing; damaged data may have
            // overwritten part of the old answer.
            Restore(answer, capacity);
            return 0;
        }
        Remember(Held::Picture, data, header.dataLength);
        WriteHeader(answer, header);
        answer->dataLength = pixels;
        return 1;
    }

    if (header.dataLength > capacity) {
        // Cut data would read as a different answer.
        return 0;
    }
    const uint32_t spare = std::min(kSpareBytes, carried - header.dataLength);
    std::memcpy(answer->data, data, size_t{header.dataLength} + spare);
    Remember(Held::Data, data, header.dataLength);
    WriteHeader(answer, header);
    return 1;
}

}  // namespace corvanta
