#include "services/CUserPrivilegeProxy.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "framework/FilterCodes.h"
#include "services/UserAccessRecords.h"

namespace corvanta {

namespace {

constexpr uint32_t kPrivilegeCapacity = 64000;

struct PrivilegeAnswer {
    std::string name;
    int result;
};

class CacheLock {
public:
    explicit CacheLock(CLockedPtrArray& array) : m_array(array), m_held(array.Lock() != 0) {}
    ~CacheLock() {
        if (m_held) m_array.Unlock();
    }
    bool Held() const { return m_held; }

private:
    CLockedPtrArray& m_array;
    bool m_held;
};

bool IsCommand(const IcpRecord* query, uint32_t code) { return query->kind == kIcpCommand && query->code == code; }

LoginFailure LoginFailureOf(CRemoteFilter::Reply reply) {
    switch (reply) {
        case CRemoteFilter::Reply::NoAnswer: return LoginFailure::NoAnswer;
        case CRemoteFilter::Reply::Empty: return LoginFailure::Refused;
        // An https:// address reaches no recorder: the channel speaks plain HTTP.
        case CRemoteFilter::Reply::NotSent:
        case CRemoteFilter::Reply::Foreign: return LoginFailure::NotARecorder;
        case CRemoteFilter::Reply::Answer: break;
    }
    // An answer record the recorder marked as failed.
    return LoginFailure::Refused;
}

}  // namespace

CUserPrivilegeProxy::CUserPrivilegeProxy() = default;

CUserPrivilegeProxy::~CUserPrivilegeProxy() {
    Close();
    ClearCache();
}

CFilterDescriptor CUserPrivilegeProxy::MakeDescriptor() {
    return CFilterDescriptor{.name = kUserPrivilegeFilterName, .classCode = kFilterClassService,
                             .typeCode = kFilterTypeUserAccess, .version = "1.0.0", .queryCapacity = kPrivilegeCapacity,
                             .answerCapacity = kPrivilegeCapacity};
}

int CUserPrivilegeProxy::Startup() {
    if (!Init(MakeDescriptor())) return 0;
    Settings().SetText("FilterDisplayName", "");
    PublishInfo();
    return 1;
}

int CUserPrivilegeProxy::Shutdown() {
    Close();
    ClearCache();
    return 1;
}

int CUserPrivilegeProxy::OnIcp(IcpRecord* query, IcpRecord* answer) {
    const bool check = IsCommand(query, kPrivilegeCheck);
    std::string name;
    if (check) {
        // The privilege name leads the query data; read it within the data
        // the record may hold.
        const uint32_t length = std::min(query->dataLength, Descriptor().queryCapacity);
        const char* start = reinterpret_cast<const char*>(query->data);
        name.assign(start, strnlen(start, length));
        CacheLock lock(m_cache);
        for (size_t i = 0; lock.Held() && i < m_cache.GetSize(); ++i) {
            const auto* cached = static_cast<const PrivilegeAnswer*>(m_cache.GetAt(i));
            if (cached->name != name) continue;
            answer->dataLength = 0;
            answer->kind = kIcpCommandAnswer;
            answer->param1 = 0;
            answer->status = 0;
            return cached->result;
        }
    }

    const int result = CRemoteFilter::OnIcp(query, answer);

    if (!result && IsCommand(query, kPrivilegeLogIn)) {
        answer->kind = kIcpCommandAnswer;
        answer->status = kIcpStatusFailed;
        answer->param1 = static_cast<uint32_t>(LoginFailureOf(LastReply()));
        answer->dataLength = 0;
    } else if (check) {
        CacheLock lock(m_cache);
        if (lock.Held()) m_cache.Add(new PrivilegeAnswer{name, result});
    } else if (IsCommand(query, kPrivilegeLogOff)) {
        ClearCache();
    }
    return result;
}

size_t CUserPrivilegeProxy::CachedAnswers() {
    CacheLock lock(m_cache);
    return m_cache.GetSize();
}

void CUserPrivilegeProxy::ClearCache() {
    CacheLock lock(m_cache);
    for (size_t i = 0; i < m_cache.GetSize(); ++i) delete static_cast<PrivilegeAnswer*>(m_cache.GetAt(i));
    m_cache.RemoveAll();
}

}  // namespace corvanta
