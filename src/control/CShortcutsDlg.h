#pragma once
// Help's "Keyboard shortcuts": the keys and mouse gestures of the panes, as
// KeyboardShortcuts() lists them, in a table to read.

#include <QDialog>

class QTableWidget;

namespace corvanta::control {

class CShortcutsDlg : public QDialog {
public:
    explicit CShortcutsDlg(QWidget* parent = nullptr);

    QTableWidget* Table() const { return m_table; }

private:
    QTableWidget* m_table;
};

}  // namespace corvanta::control
