#pragma once
// A small self-describing value: a type code, a size and the bytes it owns.
// Tagged-value stores hand these out as the current value of an entry.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/SystemTime.h"

namespace corvanta {

// Value type codes.
enum TaggedValueType : uint32_t {
    kTaggedEmpty = 0,
    kTaggedUWord = 1,     // unsigned 32-bit word
    kTaggedWord = 2,      // signed 32-bit word
    kTaggedText = 3,      // characters and a NUL
    kTaggedUPair = 4,     // two unsigned words, low first
    kTaggedPair = 5,      // two signed words, low first
    kTaggedBytes = 8,     // byte block
    kTaggedDateTime = 11, // platform::SystemTime
};

// What the empty text value holds: this many zero bytes.
inline constexpr uint32_t kTaggedEmptyTextSize = 2001;

// A byte block of `size` bytes, each set to `fill`.
struct TaggedFill {
    uint8_t fill = 0;
    uint32_t size = 0;
};

class CTaggedValue {
public:
    CTaggedValue() = default;
    explicit CTaggedValue(uint32_t word);                   // type 1
    explicit CTaggedValue(int32_t word);                    // type 2
    explicit CTaggedValue(std::string_view text);           // type 3; empty: 2001 zero bytes
    CTaggedValue(uint32_t low, uint32_t high);              // type 4
    CTaggedValue(int32_t low, int32_t high);                // type 5
    explicit CTaggedValue(TaggedFill block);                // type 8
    explicit CTaggedValue(const platform::SystemTime& t);   // type 11
    // A value of any type code made of the given bytes.
    CTaggedValue(uint32_t type, const void* bytes, uint32_t size);

    // Copies take the type, size and bytes; the text cache is not carried.
    CTaggedValue(const CTaggedValue& other);
    CTaggedValue& operator=(const CTaggedValue& other);
    virtual ~CTaggedValue();

    uint32_t Type() const { return m_type; }
    // Both first take in a text changed through AsText.
    uint32_t Size();
    uint8_t* Data();

    // The 32-bit word at the start of the data. A value with fewer than four
    // bytes first becomes a zero word: of type 2 for AsWord, type 1 for AsUnsignedWord.
    int32_t* AsWord();
    uint32_t* AsUnsignedWord();
    // The time at the start of the data; a value with fewer than 16 bytes
    // first becomes type 11 holding the current local time.
    platform::SystemTime* AsDateTime();
    // The text cache, filled from the data of a text value. Any other value
    // first becomes the empty text value. Changes made through the reference
    // become the data at the next Size or Data.
    std::string& AsText();

private:
    void Assign(uint32_t type, const void* bytes, uint32_t size);
    void Synchronise();

    uint32_t m_type = kTaggedEmpty;
    std::string m_text;
    uint32_t m_size = 0;
    std::unique_ptr<uint8_t[]> m_data;
};

}  // namespace corvanta
