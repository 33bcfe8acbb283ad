#pragma once
// The control's one window, and at the same time the filter "RARUdivar
// Main Dialog" that owns the framework (see CMainDialogFramework). It shows
// a toolbar ("Refresh", "Login") over two tab controls: the archive trees
// "Full" and "By time" on the left, the player view "View" on the right.
// The tabs stay empty until the first successful login, which makes the
// three panes once; "Log Off..." in the login dialog files them away again.

#include <QPointer>
#include <memory>
#include <string>

#include "archive/ui/CArchiveTreeDlg.h"
#include "archive/ui/CTimeTreeDlg.h"
#include "maindlg/MainDialogFramework.h"
#include "playback/ui/CArchiveViewDlg.h"
#include "services/UserAccessRecords.h"
#include "services/ui/CTemplateDialog.h"

class QAction;
class QToolBar;

namespace corvanta::platform {
class QtQueueDriver;
}

namespace corvanta {

class CPaneTabCtrl;
class CMessageBoxSink;

class CArchiveMainDlg : public ui::CTemplateDialog, public CMainDialogFramework {
public:
    static constexpr int kTemplateId = 201;
    // Control ids are unique within the dialog; a new control takes the next id above
    // the highest one here (DialogTemplate.h says which ids are taken by every dialog).
    static constexpr int kIdLeftTab = 1000;
    static constexpr int kIdRightTab = 1001;
    static constexpr int kIdToolbar = 45466;
    // Command ids come from 32768 up and are unique across the main dialog and
    // the panes' menus (CArchiveTreeBase.h): a new command takes the next id
    // above the highest of all of them (32775).
    static constexpr int kCmdRefresh = 32772;
    static constexpr int kCmdLogin = 32768;

    // `startSeconds` draws the instance number; 0 takes the current time,
    // as a control does. Start-up runs when the dialog is first shown.
    explicit CArchiveMainDlg(QWidget* parent = nullptr, long long startSeconds = 0);
    ~CArchiveMainDlg() override;

    // The toolbar's commands.
    void Login();
    void Refresh();
    // Logs in at the control's recorder without the login dialog, for a host
    // that started the recorder itself; a failure is told as the dialog's is.
    bool LoginWith(const std::string& userName, const std::string& password);

    int LoggedIn() const { return m_loggedIn; }
    const std::string& UserName() const { return m_userName; }
    const std::string& ServerUrl() const { return m_serverUrl; }

    QToolBar* Toolbar() const { return m_toolbar; }
    QAction* Command(int id) const;
    CPaneTabCtrl* LeftTab() const { return m_leftTab; }
    CPaneTabCtrl* RightTab() const { return m_rightTab; }
    // Null until the first login.
    CArchiveTreeDlg* FullPane() const { return m_full; }
    CTimeTreeDlg* ByTimePane() const { return m_byTime; }
    CArchiveViewDlg* ViewPane() const { return m_view; }

protected:
    bool OnInitDialog() override;
    void OnOK() override {}
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void DestroyPanes() override;

private:
    void MakeToolbar();
    void MakePanes();
    void AddPages();
    void Layout();
    void EndSession();
    void SayLoginFailed(LoginFailure failure, const std::string& url);
    void LoggedIn(bool replacedSession);

    // The members of the window, in the order the dialog declares them.
    CPaneTabCtrl* m_rightTab;
    CPaneTabCtrl* m_leftTab;
    std::string m_password;
    std::string m_userName;
    std::string m_serverUrl;
    int m_loggedIn = 0;
    QPointer<CTimeTreeDlg> m_byTime;
    QToolBar* m_toolbar = nullptr;
    QPointer<CArchiveViewDlg> m_view;
    QPointer<CArchiveTreeDlg> m_full;

    long long m_startSeconds;
    std::unique_ptr<platform::QtQueueDriver> m_queueDriver;
    std::unique_ptr<CMessageBoxSink> m_messageBoxes;
};

}  // namespace corvanta
