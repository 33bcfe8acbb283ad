#include "archive/ui/CTimeTreeDlg.h"

#include "services/ui/PaneDialog.h"

namespace corvanta {

namespace {
const ui::DialogTemplate kTimeTreeTemplate{CTimeTreeDlg::kTemplateId, "", 140, 250, "MS Sans Serif", 8, {}};
}  // namespace

CTimeTreeDlg::CTimeTreeDlg(QWidget* parent) : CTemplateDialog(kTimeTreeTemplate, parent) {
    ui::MakeChildPane(this);
}

CTimeTreeDlg::~CTimeTreeDlg() = default;

}  // namespace corvanta
