#include "control/CShortcutsDlg.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "control/KeyboardShortcuts.h"

namespace corvanta::control {

CShortcutsDlg::CShortcutsDlg(QWidget* parent) : QDialog(parent), m_table(new QTableWidget(this)) {
    setWindowTitle(QStringLiteral("Keyboard Shortcuts"));
    const auto shortcuts = KeyboardShortcuts();
    m_table->setColumnCount(3);
    m_table->setRowCount(int(shortcuts.size()));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Where"), QStringLiteral("Key or mouse"), QStringLiteral("Does")});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setWordWrap(true);
    for (int row = 0; row < int(shortcuts.size()); ++row) {
        const ShortcutEntry& entry = shortcuts[size_t(row)];
        // Keys read as the user's keyboard labels them; gestures as written.
        const QString input = entry.isKey
                                  ? QKeySequence::fromString(QString::fromUtf8(entry.input), QKeySequence::PortableText)
                                        .toString(QKeySequence::NativeText)
                                  : QString::fromUtf8(entry.input);
        int column = 0;
        for (const QString& text : {QString::fromUtf8(entry.place), input, QString::fromUtf8(entry.action)})
            m_table->setItem(row, column++, new QTableWidgetItem(text));
    }
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("The player's keys work once its picture has been clicked."), this));
    layout->addWidget(m_table);
    layout->addWidget(buttons);
    resize(760, 560);
}

}  // namespace corvanta::control
