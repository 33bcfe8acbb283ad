#pragma once
// Texts in the fixed, NUL-terminated fields of shared records.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>

namespace corvanta {

// Copies as much of `text` as fits and always terminates the field.
inline void CopyText(char* field, size_t fieldSize, const std::string& text) {
    size_t n = std::min(text.size(), fieldSize - 1);
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

// The text of a field that another process wrote: never reads past it.
inline std::string FieldText(const char* field, size_t fieldSize) {
    return std::string(field, strnlen(field, fieldSize));
}

}  // namespace corvanta
