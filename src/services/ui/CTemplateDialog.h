#pragma once
// The base of every dialog of the system. It builds its controls from a
// DialogTemplate (ids and window classes as properties, geometry converted
// from dialog units with the font's average character size) and gives a
// subclass the life a dialog of the Windows dialog framework has:
//
//   OnInitDialog    once, just before the dialog is first shown (exec, open
//                   or show); the base shows the bound values.
//   DoDataExchange  binds members to controls; UpdateData(false) shows the
//                   members, UpdateData(true) reads and validates the
//                   controls and fails, with a message box and the focus on
//                   the control, when one of them breaks its limit.
//   OnOK            button 1 and Enter; the base reads the controls and
//                   closes with kIdOk when that succeeds.
//   OnCancel        button 2, Escape and the window's close button.
//   OnCommand       every other push button, with its id.
//
// Message boxes go through ShowMessageBox (framework/MessageBoxSink.h), so a
// host shows them with CQtMessageBoxSink and tests can collect them.

#include <QDialog>
#include <QString>
#include <cstdint>
#include <string>

#include "services/ui/DialogTemplate.h"
#include "services/ui/DialogUnits.h"

class QAbstractButton;

namespace corvanta::ui {

class CTemplateDialog;

// One pass of DoDataExchange: towards the controls, or back from them with
// validation. After the first failure the remaining calls do nothing.
class CDataExchange {
public:
    CDataExchange(CTemplateDialog& dialog, bool saveAndValidate) : m_dialog(dialog), m_save(saveAndValidate) {}

    bool Saving() const { return m_save; }
    bool Failed() const { return m_failed; }

    // An edit's text. With `maxBytes` > 0 the edit takes no more while the
    // user types, and reading back fails with "Please enter no more than N
    // characters." when it holds more (a longer text can still arrive from a
    // store). Limits count the bytes of the stored text, so every accepted
    // text fits its record field.
    void Text(int id, std::string& value, int maxBytes = 0);
    // An edit holding a 32-bit decimal integer; reading back fails with
    // "Please enter an integer." for anything else.
    void Int(int id, int32_t& value);
    // A check box: 0 or 1.
    void Check(int id, int& value);
    // A group of radio buttons from `firstId` on: the index of the checked
    // one, -1 for none.
    void Radio(int firstId, int& value);

private:
    void Fail(int id, const std::string& message);

    CTemplateDialog& m_dialog;
    bool m_save;
    bool m_failed = false;
};

class CTemplateDialog : public QDialog {
public:
    // The template's texts and control list must outlive the dialog; they
    // are static tables as a rule.
    explicit CTemplateDialog(const DialogTemplate& dialogTemplate, QWidget* parent = nullptr);
    ~CTemplateDialog() override;

    // The control with this id, or null.
    QWidget* Control(int id) const;
    // The control as a given Qt class, or null.
    template <typename T>
    T* ControlAs(int id) const {
        return qobject_cast<T*>(Control(id));
    }

    // The controls' text, as the system's 8-bit text.
    std::string ControlString(int id) const;
    void SetControlString(int id, const std::string& text);
    void EnableControl(int id, bool enable);
    void ShowControl(int id, bool show);

    // false when a control broke its limit (after the message box).
    bool UpdateData(bool saveAndValidate);

    const DialogTemplate& Template() const { return m_template; }
    DialogBaseUnits BaseUnits() const { return m_base; }

    void setVisible(bool visible) override;
    void reject() override;

protected:
    // Returns true; a subclass calls the base last, after setting its members.
    virtual bool OnInitDialog();
    virtual void DoDataExchange(CDataExchange& dx);
    virtual void OnOK();
    virtual void OnCancel();
    virtual void OnCommand(int id);
    // Closes the dialog with `result` (kIdOk, or 0 for Cancel) without reading the controls.
    void EndDialog(int result);

private:
    void Build();
    void Clicked(int id);

    DialogTemplate m_template;  // its controls point to static data
    DialogBaseUnits m_base;
    bool m_initialised = false;
};

}  // namespace corvanta::ui
