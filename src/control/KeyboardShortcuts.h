#pragma once
// Every key and mouse gesture the panes answer, in one table: the shortcuts
// dialog shows it, and tests hold the player's own shortcuts against it.

#include <span>

namespace corvanta::control {

struct ShortcutEntry {
    const char* place;   // where it works
    const char* input;   // what to press or do; for a key, its QKeySequence portable text
    const char* action;  // what it does
    bool isKey;          // `input` is a key rather than a mouse gesture
};

std::span<const ShortcutEntry> KeyboardShortcuts();

}  // namespace corvanta::control
