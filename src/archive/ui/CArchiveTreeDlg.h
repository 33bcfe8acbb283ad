#pragma once
// The left-hand "Full" pane: sources, months, days and recorded files. For
// now an empty pane of its own class with the entry points the main dialog
// calls; what it was asked to do is counted so the dialog's commands can be
// checked before the tree itself exists.

#include "archive/ui/PaneRequests.h"
#include "platform/WindowTypes.h"
#include "services/ui/CTemplateDialog.h"

namespace corvanta {

class CArchiveTreeDlg : public ui::CTemplateDialog {
public:
    static constexpr int kTemplateId = 129;

    explicit CArchiveTreeDlg(QWidget* parent = nullptr);
    ~CArchiveTreeDlg() override;

    // The window that is told which player to show; set before the pane is shown.
    void SetOwner(platform::Hwnd owner) { m_owner = owner; }
    platform::Hwnd Owner() const { return m_owner; }

    void Refresh() { ++m_requests.refreshes; }
    void Clear() { ++m_requests.clears; }

    const PaneRequests& Requests() const { return m_requests; }

private:
    platform::Hwnd m_owner = 0;
    PaneRequests m_requests;
};

}  // namespace corvanta
