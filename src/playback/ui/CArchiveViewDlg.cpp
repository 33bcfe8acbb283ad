#include "playback/ui/CArchiveViewDlg.h"

#include "services/ui/PaneDialog.h"

namespace corvanta {

namespace {

const ui::DialogTemplate kViewTemplate{CArchiveViewDlg::kTemplateId, "", 300, 200, "MS Sans Serif", 8, {}};

}  // namespace

CArchiveViewDlg::CArchiveViewDlg(QWidget* parent) : CTemplateDialog(kViewTemplate, parent) {
    ui::MakeChildPane(this);
}

CArchiveViewDlg::~CArchiveViewDlg() = default;

}  // namespace corvanta
