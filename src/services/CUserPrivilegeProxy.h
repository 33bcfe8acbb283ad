#pragma once
// The local proxy "Main User Privilege" of the recorder's user privilege
// service. It carries every record to the recorder like any remote proxy,
// and remembers the answer to each privilege check: a second check of the
// same privilege is answered here without asking the recorder, until a
// log-off sent through this proxy forgets them all. A failed check is
// remembered like a refusal.

#include <cstdint>

#include "remote/RemoteFilter.h"
#include "stores/CLockedPtrArray.h"

namespace corvanta {

class CUserPrivilegeProxy : public CRemoteFilter {
public:
    CUserPrivilegeProxy();
    ~CUserPrivilegeProxy() override;

    // "Main User Privilege": class 8, type 17, own thread, version "1.0.0",
    // 64000-byte regions.
    static CFilterDescriptor MakeDescriptor();

    // Init, an empty "FilterDisplayName", PublishInfo. The proxy is not
    // started: it serves ICP from here on. 0 when it could not be registered.
    int Startup();
    // Close, which also forgets the remembered answers.
    int Shutdown();

    int OnIcp(IcpRecord* query, IcpRecord* answer) override;

    // How many privilege answers are remembered.
    size_t CachedAnswers();

private:
    void ClearCache();

    CLockedPtrArray m_cache;  // PrivilegeAnswer*, owned, in the order of the checks
};

}  // namespace corvanta
