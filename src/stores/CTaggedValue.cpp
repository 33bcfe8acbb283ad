#include "stores/CTaggedValue.h"

#include <cstring>

namespace corvanta {

CTaggedValue::CTaggedValue(uint32_t word) { Assign(kTaggedUWord, &word, 4); }

CTaggedValue::CTaggedValue(int32_t word) { Assign(kTaggedWord, &word, 4); }

CTaggedValue::CTaggedValue(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    if (text.empty()) {
        Assign(kTaggedText, nullptr, kTaggedEmptyTextSize);
        return;
    }
    Assign(kTaggedText, nullptr, uint32_t(text.size() + 1));
    std::memcpy(m_data.get(), text.data(), text.size());
}

CTaggedValue::CTaggedValue(uint32_t low, uint32_t high) {
    uint32_t words[2] = {low, high};
    Assign(kTaggedUPair, words, 8);
}

CTaggedValue::CTaggedValue(int32_t low, int32_t high) {
    int32_t words[2] = {low, high};
    Assign(kTaggedPair, words, 8);
}

CTaggedValue::CTaggedValue(TaggedFill block) {
    Assign(kTaggedBytes, nullptr, block.size);
    if (block.size) std::memset(m_data.get(), block.fill, block.size);
}

CTaggedValue::CTaggedValue(const platform::SystemTime& t) { Assign(kTaggedDateTime, &t, sizeof t); }

CTaggedValue::CTaggedValue(uint32_t type, const void* bytes, uint32_t size) { Assign(type, bytes, size); }

CTaggedValue::CTaggedValue(const CTaggedValue& other) { Assign(other.m_type, other.m_data.get(), other.m_size); }

CTaggedValue& CTaggedValue::operator=(const CTaggedValue& other) {
    if (this != &other) {
        Assign(other.m_type, other.m_data.get(), other.m_size);
        m_text.clear();
    }
    return *this;
}

CTaggedValue::~CTaggedValue() = default;

// Zero-filled when `bytes` is null; no data at all for size 0.
void CTaggedValue::Assign(uint32_t type, const void* bytes, uint32_t size) {
    std::unique_ptr<uint8_t[]> data;
    if (size) {
        data.reset(new uint8_t[size]());
        if (bytes) std::memcpy(data.get(), bytes, size);
    }
    m_data = std::move(data);
    m_type = type;
    m_size = size;
}

void CTaggedValue::Synchronise() {
    if (m_type != kTaggedText || m_text.empty()) return;
    size_t len = strnlen(m_text.c_str(), m_text.size());
    if (m_size < len + 1 || !m_data) {
        m_data.reset(new uint8_t[len + 1]());
    }
    std::memcpy(m_data.get(), m_text.c_str(), len);
    m_data[len] = 0;
    m_size = uint32_t(len + 1);
    m_text.clear();
}

uint32_t CTaggedValue::Size() {
    Synchronise();
    return m_size;
}

uint8_t* CTaggedValue::Data() {
    Synchronise();
    return m_data.get();
}

int32_t* CTaggedValue::AsWord() {
    if (!m_data || m_size < 4) Assign(kTaggedWord, nullptr, 4);
    return reinterpret_cast<int32_t*>(m_data.get());
}

uint32_t* CTaggedValue::AsUnsignedWord() {
    if (!m_data || m_size < 4) Assign(kTaggedUWord, nullptr, 4);
    return reinterpret_cast<uint32_t*>(m_data.get());
}

platform::SystemTime* CTaggedValue::AsDateTime() {
    if (!m_data || m_size < sizeof(platform::SystemTime)) {
        platform::SystemTime now = platform::LocalSystemTime();
        Assign(kTaggedDateTime, &now, sizeof now);
    }
    return reinterpret_cast<platform::SystemTime*>(m_data.get());
}

std::string& CTaggedValue::AsText() {
    if (!m_data || m_type != kTaggedText) Assign(kTaggedText, nullptr, kTaggedEmptyTextSize);
    const char* chars = reinterpret_cast<const char*>(m_data.get());
    m_text.assign(chars, strnlen(chars, m_size));
    return m_text;
}

}  // namespace corvanta
