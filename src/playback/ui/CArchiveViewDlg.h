#pragma once
#include "platform/WindowTypes.h"
#include "services/ui/CMessageWindowHandle.h"
#include "services/ui/CTemplateDialog.h"

namespace corvanta {

class CMotionHistoryDlg;
class CPlayerDlg;

// The right-hand view of the main dialog: the standalone player ("AVIPlayback
// Single", driven by the archive trees) and the motion history view, one of
// them shown at a time as "ArchiveViewer ShowPlayer" says (wParam 0 player,
// 1 motion history; lParam 1 show, 0 hide). Both fill the view.
//
// A child widget of its owner's tab page. It registers both filters when it
// is made and shuts them down when destroyed, which must happen while the
// playback manager and the queue manager are still up.
class CArchiveViewDlg : public ui::CTemplateDialog {
public:
    static constexpr int kTemplateId = 158;

    explicit CArchiveViewDlg(QWidget* parent = nullptr);
    ~CArchiveViewDlg() override;

    // The window that receives "ArchiveViewer ShowPlayer"; the archive
    // trees are given it, and the players report to it.
    platform::Hwnd Window() const { return m_window.Handle(); }

    CPlayerDlg* Player() const { return m_player; }
    CMotionHistoryDlg* MotionHistory() const { return m_history; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    void ShowChild(platform::WParam which, platform::LParam show);

    ui::CMessageWindowHandle m_window;
    uint32_t m_showPlayer = 0;
    CPlayerDlg* m_player = nullptr;
    CMotionHistoryDlg* m_history = nullptr;
};

}  // namespace corvanta
