// The dictionary file is the user's: any bytes at all. Judging and parsing
// them must stay within them, and what parsing finds must come back
// unchanged when written out as learned entries and read again.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "services/LanguageDictionary.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvanta;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    // A text judged fit to be a dictionary holds no NUL and no other control byte but tab, CR and LF.
    if (DictionaryTextProblem(text).empty())
        for (unsigned char c : text)
            if ((c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7F) std::abort();
    auto entries = ParseDictionary(text);

    std::string written;
    for (const auto& e : entries) {
        if (e.key.find(';') != std::string::npos || e.translation.find(';') != std::string::npos) std::abort();
        if (FitsDictionaryFormat(e.key, e.translation)) written += FormatDictionaryEntry(e.key, e.translation);
    }
    size_t kept = 0;
    for (const auto& e : entries) kept += FitsDictionaryFormat(e.key, e.translation) ? 1 : 0;
    auto again = ParseDictionary(written);
    if (again.size() != kept) std::abort();
    size_t i = 0;
    for (const auto& e : entries) {
        if (!FitsDictionaryFormat(e.key, e.translation)) continue;
        if (again[i].key != e.key || again[i].translation != e.translation) std::abort();
        ++i;
    }
    return 0;
}
