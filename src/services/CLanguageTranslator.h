#pragma once
// The filter "Main Language Translator": holds the dictionary read from
// "language_basic.txt" and answers the translate command. A key it does not
// know is learned with the built-in text as its translation and appended to
// the dictionary file, so the file fills itself with everything that can be
// translated. Callers use TranslateByKey and TranslateText (Translation.h).

#include <cstdint>
#include <string>

#include "framework/CFilter.h"
#include "framework/CFilterDescriptor.h"
#include "stores/CLockedPtrArray.h"

namespace corvanta {

inline constexpr char kLanguageTranslatorName[] = "Main Language Translator";

// Command 7: data = key, NUL, built-in text, NUL. The answer is kind 7 with
// param1 and status 0; when a translation was found its data is that text
// with its NUL and the exchange's result is 1, otherwise dataLength is 0 and
// the result 0. A further command of the translator takes a code other than
// 7 and 65000 and above (IcpRecord.h).
inline constexpr uint32_t kTranslateCommand = 7;

class CLanguageTranslator : public CFilter {
public:
    CLanguageTranslator();
    ~CLanguageTranslator() override;

    // Class 8, type 16, own thread, version "1.0.0", 36000-byte regions.
    static CFilterDescriptor MakeDescriptor();

    // Registers the filter (Init, PublishInfo) and loads the dictionary.
    // 0 when the filter could not be registered; a missing dictionary file
    // is not a failure, every text then stays built-in.
    int Startup();
    // Disconnect and Close, then empties the dictionary.
    int Shutdown();

    // Reads the first dictionary file that opens and appends its entries.
    // 1 when a file was read, 0 when none opened (the dictionary is unchanged).
    int LoadDictionary();
    void ClearDictionary();
    size_t EntryCount();

    int OnIcp(IcpRecord* query, IcpRecord* answer) override;

private:
    // The translation of `key`; learns (key, text) when there is none.
    // False when not found, and always for an empty text.
    bool Translate(const std::string& key, const std::string& text, std::string* translation);

    CLockedPtrArray m_dictionary;  // DictionaryEntry*, owned; file order, then learned keys
};

}  // namespace corvanta
