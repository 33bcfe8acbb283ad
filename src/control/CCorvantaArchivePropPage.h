#pragma once
// The control's one property page, "General". It has no fields: the
// properties are set by the host.

#include "services/ui/CTemplateDialog.h"

namespace corvanta::control {

class CCorvantaArchivePropPage : public ui::CTemplateDialog {
public:
    static constexpr int kTemplateId = 200;
    explicit CCorvantaArchivePropPage(QWidget* parent = nullptr);
};

}  // namespace corvanta::control
