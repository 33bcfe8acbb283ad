#include "archive/ui/CArchiveTreeDlg.h"

#include "services/ui/PaneDialog.h"

namespace corvanta {

namespace {
const ui::DialogTemplate kTreeTemplate{CArchiveTreeDlg::kTemplateId, "", 140, 250, "MS Sans Serif", 8, {}};
}  // namespace

CArchiveTreeDlg::CArchiveTreeDlg(QWidget* parent) : CTemplateDialog(kTreeTemplate, parent) {
    ui::MakeChildPane(this);
}

CArchiveTreeDlg::~CArchiveTreeDlg() = default;

}  // namespace corvanta
