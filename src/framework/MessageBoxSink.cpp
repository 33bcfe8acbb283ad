#include "framework/MessageBoxSink.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace corvanta {
namespace {

struct Showing {
    CMessageBoxSink* sink;
    std::thread::id thread;
};

struct Sinks {
    std::mutex mutex;
    std::condition_variable done;
    std::vector<CMessageBoxSink*> installed;
    // Shows in progress. A sink is not let go while another thread is inside
    // its Show; its own thread may be (a box's loop can destroy its control).
    std::vector<Showing> showing;

    bool ShownElsewhere(CMessageBoxSink* sink) const {
        const std::thread::id self = std::this_thread::get_id();
        return std::any_of(showing.begin(), showing.end(),
                           [&](const Showing& s) { return s.sink == sink && s.thread != self; });
    }
};

Sinks& AllSinks() {
    static Sinks sinks;
    return sinks;
}

}  // namespace

void InstallMessageBoxSink(CMessageBoxSink* sink) {
    if (!sink) return;
    Sinks& sinks = AllSinks();
    std::lock_guard lock(sinks.mutex);
    sinks.installed.push_back(sink);
}

void RemoveMessageBoxSink(CMessageBoxSink* sink) {
    Sinks& sinks = AllSinks();
    std::unique_lock lock(sinks.mutex);
    std::erase(sinks.installed, sink);
    sinks.done.wait(lock, [&] { return !sinks.ShownElsewhere(sink); });
}

void ShowMessageBox(const std::string& text) {
    Sinks& sinks = AllSinks();
    CMessageBoxSink* sink = nullptr;
    const std::thread::id thread = std::this_thread::get_id();
    {
        std::lock_guard lock(sinks.mutex);
        if (sinks.installed.empty()) {
            std::fprintf(stderr, "corvanta: message box: %s\n", text.c_str());
            return;
        }
        sink = sinks.installed.back();
        sinks.showing.push_back({sink, thread});
    }
    // Not under the lock: on the GUI thread Show waits for a person.
    sink->Show(text);
    {
        std::lock_guard lock(sinks.mutex);
        auto it = std::find_if(sinks.showing.begin(), sinks.showing.end(),
                               [&](const Showing& s) { return s.sink == sink && s.thread == thread; });
        if (it != sinks.showing.end()) sinks.showing.erase(it);
    }
    sinks.done.notify_all();
}

}  // namespace corvanta
