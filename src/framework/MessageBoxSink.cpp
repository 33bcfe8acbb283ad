#include "framework/MessageBoxSink.h"

#include <atomic>
#include <cstdio>

namespace corvanta {
namespace {

std::atomic<CMessageBoxSink*> g_sink{nullptr};

}  // namespace

CMessageBoxSink* SetMessageBoxSink(CMessageBoxSink* sink) { return g_sink.exchange(sink); }

void ShowMessageBox(const std::string& text) {
    if (CMessageBoxSink* sink = g_sink.load()) {
        sink->Show(text);
        return;
    }
    std::fprintf(stderr, "corvanta: message box: %s\n", text.c_str());
}

}  // namespace corvanta
