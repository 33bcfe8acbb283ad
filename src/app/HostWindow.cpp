#include "app/HostWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>

namespace corvanta::app {

HostWindow::HostWindow(const ControlModule& module, const std::optional<std::string>& serverUrl,
                       const std::optional<int>& serverPort, bool keepProperties)
    : m_module(module), m_keepProperties(keepProperties) {
    setWindowTitle("Corvanta Archive");
    setWindowIcon(QIcon::fromTheme("corvanta-archive"));
    m_control = static_cast<QWidget*>(m_module.create(this));
    setCentralWidget(m_control);
    RestoreState();
    if (serverUrl) m_control->setProperty("ServerURL", QString::fromStdString(*serverUrl));
    if (serverPort) m_control->setProperty("ServerPort", *serverPort);
    MakeMenus();
    MakeStatusLine();
}

HostWindow::~HostWindow() {
    // The control shuts its framework down while the window still stands.
    if (m_control) m_module.destroy(m_control);
}

void HostWindow::MakeMenus() {
    QMenu* file = menuBar()->addMenu("&File");
    file->addAction("&Quit", QKeySequence::Quit, this, [this] { close(); });
    QMenu* help = menuBar()->addMenu("&Help");
    help->addAction("&Keyboard Shortcuts", this,
                    [this] { QMetaObject::invokeMethod(m_control, "ShortcutsBox"); });
    help->addAction("&About Corvanta Archive", this,
                    [this] { QMetaObject::invokeMethod(m_control, "AboutBox"); });
}

void HostWindow::MakeStatusLine() {
    m_status = new QLabel(statusBar());
    m_status->setObjectName("ConnectionState");
    statusBar()->addWidget(m_status, 1);
    // The control comes from a module: its signal is found by name.
    m_status->setText(m_control->property("ConnectionState").toString());
    connect(m_control, SIGNAL(ConnectionStateChanged(QString)), m_status, SLOT(setText(QString)));
}

QString HostWindow::PropertyBagFile() const {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/corvanta/host-control.properties";
}

void HostWindow::RestoreState() {
    QSettings settings(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                           "/corvanta/corvanta-archive.conf",
                       QSettings::IniFormat);
    if (!restoreGeometry(settings.value("window/geometry").toByteArray())) resize(1024, 700);
    QFile bag(PropertyBagFile());
    if (m_keepProperties && bag.open(QIODevice::ReadOnly)) {
        bool loaded = false;
        QMetaObject::invokeMethod(m_control, "LoadProperties", Q_RETURN_ARG(bool, loaded),
                                  Q_ARG(QByteArray, bag.readAll()));
    }
}

void HostWindow::SaveState() {
    QSettings settings(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                           "/corvanta/corvanta-archive.conf",
                       QSettings::IniFormat);
    settings.setValue("window/geometry", saveGeometry());
    if (!m_keepProperties) return;
    QByteArray data;
    QMetaObject::invokeMethod(m_control, "SaveProperties", Q_RETURN_ARG(QByteArray, data));
    QDir().mkpath(QFileInfo(PropertyBagFile()).path());
    QSaveFile bag(PropertyBagFile());
    if (bag.open(QIODevice::WriteOnly) && bag.write(data) == data.size()) bag.commit();
}

void HostWindow::closeEvent(QCloseEvent* event) {
    bool canClose = true;
    if (m_control) QMetaObject::invokeMethod(m_control, "CanClose", Q_RETURN_ARG(bool, canClose));
    if (!canClose) {
        event->ignore();
        return;
    }
    SaveState();
    event->accept();
}

}  // namespace corvanta::app
