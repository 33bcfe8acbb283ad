#include "maindlg/ui/CArchiveMainDlg.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QToolBar>
#include <ctime>

#include "archive/ui/CArchiveTreeDlg.h"
#include "archive/ui/CTimeTreeDlg.h"
#include "framework/EventReport.h"
#include "framework/MessageBoxSink.h"
#include "maindlg/MainLayout.h"
#include "maindlg/ui/CPaneTabCtrl.h"
#include "maindlg/ui/ToolbarImages.h"
#include "platform/qt/QtQueueDriver.h"
#include "playback/ui/CArchiveViewDlg.h"
#include "playback/ui/CExportProgressDlg.h"
#include "remote/ConnectionState.h"
#include "remote/RemoteSession.h"
#include "services/Translation.h"
#include "services/UserAccess.h"
#include "services/ui/CLoginDlg.h"
#include "services/ui/CQtMessageBoxSink.h"
#include "services/ui/ControlIdentity.h"
#include "services/ui/PaneDialog.h"

namespace corvanta {

namespace {

const ui::DialogTemplate kMainTemplate{CArchiveMainDlg::kTemplateId, "", 500, 300, "MS Sans Serif", 8, {}};

constexpr char kToolbarSection[] = "ToolBar ArchiveOCX Main Dialog";
constexpr char kLeftTabSection[] = "ArchiveViewer LeftTab";
constexpr char kRightTabSection[] = "ArchiveViewer RightTab";

QString Translated(const char* text, const char* section) {
    return QString::fromUtf8(TranslateText(text, section).c_str());
}

// The buttons' labels are one translation key: every label in button order,
// each followed by "|", translated whole ("ToolBar ArchiveOCX Main
// Dialog-Refresh|Login|" in data/language_basic.txt) and split again. A new
// button adds its label to the text here and so makes a new key: every
// dictionary needs the new line, or all the buttons show their built-in
// English labels. Labels a translation leaves out stay empty.
QStringList ToolbarStrings() {
    QStringList strings = Translated("Refresh|Login|", kToolbarSection).split('|');
    while (strings.size() < 2) strings.append(QString());
    return strings;
}

QIcon ToolbarIcon(int plain, int hot) {
    QIcon icon;
    for (const qreal ratio : kToolbarImageRatios) {
        icon.addPixmap(ToolbarBitmap(plain, ratio));
        icon.addPixmap(ToolbarBitmap(hot, ratio), QIcon::Active);
    }
    return icon;
}

}  // namespace

CArchiveMainDlg::CArchiveMainDlg(QWidget* parent, long long startSeconds)
    : CTemplateDialog(kMainTemplate, parent),
      m_rightTab(new CPaneTabCtrl(this)),
      m_leftTab(new CPaneTabCtrl(this)),
      m_startSeconds(startSeconds) {
    ui::MakeChildPane(this);
    ui::SetControlIdentity(m_rightTab, kIdRightTab, "SysTabControl32");
    ui::SetControlIdentity(m_leftTab, kIdLeftTab, "SysTabControl32");
    m_leftTab->setGeometry(0, 0, kLeftTabWidth, height());
    m_rightTab->setGeometry(kLeftTabWidth + kTabGap, 0, width() - kLeftTabWidth - kTabGap, height());
}

CArchiveMainDlg::~CArchiveMainDlg() {
    if (m_queueDriver) ReportEventNote(kEventCodeViewerClosed, this, FilterServerURL().c_str(), "closed");
    // From here, while the panes are still whole; the base's destructor
    // could no longer reach them.
    ShutDown();
    if (m_loggedIn) RecorderConnection().LoggedOff();
    if (m_messageBoxes) RemoveMessageBoxSink(m_messageBoxes.get());
}

bool CArchiveMainDlg::OnInitDialog() {
    // The dialog's own filter queue lives on this thread: Qt's loop runs it.
    m_queueDriver = std::make_unique<platform::QtQueueDriver>();
    // This control's own sink: its boxes go under its window.
    m_messageBoxes = std::make_unique<ui::CQtMessageBoxSink>(this);
    InstallMessageBoxSink(m_messageBoxes.get());
    StartUp(m_startSeconds ? m_startSeconds : static_cast<long long>(std::time(nullptr)));
    ReportEventNote(kEventCodeViewerOpened, this, FilterServerURL().c_str(), "opened");
    MakeToolbar();
    m_rightTab->SetEmptyText(Translated("Click Login to connect to a recorder.", kRightTabSection));
    Layout();
    return CTemplateDialog::OnInitDialog();
}

void CArchiveMainDlg::MakeToolbar() {
    m_toolbar = new QToolBar(this);
    ui::SetControlIdentity(m_toolbar, kIdToolbar, "ToolbarWindow32");
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setIconSize(QSize(kToolbarImageSize, kToolbarImageSize));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    const QStringList strings = ToolbarStrings();
    QAction* refresh = m_toolbar->addAction(ToolbarIcon(kBitmapRefresh, kBitmapRefreshHot), strings[0]);
    refresh->setData(kCmdRefresh);
    refresh->setShortcut(QKeySequence(Qt::Key_F5));
    connect(refresh, &QAction::triggered, this, [this] { Refresh(); });
    QAction* login = m_toolbar->addAction(ToolbarIcon(kBitmapLogin, kBitmapLoginHot), strings[1]);
    login->setData(kCmdLogin);
    connect(login, &QAction::triggered, this, [this] { Login(); });
    m_toolbar->resize(m_toolbar->sizeHint());
    refresh->setEnabled(false);
    m_toolbar->show();
}

QAction* CArchiveMainDlg::Command(int id) const {
    if (!m_toolbar) return nullptr;
    for (QAction* action : m_toolbar->actions())
        if (action->data().toInt() == id) return action;
    return nullptr;
}

void CArchiveMainDlg::Layout() {
    if (!m_toolbar) return;
    const int toolbarHeight = m_toolbar->sizeHint().height();
    m_toolbar->setGeometry(0, 0, width(), toolbarHeight);
    const MainLayout layout = ComputeMainLayout(width(), height(), toolbarHeight, m_leftTab->contentsRect().width());
    m_leftTab->setGeometry(layout.left.x, layout.left.y, layout.left.width, layout.left.height);
    m_rightTab->setGeometry(layout.right.x, layout.right.y, layout.right.width, layout.right.height);
    m_leftTab->update();
    m_rightTab->update();
}

void CArchiveMainDlg::resizeEvent(QResizeEvent* event) {
    CTemplateDialog::resizeEvent(event);
    Layout();
}

void CArchiveMainDlg::keyPressEvent(QKeyEvent* event) {
    // Enter and Escape would end a dialog; this one lives as long as its control.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    CTemplateDialog::keyPressEvent(event);
}

void CArchiveMainDlg::Login() {
    // The dialog goes with this window when the control is destroyed while
    // it is open; exec() then returns and nothing here is touched again.
    QPointer<ui::CLoginDlg> open = new ui::CLoginDlg(&Settings(), FilterServerURL(), this);
    const bool ok = open->exec() == ui::kIdOk;
    if (!open) return;
    const std::unique_ptr<ui::CLoginDlg> owned(open.data());
    const ui::CLoginDlg& dialog = *owned;
    if (ok && dialog.LoggedIn()) {
        m_userName = dialog.UserName();
        m_password = dialog.Password();
        m_serverUrl = dialog.ServerUrl();
        LoggedIn(dialog.LoggedOff());
    } else if (ok && dialog.LoggedOff()) {
        // An export reads with the session being ended: it stops, after asking.
        if (!CExportProgressDlg::AskToCancelAll(this)) return;
        ReportEventNote(kEventCodeLogOff, this, FilterServerURL().c_str(), "logged off");
        EndSession();
    } else if (ok) {
        SayLoginFailed(dialog.Failure(), dialog.ServerUrl());
    }
}

bool CArchiveMainDlg::LoginWith(const std::string& userName, const std::string& password) {
    const std::string url = FilterServerURL();
    const LoginOutcome outcome = LogIn(userName, password);
    if (!outcome.loggedIn) {
        SayLoginFailed(outcome.failure, url);
        return false;
    }
    m_userName = userName;
    m_password = password;
    m_serverUrl = url;
    LoggedIn(outcome.loggedOff);
    return true;
}

void CArchiveMainDlg::LoggedIn(bool replacedSession) {
    if (!m_full) {
        MakePanes();
    } else if (!replacedSession) {
        AddPages();
        m_full->Refresh();
        m_byTime->Clear();
    }
    Layout();
    m_loggedIn = 1;
    RecorderConnection().LoggedIn(m_serverUrl, m_userName);
    Command(kCmdRefresh)->setEnabled(true);
    ReportEventNote(kEventCodeLogin, this, (m_userName + " at " + m_serverUrl).c_str(), "logged in");
}

void CArchiveMainDlg::SayLoginFailed(LoginFailure failure, const std::string& url) {
    switch (failure) {
        case LoginFailure::Refused:
            ReportEventNote(kEventCodeLoginRefused, this, url.c_str(), "login refused");
            ShowMessageBox("The recorder at " + url + " refused the login. Check the user name and the password.");
            break;
        case LoginFailure::NotARecorder:
            ReportEventNote(kEventCodeNoRecorder, this, url.c_str(), "not a recorder");
            ShowMessageBox("The server at " + url +
                           " did not answer as a recorder. Check the server URL: a recorder answers at "
                           "http://address:port.");
            break;
        default:
            ReportEventNote(kEventCodeNoRecorder, this, url.c_str(), "no recorder");
            ShowMessageBox("No recorder answered at " + url + ". Check the server URL and that the recorder is running.");
            break;
    }
}

void CArchiveMainDlg::MakePanes() {
    m_view = new CArchiveViewDlg(m_rightTab);
    m_rightTab->AddPage(m_view, Translated("View", kRightTabSection));
    m_full = new CArchiveTreeDlg(m_leftTab);
    m_byTime = new CTimeTreeDlg(m_leftTab);
    m_full->SetOwner(m_view->Window());
    m_byTime->SetOwner(m_view->Window());
    m_leftTab->AddPage(m_full, Translated("Full", kLeftTabSection));
    m_leftTab->AddPage(m_byTime, Translated("By time", kLeftTabSection));
    m_full->show();
}

void CArchiveMainDlg::AddPages() {
    m_leftTab->AddPage(m_full, Translated("Full", kLeftTabSection));
    m_leftTab->AddPage(m_byTime, Translated("By time", kLeftTabSection));
    m_rightTab->AddPage(m_view, Translated("View", kRightTabSection));
}

void CArchiveMainDlg::EndSession() {
    m_leftTab->RemoveAll();
    m_rightTab->RemoveAll();
    LogOff();
    RecorderConnection().LoggedOff();
    for (QWidget* pane : {static_cast<QWidget*>(m_full), static_cast<QWidget*>(m_byTime),
                          static_cast<QWidget*>(m_view)})
        if (pane) pane->hide();
    Command(kCmdRefresh)->setEnabled(false);
}

void CArchiveMainDlg::Refresh() {
    if (!m_full) return;
    switch (m_leftTab->Selected()) {
        case 0: m_full->Refresh(); break;
        case 1: m_byTime->Search(); break;
        default: break;
    }
}

void CArchiveMainDlg::DestroyPanes() {
    delete m_full.data();
    delete m_byTime.data();
    delete m_view.data();
}

}  // namespace corvanta
