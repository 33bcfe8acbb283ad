#pragma once
// A tab control that owns a list of pages: a row of tabs over a display
// area in which the selected tab's page is shown. The pages are children of
// the tab control, created by its owner; AddPage only files them.

#include <QString>
#include <QWidget>

#include "maindlg/PaneTabModel.h"

class QTabBar;

namespace corvanta {

class CPaneTabCtrl : public QWidget {
public:
    explicit CPaneTabCtrl(QWidget* parent = nullptr);
    ~CPaneTabCtrl() override;

    // Files `page` under a new tab at the end, moves it into the display
    // area, selects tab 0 and shows what is selected. A page already filed
    // keeps its one tab.
    void AddPage(QWidget* page, const QString& title);
    // Shows the selected tab's page and hides the one shown before.
    void ShowSelected();
    // No tabs, no selection, no pages filed (the pages themselves stay).
    void RemoveAll();

    int Count() const;
    int Selected() const;
    QString Title(int tab) const;
    void Select(int tab);
    QTabBar* Tabs() const { return m_tabs; }
    // A hint drawn in the display area while there are no tabs.
    void SetEmptyText(const QString& text);
    const QString& EmptyText() const { return m_emptyText; }
    // The area below the tabs where pages go.
    QRect DisplayRect() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QTabBar* m_tabs;
    PaneTabModel m_model;
    QString m_emptyText;
};

}  // namespace corvanta
