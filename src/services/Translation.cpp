#include "services/Translation.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/CFilterIcpClient.h"
#include "services/CLanguageTranslator.h"

namespace corvanta {

namespace {

// Sends the translate command; true with the translation when one was found.
bool AskTranslator(CFilterIcpClient& client, const std::string& key, const std::string& text,
                   std::string* translation) {
    std::vector<char> data(key.size() + text.size() + 2, '\0');
    std::memcpy(data.data(), key.data(), key.size());
    std::memcpy(data.data() + key.size() + 1, text.data(), text.size());
    if (!client.SendCommand(kTranslateCommand, 0, 0, data.data(), uint32_t(data.size()))) return false;
    const IcpRecord* answer = client.Answer();
    if (!answer) return false;
    // The client copied at most its region's capacity; never read past that.
    const uint32_t length = std::min(answer->dataLength, client.AnswerCapacity());
    const char* start = reinterpret_cast<const char*>(answer->data);
    translation->assign(start, strnlen(start, length));
    return true;
}

}  // namespace

int TranslateByKey(const std::string& key, std::string& text) {
    CFilterIcpClient client;
    if (!client.Open(kLanguageTranslatorName)) return 0;
    std::string translation;
    if (AskTranslator(client, key, text, &translation)) text = std::move(translation);
    client.Close();
    return 1;
}

std::string TranslateText(const std::string& text, const std::string& section) {
    std::string result = text;
    TranslateByKey(section + "-" + text, result);
    return result;
}

}  // namespace corvanta
