#include "services/ui/CQtMessageBoxSink.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

namespace corvanta::ui {

CQtMessageBoxSink::CQtMessageBoxSink(QString caption) : m_caption(std::move(caption)) {}

void CQtMessageBoxSink::Show(const std::string& text) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    const QString message = QString::fromStdString(text);
    const QString caption = m_caption;
    auto show = [caption, message] {
        QMessageBox::warning(QApplication::activeWindow(), caption, message);
    };
    if (QThread::currentThread() == app->thread())
        show();
    else
        QMetaObject::invokeMethod(app, show, Qt::QueuedConnection);
}

}  // namespace corvanta::ui
