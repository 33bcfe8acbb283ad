#include "control/CCorvantaArchivePropPage.h"

#include "control/ControlIdentities.h"

namespace corvanta::control {

namespace {
const ui::ControlTemplate kPageControls[] = {
    {ui::kIdOk, ui::ControlKind::DefPushButton, "OK", 195, 60, 50, 14},
};
const ui::DialogTemplate kPageTemplate{CCorvantaArchivePropPage::kTemplateId, kPropPageCaption, 250, 80,
                                       "MS Sans Serif", 8, kPageControls};
}  // namespace

CCorvantaArchivePropPage::CCorvantaArchivePropPage(QWidget* parent) : CTemplateDialog(kPageTemplate, parent) {}

}  // namespace corvanta::control
