#pragma once
// What the Windows window manager knows about every control and Qt does not:
// its control id and its window class. Dialogs built from a template set
// both as dynamic properties; other widgets get a class from their Qt type
// and count as unnamed (kStaticControlId) until they are given an id.

#include <QString>

#include "services/ui/DialogTemplate.h"

class QWidget;

namespace corvanta::ui {

inline constexpr char kControlIdProperty[] = "controlId";
inline constexpr char kWindowClassProperty[] = "windowClass";

void SetControlIdentity(QWidget* control, int id, const QString& windowClass);

// The control id, or kStaticControlId when the widget has none.
int ControlId(const QWidget* control);

// Upper-case class name: the property when set; otherwise "BUTTON" for
// buttons, check boxes, radio buttons and group boxes, "STATIC" for labels,
// "EDIT" for line edits, else the Qt class name upper-cased.
QString WindowClassOf(const QWidget* control);

// The text a person reads on the control (a group box's title, a button's
// or label's text, else the widget's "text" property) and its setter.
QString ControlText(const QWidget* control);
void SetControlText(QWidget* control, const QString& text);

}  // namespace corvanta::ui
