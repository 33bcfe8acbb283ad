#pragma once
// Shows the framework's message boxes ("Out of range", "2", a dialog's
// validation message) as Qt message boxes. On the GUI thread the box is
// modal and Show returns once it is closed; a failure on another thread
// queues the box to the GUI thread and returns at once, so a filter's queue
// thread never waits for a person.

#include <QString>

#include "framework/MessageBoxSink.h"

namespace corvanta::ui {

class CQtMessageBoxSink : public CMessageBoxSink {
public:
    explicit CQtMessageBoxSink(QString caption = QStringLiteral("Corvanta Archive"));
    void Show(const std::string& text) override;

private:
    QString m_caption;
};

}  // namespace corvanta::ui
