#include "services/ui/ControlIdentity.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVariant>
#include <QWidget>

#include "services/ui/DialogTemplate.h"

namespace corvanta::ui {

void SetControlIdentity(QWidget* control, int id, const QString& windowClass) {
    control->setProperty(kControlIdProperty, id);
    control->setProperty(kWindowClassProperty, windowClass.toUpper());
}

int ControlId(const QWidget* control) {
    bool ok = false;
    const int id = control->property(kControlIdProperty).toInt(&ok);
    return ok ? id : kStaticControlId;
}

QString WindowClassOf(const QWidget* control) {
    const QVariant set = control->property(kWindowClassProperty);
    if (set.isValid()) return set.toString().toUpper();
    if (qobject_cast<const QAbstractButton*>(control) || qobject_cast<const QGroupBox*>(control))
        return QStringLiteral("BUTTON");
    if (qobject_cast<const QLabel*>(control)) return QStringLiteral("STATIC");
    if (qobject_cast<const QLineEdit*>(control)) return QStringLiteral("EDIT");
    return QString::fromLatin1(control->metaObject()->className()).toUpper();
}

QString ControlText(const QWidget* control) {
    if (auto* box = qobject_cast<const QGroupBox*>(control)) return box->title();
    if (auto* button = qobject_cast<const QAbstractButton*>(control)) return button->text();
    if (auto* label = qobject_cast<const QLabel*>(control)) return label->text();
    if (auto* edit = qobject_cast<const QLineEdit*>(control)) return edit->text();
    return control->property("text").toString();
}

void SetControlText(QWidget* control, const QString& text) {
    if (auto* box = qobject_cast<QGroupBox*>(control))
        box->setTitle(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(text);
    else if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setText(text);
    else
        control->setProperty("text", text);
}

}  // namespace corvanta::ui
