#include "remote/RemoteSession.h"

#include <mutex>

#include "remote/Hex.h"

namespace corvanta {
namespace {

// Set from the user-interface thread, read by every proxy thread.
struct SessionTexts {
    std::mutex mutex;
    std::string serverUrl;
    std::string sessionId;
};

SessionTexts& Texts() {
    static SessionTexts texts;
    return texts;
}

std::string Read(std::string SessionTexts::*text) {
    SessionTexts& texts = Texts();
    std::lock_guard lock(texts.mutex);
    return texts.*text;
}

void Write(std::string SessionTexts::*text, std::string_view value) {
    SessionTexts& texts = Texts();
    std::lock_guard lock(texts.mutex);
    (texts.*text).assign(value);
}

}  // namespace

std::string FilterServerURL() {
    return Read(&SessionTexts::serverUrl);
}

void SetFilterServerURL(std::string_view url) {
    Write(&SessionTexts::serverUrl, url);
}

std::string SessionId() {
    return Read(&SessionTexts::sessionId);
}

void SetSessionId(std::string_view id) {
    Write(&SessionTexts::sessionId, id);
}

int32_t AppendMessageRequestUrl(std::string& url, std::string_view filterName, const IcpRecord* query,
                                uint32_t queryCapacity) {
    if (query == nullptr || query->dataLength > queryCapacity) {
        return 0;
    }
    const size_t recordSize = size_t{query->dataLength} + kIcpOverhead;
    SessionTexts& texts = Texts();
    {
        std::lock_guard lock(texts.mutex);
        url.reserve(url.size() + texts.serverUrl.size() + texts.sessionId.size() + filterName.size() + 48 +
                    2 * recordSize);
        url += texts.serverUrl;
        url += "/Filter?Message&SID=";
        url += texts.sessionId;
    }
    url += "&Name=";
    url += filterName;
    url += "&Data=";
    AppendHex(url, query, recordSize);
    return 1;
}

int32_t AppendMessageRequestUrl(std::string& url, std::string_view serverUrl, std::string_view sessionId,
                                std::string_view filterName, const IcpRecord* query, uint32_t queryCapacity) {
    if (query == nullptr || query->dataLength > queryCapacity) {
        return 0;
    }
    const size_t recordSize = size_t{query->dataLength} + kIcpOverhead;
    url.reserve(url.size() + serverUrl.size() + sessionId.size() + filterName.size() + 48 + 2 * recordSize);
    url += serverUrl;
    url += "/Filter?Message&SID=";
    url += sessionId;
    url += "&Name=";
    url += filterName;
    url += "&Data=";
    AppendHex(url, query, recordSize);
    return 1;
}

}  // namespace corvanta
