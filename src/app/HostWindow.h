#pragma once
// The reference host's window: a menu, the control, and a status line that
// says how the connection to the recorder stands.
// It keeps its geometry and the control's property bag between runs.

#include <QMainWindow>

class QLabel;

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
    QLabel* StatusLine() const { return m_status; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void MakeMenus();
    void MakeStatusLine();
    void RestoreState();
    void SaveState();
    QString PropertyBagFile() const;

    ControlModule m_module;
    QWidget* m_control = nullptr;
    QLabel* m_status = nullptr;
    bool m_keepProperties;
};

}  // namespace corvanta::app
