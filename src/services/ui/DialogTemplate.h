#pragma once
// A dialog described the way its resource template described it: a size and
// a font, then every control with its id, kind, text and rectangle in dialog
// units. CTemplateDialog builds the Qt widgets from it, so the control ids,
// the window classes and the geometry of the Windows templates stay one table.

#include <cstdint>
#include <span>

namespace corvanta::ui {

// The id that unnamed labels and group boxes carry; such controls are never
// addressed and never translated. Every other control has an id unique within
// its dialog: a new one takes the next id above the highest of that dialog,
// never kIdOk, kIdCancel or this one.
inline constexpr int kStaticControlId = 65535;

// Dialog result codes and the ids of the standard buttons.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

enum class ControlKind {
    Label,          // "STATIC"
    Edit,           // "EDIT"
    GroupBox,       // "BUTTON": a frame with a title; the controls on it stay the dialog's children
    RadioButton,    // "BUTTON": consecutive radio buttons exclude each other
    CheckBox,       // "BUTTON"
    PushButton,     // "BUTTON"
    DefPushButton,  // "BUTTON": the button Enter presses
};

enum ControlStyle : uint32_t {
    kStyleNone = 0,
    kStyleDisabled = 1u << 0,
    kStyleHidden = 1u << 1,
    kStylePassword = 1u << 2,  // an edit whose characters are not shown
    kStyleGroup = 1u << 3,     // a radio button that starts a new group
};

struct ControlTemplate {
    int id;
    ControlKind kind;
    const char* text;  // the built-in text, before translation
    int x, y, cx, cy;  // dialog units
    uint32_t style = kStyleNone;
};

struct DialogTemplate {
    int templateId;  // the Windows resource number, kept for reference
    const char* title;
    int cx, cy;      // client area in dialog units
    const char* fontName;
    int fontPointSize;
    std::span<const ControlTemplate> controls;
};

}  // namespace corvanta::ui
