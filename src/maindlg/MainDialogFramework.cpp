#include "maindlg/MainDialogFramework.h"

#include "framework/FilterCodes.h"
#include "framework/InstanceNames.h"
#include "services/MainDialogSettings.h"
#include "services/UserAccess.h"

namespace corvanta {

CMainDialogFramework::CMainDialogFramework() = default;

CMainDialogFramework::~CMainDialogFramework() {
    ShutDown();
}

CFilterDescriptor CMainDialogFramework::MakeDescriptor() {
    return CFilterDescriptor{.name = kMainDialogFilterName, .classCode = kFilterClassDialog,
                             .typeCode = kFilterTypeMainDialog, .ownThread = 0, .version = "1.0.0",
                             .queryCapacity = 36000, .answerCapacity = 36000};
}

int CMainDialogFramework::StartUp(long long seconds) {
    // Every per-instance name derives from the number, so it comes first;
    // the service names are constants of their headers.
    InstanceNames::SetInstanceNumber(DrawInstanceNumber(seconds));
    int failed = 0;
    failed += m_manager.Start() ? 0 : 1;
    failed += m_translator.Startup() ? 0 : 1;
    failed += m_privilege.Startup() ? 0 : 1;
    failed += m_archive.Init(CRemoteArchiveQuery::MakeDescriptor()) && m_archive.PublishInfo() ? 0 : 1;
    failed += m_playback.Init(CRemotePlaybackManager::MakeDescriptor()) && m_playback.PublishInfo() ? 0 : 1;
    // Defaults before Init, so the values Init loads from the registry win.
    DeclareMainDialogSettings(Settings());
    CheckPrivilege(kHttpServerLoginPrivilege);
    failed += Init(MakeDescriptor()) && PublishInfo() ? 0 : 1;
    m_up = true;
    return failed;
}

void CMainDialogFramework::ShutDown() {
    if (!m_up) return;
    m_up = false;
    DestroyPanes();
    Disconnect();
    Close();
    m_playback.CloseAllStreams();
    m_playback.Disconnect();
    m_playback.Close();
    m_archive.Close();
    m_translator.Shutdown();
    m_privilege.Shutdown();
    m_manager.Close();
}

int CMainDialogFramework::OnIcp(IcpRecord*, IcpRecord*) {
    return 0;
}

}  // namespace corvanta
