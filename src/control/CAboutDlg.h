#pragma once
// The control's about box: its name and version.

#include "services/ui/CTemplateDialog.h"

namespace corvanta::control {

class CAboutDlg : public ui::CTemplateDialog {
public:
    static constexpr int kTemplateId = 100;
    static constexpr int kIdVersion = 1001;
    explicit CAboutDlg(QWidget* parent = nullptr);

protected:
    bool OnInitDialog() override;
};

}  // namespace corvanta::control
