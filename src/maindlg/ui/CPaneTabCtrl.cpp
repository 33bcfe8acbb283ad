#include "maindlg/ui/CPaneTabCtrl.h"

#include <QPainter>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>

#include "maindlg/MainLayout.h"

namespace corvanta {

CPaneTabCtrl::CPaneTabCtrl(QWidget* parent) : QWidget(parent), m_tabs(new QTabBar(this)) {
    m_tabs->setDrawBase(false);
    m_tabs->setExpanding(false);
    connect(m_tabs, &QTabBar::currentChanged, this, [this] { ShowSelected(); });
}

CPaneTabCtrl::~CPaneTabCtrl() = default;

QRect CPaneTabCtrl::DisplayRect() const {
    const int top = m_tabs->sizeHint().height();
    return QRect(2, top + 2, std::max(0, width() - 4), std::max(0, height() - top - 4));
}

void CPaneTabCtrl::AddPage(QWidget* page, const QString& title) {
    // Deliberately never a second tab for one page: a login after the
    // recorder forgot the old session files the panes again, and users
    // expect each of them once.
    if (m_model.Contains(page)) return;
    const uint32_t sequence = m_model.Add(page);
    // The tab exists before the item does in the model's eyes only for this
    // call; keep notifications from showing a page that is not filed yet.
    const QSignalBlocker quiet(m_tabs);
    m_tabs->addTab(title);
    m_tabs->resize(m_tabs->sizeHint().width(), m_tabs->sizeHint().height());
    page->setGeometry(DisplayRect());
    m_tabs->setCurrentIndex(0);
    ShowSelected();
    // A page made before its parent was shown would otherwise appear with it.
    if (m_model.Shown() != sequence) page->hide();
}

void CPaneTabCtrl::ShowSelected() {
    const PaneTabModel::Switch change = m_model.Select(m_tabs->currentIndex());
    if (auto* shown = static_cast<QWidget*>(change.show)) shown->show();
    if (auto* hidden = static_cast<QWidget*>(change.hide)) hidden->hide();
}

void CPaneTabCtrl::RemoveAll() {
    const QSignalBlocker quiet(m_tabs);
    while (m_tabs->count() > 0) m_tabs->removeTab(m_tabs->count() - 1);
    m_model.RemoveAll();
    update();
}

int CPaneTabCtrl::Count() const { return m_tabs->count(); }
int CPaneTabCtrl::Selected() const { return m_tabs->currentIndex(); }
QString CPaneTabCtrl::Title(int tab) const { return m_tabs->tabText(tab); }
void CPaneTabCtrl::Select(int tab) { m_tabs->setCurrentIndex(tab); }

void CPaneTabCtrl::SetEmptyText(const QString& text) {
    m_emptyText = text;
    update();
}

void CPaneTabCtrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_tabs->resize(std::min(width(), m_tabs->sizeHint().width()), m_tabs->sizeHint().height());
    const QRect area = DisplayRect().adjusted(0, kPageDrop, 0, 0);
    for (const PaneTabModel::Item& item : m_model.Items()) static_cast<QWidget*>(item.page)->setGeometry(area);
}

void CPaneTabCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    frame.rect = QRect(0, m_tabs->sizeHint().height(), width(), height() - m_tabs->sizeHint().height());
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &painter, this);
    if (Count() == 0 && !m_emptyText.isEmpty()) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(DisplayRect(), Qt::AlignCenter | Qt::TextWordWrap, m_emptyText);
    }
}

}  // namespace corvanta
