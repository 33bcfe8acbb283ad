#pragma once
// The framework the main dialog owns: the queue manager, the service
// filters and the recorder proxies, brought up in one fixed order when the
// dialog is initialised and taken down in another when it is destroyed. The
// dialog itself is the filter "RARUdivar Main Dialog"; its queue lives on
// the dialog's thread.

#include <cstdint>

#include "framework/CFilter.h"
#include "framework/CMessageQueueManager.h"
#include "remote/RemoteFilter.h"
#include "remote/RemotePlaybackManager.h"
#include "services/CLanguageTranslator.h"
#include "services/CUserPrivilegeProxy.h"

namespace corvanta {

inline constexpr char kMainDialogFilterName[] = "RARUdivar Main Dialog";
// Asked once at start-up; the answer only warms the privilege cache.
inline constexpr char kHttpServerLoginPrivilege[] = "User Access - Http server login";

class CMainDialogFramework : public CFilter {
public:
    CMainDialogFramework();
    ~CMainDialogFramework() override;

    // Class 7, type 26, on the creating thread, version "1.0.0", 36000-byte regions.
    static CFilterDescriptor MakeDescriptor();

    // Draws the instance number from `seconds` (two dialogs started in the
    // same second share one instance), starts the manager, registers the
    // translator, the privilege proxy and both recorder proxies, declares the
    // dialog's settings and registers the dialog's own filter. A part that
    // fails does not stop the rest: its features fail when used. Nothing is
    // started. Returns how many of the six parts failed.
    int StartUp(long long seconds);
    // Closes the dialog's filter, the playback proxies, the archive proxy,
    // the translator, the privilege proxy and the manager last, so the
    // manager outlives every queue it lists. Calling it twice does nothing.
    void ShutDown();

    // Every record is refused.
    int OnIcp(IcpRecord* query, IcpRecord* answer) override;

    CRemotePlaybackManager& Playback() { return m_playback; }
    CRemoteArchiveQuery& Archive() { return m_archive; }
    CUserPrivilegeProxy& Privilege() { return m_privilege; }
    CLanguageTranslator& Translator() { return m_translator; }
    CMessageQueueManager& Manager() { return m_manager; }

protected:
    // Called first by ShutDown, for the panes a logged-in dialog made.
    virtual void DestroyPanes() {}

private:
    CRemotePlaybackManager m_playback;
    CRemoteArchiveQuery m_archive;
    CUserPrivilegeProxy m_privilege;
    CLanguageTranslator m_translator;
    CMessageQueueManager m_manager;
    bool m_up = false;
};

}  // namespace corvanta
