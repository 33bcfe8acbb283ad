#pragma once
// The few failures the framework shows to a person ("Out of range", "2")
// go through one process-wide sink. The user interface installs its own;
// until then they are written to standard error.

#include <string>

namespace corvanta {

class CMessageBoxSink {
public:
    virtual ~CMessageBoxSink() = default;
    // Called on whatever thread hit the failure.
    virtual void Show(const std::string& text) = 0;
};

// Installs `sink` for the whole process; null restores standard error. The
// caller keeps the sink alive while it is installed. Returns the previous one.
CMessageBoxSink* SetMessageBoxSink(CMessageBoxSink* sink);
void ShowMessageBox(const std::string& text);

}  // namespace corvanta
