#pragma once
// A template dialog living as a child pane rather than a window of its own:
// no frame, any size its parent gives it.

#include <QWidget>

namespace corvanta::ui {

inline void MakeChildPane(QWidget* dialog) {
    dialog->setWindowFlags(Qt::Widget);
    dialog->setMinimumSize(0, 0);
    dialog->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

}  // namespace corvanta::ui
