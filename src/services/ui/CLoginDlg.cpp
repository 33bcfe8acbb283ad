#include "services/ui/CLoginDlg.h"

#include "remote/RemoteSession.h"
#include "services/MainDialogSettings.h"
#include "services/UserAccess.h"
#include "services/ui/TranslateDialog.h"
#include "stores/CSettingsStore.h"

namespace corvanta::ui {

namespace {

// Template 208, 172 x 165 dialog units.
constexpr ControlTemplate kLoginControls[] = {
    {CLoginDlg::kIdServerUrlLabel, ControlKind::Label, "Server URL:", 7, 9, 50, 8},
    {CLoginDlg::kIdServerUrl, ControlKind::Edit, "", 60, 7, 105, 12},
    {CLoginDlg::kIdStreamPortLabel, ControlKind::Label, "Stream port:", 7, 25, 50, 8},
    {CLoginDlg::kIdStreamPort, ControlKind::Edit, "", 60, 23, 40, 12},
    {CLoginDlg::kIdUserNameLabel, ControlKind::Label, "User name:", 7, 41, 50, 8},
    {CLoginDlg::kIdUserName, ControlKind::Edit, "", 60, 39, 105, 12},
    {CLoginDlg::kIdPasswordLabel, ControlKind::Label, "Password:", 7, 57, 50, 8},
    {CLoginDlg::kIdPassword, ControlKind::Edit, "", 60, 55, 105, 12, kStylePassword},
    {CLoginDlg::kIdNetworkMode, ControlKind::GroupBox, "Network mode", 7, 72, 158, 46},
    {CLoginDlg::kIdSimpleData, ControlKind::RadioButton, "Simple data", 15, 83, 140, 10, kStyleGroup},
    {CLoginDlg::kIdControlledData, ControlKind::RadioButton, "Controlled data", 15, 94, 140, 10},
    {CLoginDlg::kIdVideoStream, ControlKind::RadioButton, "Video stream", 15, 105, 140, 10},
    {CLoginDlg::kIdDownloadSettings, ControlKind::CheckBox, "Download settings from server", 7, 122, 158, 10,
     kStyleHidden | kStyleDisabled},
    {CLoginDlg::kIdSaveLoginData, ControlKind::CheckBox, "Save login data", 7, 133, 158, 10},
    {kIdOk, ControlKind::DefPushButton, "OK", 7, 147, 50, 14},
    {kIdCancel, ControlKind::PushButton, "Cancel", 61, 147, 50, 14},
    {CLoginDlg::kIdLogOff, ControlKind::PushButton, "Log Off...", 115, 147, 50, 14},
};

constexpr DialogTemplate kLoginTemplate{CLoginDlg::kTemplateId, "Remote Login", 172, 165, "MS Sans Serif", 8,
                                        kLoginControls};

}  // namespace

CLoginDlg::CLoginDlg(CSettingsStore* store, std::string serverUrl, QWidget* parent)
    : CTemplateDialog(kLoginTemplate, parent), m_store(store), m_serverUrl(std::move(serverUrl)) {}

CLoginDlg::~CLoginDlg() = default;

const DialogTemplate& CLoginDlg::LoginTemplate() { return kLoginTemplate; }

bool CLoginDlg::OnInitDialog() {
    // No name: the keys begin with the title, "Remote Login Dialog-".
    TranslateDialog(this);
    EnableControl(kIdLogOff, !SessionId().empty());
    // Nothing in the system offers another network mode or downloads settings.
    EnableControl(kIdSimpleData, false);
    EnableControl(kIdControlledData, false);
    EnableControl(kIdVideoStream, false);
    EnableControl(kIdDownloadSettings, false);
    ReadStore();
    if (m_serverUrl.empty()) m_serverUrl = "http://";
    const bool shown = CTemplateDialog::OnInitDialog();
    // The cursor waits in the first field still to fill, so a user whose
    // URL and name are stored types only the password.
    const int firstEmpty = m_serverUrl == "http://" ? kIdServerUrl
                           : m_userName.empty()    ? kIdUserName
                                                   : kIdPassword;
    if (QWidget* field = Control(firstEmpty)) field->setFocus(Qt::OtherFocusReason);
    return shown;
}

void CLoginDlg::DoDataExchange(CDataExchange& dx) {
    dx.Text(kIdServerUrl, m_serverUrl, kMaxServerUrl);
    dx.Int(kIdStreamPort, m_streamPort);
    dx.Text(kIdUserName, m_userName, kMaxUserName);
    dx.Text(kIdPassword, m_password, kMaxPassword);
    dx.Radio(kIdSimpleData, m_networkMode);
    dx.Check(kIdDownloadSettings, m_download);
    dx.Check(kIdSaveLoginData, m_saveLoginData);
}

void CLoginDlg::OnOK() {
    if (!UpdateData(true) || m_userName.empty() || m_serverUrl.empty()) return;
    // Deliberately completed: users type a recorder's address without a
    // scheme, and the channel reaches it only over http://.
    if (m_serverUrl.find("://") == std::string::npos && m_serverUrl.size() + 7 <= kMaxServerUrl) {
        m_serverUrl = "http://" + m_serverUrl;
        SetControlString(kIdServerUrl, m_serverUrl);
    }
    SetFilterServerURL(m_serverUrl);
    const LoginOutcome outcome = LogIn(m_userName, m_password);
    m_failure = outcome.failure;
    if (outcome.loggedIn) {
        m_loggedIn = 1;
        if (outcome.loggedOff) m_loggedOff = 1;
        if (m_saveLoginData && m_store) WriteStore();
    }
    CTemplateDialog::OnOK();
}

void CLoginDlg::OnCommand(int id) {
    if (id != kIdLogOff) return;
    m_loggedOff = 1;
    CTemplateDialog::OnOK();
}

void CLoginDlg::ReadStore() {
    if (!m_store) return;
    // A value the store lacks leaves the field as it was.
    std::string text;
    if (m_store->GetText(kSettingUserName, text)) m_userName = text;
    if (m_store->GetText(kSettingUserPswd, text)) m_password = text;
    // Deliberately only a non-empty stored URL replaces the given one: the
    // store always holds one, and users expect the address the host gave.
    if (m_store->GetText(kSettingServerUrl, text) && !text.empty()) m_serverUrl = text;
    int32_t value = 0;
    if (m_store->GetInt(kSettingStreamPort, value)) m_streamPort = value;
    if (m_store->GetInt(kSettingCommType, value)) m_networkMode = value;
}

void CLoginDlg::WriteStore() {
    m_store->SetText(kSettingUserName, m_userName);
    m_store->SetText(kSettingUserPswd, m_password);
    m_store->SetText(kSettingServerUrl, m_serverUrl);
    m_store->SetInt(kSettingCommType, m_networkMode);
    m_store->SetInt(kSettingStreamPort, m_streamPort);
}

}  // namespace corvanta::ui
