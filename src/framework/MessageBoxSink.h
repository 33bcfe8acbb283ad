#pragma once
// The few failures the framework shows to a person ("Out of range", "2")
// go through the installed sinks. Every control installs its own; until one
// is installed, and after the last is removed, they go to standard error.

#include <string>

namespace corvanta {

class CMessageBoxSink {
public:
    virtual ~CMessageBoxSink() = default;
    // Called on whatever thread hit the failure.
    virtual void Show(const std::string& text) = 0;
};

// Installs `sink` above every sink installed before; the most recently
// installed of those still installed shows the boxes. Sinks may be removed
// in any order. The caller keeps a sink alive until it is removed.
void InstallMessageBoxSink(CMessageBoxSink* sink);
void RemoveMessageBoxSink(CMessageBoxSink* sink);
void ShowMessageBox(const std::string& text);

}  // namespace corvanta
