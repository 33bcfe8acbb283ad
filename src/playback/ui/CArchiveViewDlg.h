#pragma once
// The right-hand "View" pane of the main dialog. For now an empty pane of
// its own class; it will hold the standalone player and the motion history
// view and show one of them on "ArchiveViewer ShowPlayer".

#include "platform/WindowTypes.h"
#include "services/ui/CTemplateDialog.h"

namespace corvanta {

class CArchiveViewDlg : public ui::CTemplateDialog {
public:
    static constexpr int kTemplateId = 158;

    explicit CArchiveViewDlg(QWidget* parent = nullptr);
    ~CArchiveViewDlg() override;

    // The window the archive trees tell what to show; 0 while there is none.
    platform::Hwnd Window() const { return 0; }
};

}  // namespace corvanta
