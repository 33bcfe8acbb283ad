#include "services/ui/CQtMessageBoxSink.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

namespace corvanta::ui {

CQtMessageBoxSink::CQtMessageBoxSink(QWidget* owner, QString caption)
    : m_owner(owner), m_owned(owner != nullptr), m_caption(std::move(caption)) {}

void CQtMessageBoxSink::Show(const std::string& text) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    const QString message = QString::fromStdString(text);
    const QString caption = m_caption;
    // Copies only: the sink may be gone by the time a queued box shows.
    auto show = [owner = m_owner, owned = m_owned, caption, message] {
        if (owned && !owner) return;
        QMessageBox::warning(owned ? owner.data() : QApplication::activeWindow(), caption, message);
    };
    if (QThread::currentThread() == app->thread())
        show();
    else
        QMetaObject::invokeMethod(app, show, Qt::QueuedConnection);
}

}  // namespace corvanta::ui
