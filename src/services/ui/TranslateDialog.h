#pragma once
// Translates a dialog in place through the language translator: its title
// under "Dialog-" + title, then every direct child that is a "BUTTON" or
// "STATIC" with a control id other than 65535 and a non-empty text, under
// the dialog prefix + text. The prefix is `name`, or the title followed by
// " Dialog", and then "-". Edits, lists and custom controls are left alone.
// Without a translator every text stays as it is.

class QWidget;

namespace corvanta::ui {

// Always 1.
int TranslateDialog(QWidget* dialog, const char* name = nullptr);

}  // namespace corvanta::ui
