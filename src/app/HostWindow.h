#pragma once
// The reference host's window: a menu, and the control filling the rest.
// It keeps its geometry and the control's property bag between runs.

#include <QMainWindow>

#include "app/ControlModule.h"

namespace corvanta::app {

class HostWindow : public QMainWindow {
public:
    // Creates the control through `module`; the options that were given
    // override the stored properties.
    HostWindow(const ControlModule& module, const std::optional<std::string>& serverUrl,
               const std::optional<int>& serverPort, bool keepProperties);
    ~HostWindow() override;

    QWidget* Control() const { return m_control; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void MakeMenus();
    void RestoreState();
    void SaveState();
    QString PropertyBagFile() const;

    ControlModule m_module;
    QWidget* m_control = nullptr;
    bool m_keepProperties;
};

}  // namespace corvanta::app
