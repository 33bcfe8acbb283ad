#include "services/ui/TranslateDialog.h"

#include <QWidget>
#include <string>

#include "services/Translation.h"
#include "services/ui/ControlIdentity.h"
#include "services/ui/DialogTemplate.h"

namespace corvanta::ui {

namespace {

// Texts travel to the translator as the system's 8-bit text, here UTF-8.
std::string Bytes(const QString& text) { return text.toStdString(); }
QString Text(const std::string& bytes) { return QString::fromStdString(bytes); }

}  // namespace

int TranslateDialog(QWidget* dialog, const char* name) {
    const std::string title = Bytes(dialog->windowTitle());
    const std::string prefix = (name ? std::string(name) : title + " Dialog") + "-";

    std::string translatedTitle = title;
    TranslateByKey("Dialog-" + title, translatedTitle);
    dialog->setWindowTitle(Text(translatedTitle));

    // Direct children in creation order, as the window system listed a
    // dialog's controls; widgets inside other widgets are not the dialog's.
    for (QObject* child : dialog->children()) {
        auto* control = qobject_cast<QWidget*>(child);
        if (!control || control->isWindow()) continue;
        const QString windowClass = WindowClassOf(control);
        if (ControlId(control) == kStaticControlId) continue;
        if (windowClass != QLatin1String("BUTTON") && windowClass != QLatin1String("STATIC")) continue;
        std::string text = Bytes(ControlText(control));
        if (text.empty()) continue;
        if (TranslateByKey(prefix + text, text)) SetControlText(control, Text(text));
    }
    return 1;
}

}  // namespace corvanta::ui
