#pragma once
// The control a host places in its window. It carries the two properties
// ServerURL and ServerPort, turns them into the recorder's base URL, and
// hosts the main dialog, which fills it and does all the work. The dialog is
// made when the control's window is, the first time it is shown. The
// control tells its host how the connection to the recorder stands.

#include <QByteArray>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "control/PropertyBag.h"

namespace corvanta {

class CArchiveMainDlg;

class CCorvantaArchiveCtrl : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString ServerURL READ ServerURL WRITE SetServerURL)
    Q_PROPERTY(int ServerPort READ ServerPort WRITE SetServerPort)
    Q_PROPERTY(QString ConnectionState READ ConnectionState NOTIFY ConnectionStateChanged)

public:
    // `startSeconds` as for CArchiveMainDlg: 0 takes the current time.
    explicit CCorvantaArchiveCtrl(QWidget* parent = nullptr, long long startSeconds = 0);
    ~CCorvantaArchiveCtrl() override;

    QString ServerURL() const;
    void SetServerURL(const QString& url);
    int ServerPort() const { return m_props.serverPort; }
    void SetServerPort(int port);

    // Whether a property changed since the last save or load.
    bool IsModified() const { return m_modified; }

    // The property bag a host keeps between runs, and back. Data of another
    // version, or damaged data, leaves the defaults and returns false.
    Q_INVOKABLE QByteArray SaveProperties();
    Q_INVOKABLE bool LoadProperties(const QByteArray& bag);
    Q_INVOKABLE void AboutBox();
    // Every key and mouse gesture of the player and the trees.
    Q_INVOKABLE void ShortcutsBox();
    Q_INVOKABLE void ShowPropertyPage();
    // Logs in at the control's recorder without asking, for a host that
    // started the recorder itself; false until the control's window exists.
    Q_INVOKABLE bool LogIn(const QString& userName, const QString& password);
    // The instance other processes reach this control's filters by (the
    // event log tool, for one); 0 until the control's window exists.
    Q_INVOKABLE int InstanceNumber() const;
    // Whether the host may close the control now: while an export runs the
    // user is asked whether to cancel it.
    Q_INVOKABLE bool CanClose();

    // Null until the control's window exists.
    CArchiveMainDlg* MainDialog() const { return m_dialog.get(); }

    // "Connected to <URL> as <user>", "Not logged in", or "The recorder at
    // <URL> is not answering — retrying" (remote/ConnectionState.h).
    QString ConnectionState() const;

    // How often the control looks whether the connection's state changed.
    static constexpr int kConnectionPollMs = 250;

signals:
    // The connection's state changed; `text` is the new ConnectionState().
    void ConnectionStateChanged(const QString& text);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateWindow();
    void RebuildBaseUrl();
    void PollConnection();

    control::ControlProperties m_props;
    bool m_modified = false;
    long long m_startSeconds;
    std::unique_ptr<CArchiveMainDlg> m_dialog;
    QTimer m_connectionPoll;
    uint64_t m_connectionChanges = 0;
};

}  // namespace corvanta
