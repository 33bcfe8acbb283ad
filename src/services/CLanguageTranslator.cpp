#include "services/CLanguageTranslator.h"

#include <errno.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "framework/FilterCodes.h"
#include "services/LanguageDictionary.h"

namespace corvanta {

namespace {

constexpr uint32_t kTranslatorCapacity = 36000;

// Holds the dictionary lock for a scope.
class DictionaryLock {
public:
    explicit DictionaryLock(CLockedPtrArray& array) : m_array(array), m_held(array.Lock() != 0) {}
    ~DictionaryLock() {
        if (m_held) m_array.Unlock();
    }
    bool Held() const { return m_held; }

private:
    CLockedPtrArray& m_array;
    bool m_held;
};

// The NUL-terminated text at `offset` of the first `length` data bytes;
// *next is the offset behind its NUL (or `length` when it has none).
std::string TextAt(const uint8_t* data, uint32_t length, uint32_t offset, uint32_t* next) {
    if (offset >= length) {
        *next = length;
        return {};
    }
    const char* start = reinterpret_cast<const char*>(data) + offset;
    size_t n = strnlen(start, length - offset);
    *next = uint32_t(std::min<size_t>(length, offset + n + 1));
    return std::string(start, n);
}

}  // namespace

CFilterDescriptor CLanguageTranslator::MakeDescriptor() {
    return CFilterDescriptor{.name = kLanguageTranslatorName, .classCode = kFilterClassService,
                             .typeCode = kFilterTypeTranslator, .version = "1.0.0",
                             .queryCapacity = kTranslatorCapacity, .answerCapacity = kTranslatorCapacity};
}

CLanguageTranslator::CLanguageTranslator() = default;

CLanguageTranslator::~CLanguageTranslator() {
    Close();
    ClearDictionary();
}

int CLanguageTranslator::Startup() {
    if (!Init(MakeDescriptor())) return 0;
    PublishInfo();
    LoadDictionary();
    return 1;
}

int CLanguageTranslator::Shutdown() {
    Disconnect();
    Close();
    ClearDictionary();
    return 1;
}

int CLanguageTranslator::LoadDictionary() {
    FoundDictionary file = ReadDictionaryFile();
    if (file.status != DictionaryStatus::Read) {
        // A file that is there but cannot be used is the user's to mend;
        // the viewer goes on with its own texts and never writes to it.
        if (file.status != DictionaryStatus::None)
            std::fprintf(stderr, "%s: the dictionary %s is not used (%s); texts keep their built-in wording\n",
                         program_invocation_short_name, file.path.c_str(), file.problem.c_str());
        return 0;
    }
    std::vector<DictionaryEntry> entries = ParseDictionary(file.text);
    DictionaryLock lock(m_dictionary);
    if (!lock.Held()) return 0;
    for (DictionaryEntry& e : entries) m_dictionary.Add(new DictionaryEntry(std::move(e)));
    m_file = file.path;
    return 1;
}

void CLanguageTranslator::ClearDictionary() {
    DictionaryLock lock(m_dictionary);
    for (size_t i = 0; i < m_dictionary.GetSize(); ++i) delete static_cast<DictionaryEntry*>(m_dictionary.GetAt(i));
    m_dictionary.RemoveAll();
    m_file.clear();
}

std::string CLanguageTranslator::FileInUse() {
    DictionaryLock lock(m_dictionary);
    return m_file;
}

size_t CLanguageTranslator::EntryCount() {
    DictionaryLock lock(m_dictionary);
    return m_dictionary.GetSize();
}

bool CLanguageTranslator::Translate(const std::string& key, const std::string& text, std::string* translation) {
    if (text.empty()) return false;
    DictionaryLock lock(m_dictionary);
    if (!lock.Held()) return false;
    for (size_t i = 0; i < m_dictionary.GetSize(); ++i) {
        const auto* e = static_cast<const DictionaryEntry*>(m_dictionary.GetAt(i));
        if (e->key == key) {
            *translation = e->translation;
            return true;
        }
    }
    m_dictionary.Add(new DictionaryEntry{key, text});
    // The file lines up entries by semicolons only; a pair holding one would
    // shift every entry after it, so such a pair is learned for this run only.
    if (!m_file.empty() && FitsDictionaryFormat(key, text)) AppendToDictionaryFile(m_file, FormatDictionaryEntry(key, text));
    return false;
}

int CLanguageTranslator::OnIcp(IcpRecord* query, IcpRecord* answer) {
    if (query->kind != kIcpCommand || query->code != kTranslateCommand) return 0;
    const uint32_t length = std::min(query->dataLength, Descriptor().queryCapacity);
    uint32_t next = 0;
    std::string key = TextAt(query->data, length, 0, &next);
    std::string text = TextAt(query->data, length, next, &next);

    answer->kind = kIcpCommandAnswer;
    answer->param1 = 0;
    answer->status = 0;
    answer->dataLength = 0;
    std::string translation;
    if (!Translate(key, text, &translation)) return 0;
    // A translation longer than the answer region is cut, keeping its NUL.
    const uint32_t capacity = Descriptor().answerCapacity;
    if (capacity == 0) return 0;
    const size_t n = std::min<size_t>(translation.size(), capacity - 1);
    std::memcpy(answer->data, translation.data(), n);
    answer->data[n] = 0;
    answer->dataLength = uint32_t(n + 1);
    return 1;
}

}  // namespace corvanta
