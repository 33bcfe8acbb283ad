#pragma once
// The left-hand "By time" pane: the files one source recorded between two
// times. For now an empty pane of its own class with the entry points the
// main dialog calls, counted as in CArchiveTreeDlg.

#include "archive/ui/PaneRequests.h"
#include "platform/WindowTypes.h"
#include "services/ui/CTemplateDialog.h"

namespace corvanta {

class CTimeTreeDlg : public ui::CTemplateDialog {
public:
    static constexpr int kTemplateId = 152;

    explicit CTimeTreeDlg(QWidget* parent = nullptr);
    ~CTimeTreeDlg() override;

    void SetOwner(platform::Hwnd owner) { m_owner = owner; }
    platform::Hwnd Owner() const { return m_owner; }

    void Refresh() { ++m_requests.refreshes; }
    void Clear() { ++m_requests.clears; }
    void Search() { ++m_requests.searches; }

    const PaneRequests& Requests() const { return m_requests; }

private:
    platform::Hwnd m_owner = 0;
    PaneRequests m_requests;
};

}  // namespace corvanta
