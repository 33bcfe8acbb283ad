#include "control/CCorvantaArchiveCtrl.h"

#include <QDialog>
#include <QPointer>
#include <QResizeEvent>
#include <cstdio>

#include "control/BaseUrl.h"
#include "control/CAboutDlg.h"
#include "control/CCorvantaArchivePropPage.h"
#include "control/CShortcutsDlg.h"
#include "framework/InstanceNames.h"
#include "maindlg/ui/CArchiveMainDlg.h"
#include "playback/ui/CExportProgressDlg.h"
#include "remote/ConnectionState.h"
#include "remote/RemoteSession.h"

namespace corvanta {

namespace {

// Ends every dialog window open under `root` (login, about box, property
// page, a pane's save dialog, a message box); true when there was one.
bool EndOpenDialogs(QWidget* root) {
    bool any = false;
    for (QDialog* dialog : root->findChildren<QDialog*>()) {
        if (!dialog->isWindow() || !dialog->isVisible()) continue;
        dialog->reject();
        any = true;
    }
    return any;
}

// Runs a dialog of the control modally. The host may destroy the control
// while it is open, which deletes the dialog with it; exec() then returns.
template <typename Dialog>
void RunModal(QWidget* parent) {
    QPointer<Dialog> dialog = new Dialog(parent);
    dialog->exec();
    delete dialog.data();
}

}  // namespace

CCorvantaArchiveCtrl::CCorvantaArchiveCtrl(QWidget* parent, long long startSeconds)
    : QWidget(parent), m_startSeconds(startSeconds) {
    setObjectName("CorvantaArchiveCtrl");
    // Requests fail on the proxies' threads; polling a counter keeps the
    // signal on this thread and needs nothing of them.
    m_connectionChanges = RecorderConnection().Changes();
    connect(&m_connectionPoll, &QTimer::timeout, this, [this] { PollConnection(); });
    m_connectionPoll.start(kConnectionPollMs);
}

CCorvantaArchiveCtrl::~CCorvantaArchiveCtrl() {
    if (EndOpenDialogs(this) && m_dialog) {
        // Whoever opened the dialog is still inside its exec() and resumes,
        // on its own pane, once the dialog's loop has ended. The main dialog
        // goes, with its usual shutdown, when control is back in the event
        // loop; until then it waits hidden and parentless.
        CArchiveMainDlg* dialog = m_dialog.release();
        dialog->hide();
        dialog->setParent(nullptr);
        dialog->deleteLater();
    }
    // The dialog's destruction shuts the framework down; it goes before the
    // widget base so it still has a live parent to leave.
    m_dialog.reset();
}

QString CCorvantaArchiveCtrl::ServerURL() const { return QString::fromUtf8(m_props.serverUrl.c_str()); }

void CCorvantaArchiveCtrl::SetServerURL(const QString& url) {
    m_props.serverUrl = url.toStdString();
    m_modified = true;
    RebuildBaseUrl();
}

void CCorvantaArchiveCtrl::SetServerPort(int port) {
    m_props.serverPort = port;
    m_modified = true;
    RebuildBaseUrl();
}

void CCorvantaArchiveCtrl::RebuildBaseUrl() {
    SetFilterServerURL(control::MakeBaseUrl(m_props.serverUrl, m_props.serverPort));
}

QByteArray CCorvantaArchiveCtrl::SaveProperties() {
    m_modified = false;
    return QByteArray::fromStdString(control::FormatPropertyBag(m_props));
}

bool CCorvantaArchiveCtrl::LoadProperties(const QByteArray& bag) {
    std::string why;
    const bool ok = control::ParsePropertyBag(bag.toStdString(), m_props, &why) == control::BagStatus::Ok;
    if (!ok) std::fprintf(stderr, "corvanta-archive: stored control properties ignored (%s); defaults used\n", why.c_str());
    m_modified = false;
    RebuildBaseUrl();
    return ok;
}

void CCorvantaArchiveCtrl::AboutBox() { RunModal<control::CAboutDlg>(this); }

void CCorvantaArchiveCtrl::ShortcutsBox() { RunModal<control::CShortcutsDlg>(this); }

void CCorvantaArchiveCtrl::ShowPropertyPage() { RunModal<control::CCorvantaArchivePropPage>(this); }

bool CCorvantaArchiveCtrl::CanClose() { return CExportProgressDlg::AskToCancelAll(this); }

bool CCorvantaArchiveCtrl::LogIn(const QString& userName, const QString& password) {
    return m_dialog && m_dialog->LoginWith(userName.toStdString(), password.toStdString());
}

QString CCorvantaArchiveCtrl::ConnectionState() const {
    return QString::fromStdString(RecorderConnection().Text());
}

void CCorvantaArchiveCtrl::PollConnection() {
    const uint64_t changes = RecorderConnection().Changes();
    if (changes == m_connectionChanges) return;
    m_connectionChanges = changes;
    emit ConnectionStateChanged(ConnectionState());
}

int CCorvantaArchiveCtrl::InstanceNumber() const {
    return m_dialog ? InstanceNames::InstanceNumber() : 0;
}

void CCorvantaArchiveCtrl::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_dialog) CreateWindow();
}

void CCorvantaArchiveCtrl::CreateWindow() {
    RebuildBaseUrl();
    m_dialog = std::make_unique<CArchiveMainDlg>(this, m_startSeconds);
    m_dialog->setGeometry(0, 0, width(), height());
    m_dialog->show();
}

void CCorvantaArchiveCtrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_dialog) m_dialog->setGeometry(0, 0, event->size().width(), event->size().height());
}

}  // namespace corvanta
