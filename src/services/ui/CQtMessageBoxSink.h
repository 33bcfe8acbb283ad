#pragma once
// Shows the framework's message boxes ("Out of range", "2", a dialog's
// validation message) as Qt message boxes. On the GUI thread the box is
// modal and Show returns once it is closed; a failure on another thread
// queues the box to the GUI thread and returns at once, so a filter's queue
// thread never waits for a person.
//
// A control's sink has the control's window as its owner: the boxes are
// made under it, so they end with it, and a queued box whose owner is gone
// is dropped.

#include <QPointer>
#include <QString>
#include <QWidget>

#include "framework/MessageBoxSink.h"

namespace corvanta::ui {

class CQtMessageBoxSink : public CMessageBoxSink {
public:
    // Without an owner the boxes go over the active window.
    explicit CQtMessageBoxSink(QWidget* owner = nullptr, QString caption = QStringLiteral("Corvanta Archive"));
    void Show(const std::string& text) override;

private:
    QPointer<QWidget> m_owner;
    bool m_owned;
    QString m_caption;
};

}  // namespace corvanta::ui
