#pragma once
// The control's about box: its name and version.

#include "services/ui/CTemplateDialog.h"

namespace corvanta::control {

class CAboutDlg : public ui::CTemplateDialog {
public:
    static constexpr int kTemplateId = 100;
    // Control ids are unique within the dialog; a new control takes the next id above
    // the highest one here (DialogTemplate.h says which ids are taken by every dialog).
    static constexpr int kIdVersion = 1001;
    explicit CAboutDlg(QWidget* parent = nullptr);

protected:
    bool OnInitDialog() override;
};

}  // namespace corvanta::control
