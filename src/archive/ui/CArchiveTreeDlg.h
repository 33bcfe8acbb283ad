#pragma once
// The left-hand "Full" pane: the recorder's archive as a tree of sources,
// months, days and recorded files, each level asked for when the user
// opens its parent. Selecting a file plays it, a source its live buffer,
// a day its motion history.

#include "archive/ui/CArchiveTreeBase.h"

namespace corvanta {

class CArchiveTreeDlg : public CArchiveTreeBase {
public:
    static constexpr int kTemplateId = 129;

    explicit CArchiveTreeDlg(QWidget* parent = nullptr);
    ~CArchiveTreeDlg() override;

    // Stops what plays, forgets the whole tree and asks for the sources again.
    void Refresh();

protected:
    bool OnInitDialog() override;
    void OnExpand(QTreeWidgetItem* item) override;

private:
    void LoadSources();
    void LoadMonths(QTreeWidgetItem* item, ArchiveNode& source);
    void LoadDays(QTreeWidgetItem* item, ArchiveNode& month);
    void ShowSessions(QTreeWidgetItem* item, ArchiveNode& day);
};

}  // namespace corvanta
