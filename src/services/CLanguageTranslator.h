#pragma once
// The filter "Main Language Translator": holds the dictionary read from
// the file of the user's language (LanguageDictionary.h) and answers the
// translate command. A key it does not know is learned with the built-in
// text as its translation and appended to the file in use, so the file fills
// itself with everything that can be translated. Callers use TranslateByKey
// and TranslateText (Translation.h).

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

    // Reads the dictionary file (ReadDictionaryFile) and appends its
    // entries; it becomes the file learned keys are written to. 1 when it
    // was read, 0 when there was none or it could not be used (a note on
    // standard error says why); the dictionary is then unchanged.
    int LoadDictionary();
    void ClearDictionary();
    size_t EntryCount();
    // The path of the file read by LoadDictionary; empty when none was.
    std::string FileInUse();

    int OnIcp(IcpRecord* query, IcpRecord* answer) override;

private:
    // The translation of `key`; learns (key, text) when there is none.
    // False when not found, and always for an empty text.
    bool Translate(const std::string& key, const std::string& text, std::string* translation);

    CLockedPtrArray m_dictionary;  // DictionaryEntry*, owned; file order, then learned keys
    std::string m_file;            // under m_dictionary's lock
};

}  // namespace corvanta
