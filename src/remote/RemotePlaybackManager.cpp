#include "remote/RemotePlaybackManager.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/FilterCodes.h"
#include "remote/HttpRequest.h"
#include "remote/RecorderInterface.h"

namespace corvanta {
namespace {

// Letter case is ignored as by the recorder's file system; names are 8-bit
// texts, so only ASCII letters fold.
bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) {
            return false;
        }
    }
    return true;
}

class ListLock {
public:
    explicit ListLock(CLockedPtrArray& list) : m_list(list) { m_list.Lock(); }
    ~ListLock() { m_list.Unlock(); }
    ListLock(const ListLock&) = delete;
    ListLock& operator=(const ListLock&) = delete;

private:
    CLockedPtrArray& m_list;
};

}  // namespace

CRemotePlaybackManager::~CRemotePlaybackManager() {
    CloseAllStreams();
    Close();
    // An open handled between the two calls above made a proxy after the
    // sweep; now that the queue is closed no further one can come.
    CloseAllStreams();
}

CFilterDescriptor CRemotePlaybackManager::MakeDescriptor() {
    return CFilterDescriptor{.name = kPlaybackManagerFilterName, .classCode = kFilterClassManager,
                             .typeCode = kFilterTypePlayback, .version = "1.0.0", .queryCapacity = 64000,
                             .answerCapacity = 64000};
}

int CRemotePlaybackManager::OnIcp(IcpRecord* query, IcpRecord* answer) {
    if (query->kind == kIcpCommand && (query->code == kPlaybackOpenFile || query->code == kPlaybackCloseFile)) {
        // The file name: the data up to its NUL, never past the record or the region.
        const uint32_t length = std::min(query->dataLength, Descriptor().queryCapacity);
        const char* text = reinterpret_cast<const char*>(query->data);
        const std::string name(text, strnlen(text, length));
        answer->kind = kIcpCommandAnswer;
        return query->code == kPlaybackOpenFile ? OpenStream(query, answer, name) : CloseStream(query, answer, name);
    }
    return CRemoteFilter::OnIcp(query, answer);
}

int CRemotePlaybackManager::OpenStream(IcpRecord* query, IcpRecord* answer, const std::string& name) {
    ListLock lock(m_streams);
    const ptrdiff_t index = FindLocked(name);
    if (index >= 0) {
        static_cast<StreamEntry*>(m_streams.GetAt(size_t(index)))->useCount++;
        return CRemoteFilter::OnIcp(query, answer);
    }
    if (!CRemoteFilter::OnIcp(query, answer)) {
        return 0;
    }
    auto proxy = std::make_unique<CRemoteStreamFilter>();
    if (!proxy->Init(CRemoteStreamFilter::MakeDescriptor(name))) {
        // Without a proxy no frame can be fetched; the recorder should not
        // keep the file open for nothing either.
        proxy.reset();
        ForwardClose(query);
        return 0;
    }
    proxy->PublishInfo();
    m_streams.Add(new StreamEntry{name, std::move(proxy), 1});
    return 1;
}

int CRemotePlaybackManager::CloseStream(IcpRecord* query, IcpRecord* answer, const std::string& name) {
    std::unique_ptr<CRemoteStreamFilter> closing;
    {
        ListLock lock(m_streams);
        const ptrdiff_t index = FindLocked(name);
        if (index >= 0) {
            auto* entry = static_cast<StreamEntry*>(m_streams.GetAt(size_t(index)));
            if (--entry->useCount == 0) {
                closing = std::move(entry->proxy);
                delete entry;
                m_streams.RemoveAt(size_t(index));
                closing->Disconnect();
                closing->Close();
            }
        }
    }
    closing.reset();
    return CRemoteFilter::OnIcp(query, answer);
}

void CRemotePlaybackManager::ForwardClose(const IcpRecord* open) {
    const uint32_t length = std::min(open->dataLength, Descriptor().queryCapacity);
    std::vector<uint8_t> bytes(size_t{length} + kIcpOverhead);
    std::memcpy(bytes.data(), open, bytes.size());
    auto* close = reinterpret_cast<IcpRecord*>(bytes.data());
    close->code = kPlaybackCloseFile;
    close->dataLength = length;
    CHttpRequest request;
    Exchange(close, length, request);
}

ptrdiff_t CRemotePlaybackManager::FindLocked(std::string_view name) const {
    for (size_t i = 0; i < m_streams.GetSize(); ++i) {
        if (SameName(static_cast<const StreamEntry*>(m_streams.GetAt(i))->name, name)) {
            return ptrdiff_t(i);
        }
    }
    return -1;
}

size_t CRemotePlaybackManager::CloseAllStreams() {
    std::vector<StreamEntry*> entries;
    {
        ListLock lock(m_streams);
        for (size_t i = 0; i < m_streams.GetSize(); ++i) {
            entries.push_back(static_cast<StreamEntry*>(m_streams.GetAt(i)));
        }
        m_streams.RemoveAll();
    }
    for (StreamEntry* entry : entries) {
        entry->proxy->Disconnect();
        entry->proxy->Close();
        delete entry;
    }
    return entries.size();
}

size_t CRemotePlaybackManager::StreamCount() {
    ListLock lock(m_streams);
    return m_streams.GetSize();
}

uint32_t CRemotePlaybackManager::StreamUseCount(std::string_view fileName) {
    ListLock lock(m_streams);
    const ptrdiff_t index = FindLocked(fileName);
    return index < 0 ? 0 : static_cast<const StreamEntry*>(m_streams.GetAt(size_t(index)))->useCount;
}

}  // namespace corvanta
