#include "control/CAboutDlg.h"

#include "control/ControlIdentities.h"

namespace corvanta::control {

namespace {
const ui::ControlTemplate kAboutControls[] = {
    {ui::kStaticControlId, ui::ControlKind::Label, kControlTypeName, 10, 10, 170, 8},
    {CAboutDlg::kIdVersion, ui::ControlKind::Label, "", 10, 22, 170, 8},
    {ui::kStaticControlId, ui::ControlKind::Label, "An archive viewer for CCTV video recorders.", 10, 34, 170, 8},
    {ui::kIdOk, ui::ControlKind::DefPushButton, "OK", 130, 52, 50, 14},
};
const ui::DialogTemplate kAboutTemplate{CAboutDlg::kTemplateId, "About CorvantaArchive Control", 190, 72,
                                        "MS Sans Serif", 8, kAboutControls};
}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : CTemplateDialog(kAboutTemplate, parent) {}

bool CAboutDlg::OnInitDialog() {
    SetControlString(kIdVersion, std::string("Version ") + CORVANTA_VERSION);
    return CTemplateDialog::OnInitDialog();
}

}  // namespace corvanta::control
