#pragma once
// The modal dialog "Remote Login": server URL, stream port, user name and
// password, the (disabled) network mode, and "Save login data". OK logs in
// to the recorder through "Main User Privilege" and, when the recorder
// accepts, replaces SessionId, logs a previous session off and saves the
// login data when asked to. "Log Off..." only reports that the caller is to
// end the session (it then calls LogOff).
//
// An address typed without a scheme gets "http://" in front, in the field
// too. The dialog ends with kIdOk once user name and server URL are filled,
// whether or not the recorder accepted: LoggedIn() tells. A control that
// breaks its limit, an empty user name or an empty URL keep it open.

#include <QString>
#include <cstdint>
#include <string>

#include "services/UserAccessRecords.h"
#include "services/ui/CTemplateDialog.h"

namespace corvanta {
class CSettingsStore;
}

namespace corvanta::ui {

class CLoginDlg : public CTemplateDialog {
public:
    static constexpr int kTemplateId = 208;
    // Control ids are unique within the dialog; a new control takes the next id above
    // the highest one here (DialogTemplate.h says which ids are taken by every dialog).

    enum ControlId : int {
        kIdServerUrlLabel = 1181,
        kIdServerUrl = 1082,
        kIdStreamPortLabel = 1183,
        kIdStreamPort = 212,
        kIdUserNameLabel = 1179,
        kIdUserName = 1081,
        kIdPasswordLabel = 1180,
        kIdPassword = 1083,
        kIdNetworkMode = 211,
        kIdSimpleData = 206,
        kIdControlledData = 207,
        kIdVideoStream = 208,
        kIdDownloadSettings = 209,
        kIdSaveLoginData = 210,
        kIdLogOff = 3,
    };

    // Limits in bytes of the stored text: each fits its field of LoginRecord.
    static constexpr int kMaxServerUrl = 40;
    static constexpr int kMaxUserName = 40;
    static constexpr int kMaxPassword = 20;

    // `store` is the main dialog's settings store (section "MainDialog") or
    // null; the dialog reads it at start and writes it after a login with
    // "Save login data". `serverUrl` (the control's base URL) is shown
    // unless the store holds a non-empty one; "http://" when both are empty.
    explicit CLoginDlg(CSettingsStore* store, std::string serverUrl = {}, QWidget* parent = nullptr);
    ~CLoginDlg() override;

    static const DialogTemplate& LoginTemplate();

    int LoggedIn() const { return m_loggedIn; }
    int LoggedOff() const { return m_loggedOff; }
    // Why the last OK did not log in: nothing answered, something that is
    // not a recorder did, or the recorder refused the user.
    LoginFailure Failure() const { return m_failure; }
    const std::string& UserName() const { return m_userName; }
    const std::string& Password() const { return m_password; }
    const std::string& ServerUrl() const { return m_serverUrl; }
    int32_t StreamPort() const { return m_streamPort; }
    int NetworkMode() const { return m_networkMode; }

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    void OnOK() override;
    void OnCommand(int id) override;

private:
    void ReadStore();
    void WriteStore();

    CSettingsStore* m_store;
    std::string m_serverUrl;
    int32_t m_streamPort = 8080;
    std::string m_userName;
    std::string m_password;
    int m_networkMode = 0;
    int m_download = 0;
    int m_saveLoginData = 0;
    int m_loggedIn = 0;
    int m_loggedOff = 0;
    LoginFailure m_failure = LoginFailure::None;
};

}  // namespace corvanta::ui
