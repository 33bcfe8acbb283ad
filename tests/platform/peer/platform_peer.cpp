// The other process of the platform tests. Each role prints "ready" (and
// sometimes a value) once set up, then serves until told to quit or killed;
// "sweep" removes the unused regions, prints "swept N" and ends.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/ProcessMutex.h"
#include "platform/SharedRegion.h"
#include "platform/WindowSystem.h"

using namespace corvanta::platform;

namespace {

void Ready(const std::string& extra = {}) {
    std::printf("ready%s%s\n", extra.empty() ? "" : " ", extra.c_str());
    std::fflush(stdout);
}

// "peer double" answers wParam * 2; "peer call back" sends "peer echo" with
// lParam to the window in wParam and answers its result + 1; "peer quit" ends.
int ServeWindow(const std::string& title) {
    uint32_t doubleMsg = RegisterWindowMessage("peer double");
    uint32_t callBack = RegisterWindowMessage("peer call back");
    uint32_t echo = RegisterWindowMessage("peer echo");
    uint32_t quit = RegisterWindowMessage("peer quit");
    Hwnd h = CreateMessageWindow(title, [&](Hwnd self, uint32_t m, WParam w, LParam l) -> LResult {
        if (m == doubleMsg) return LResult(w * 2);
        if (m == callBack) return SendMessage(Hwnd(w), echo, 0, l) + 1;
        if (m == quit) {
            PostQuitMessage(0);
            return 1;
        }
        return DefWindowProc(self, m, w, l);
    });
    if (!h) return 2;
    Ready(std::to_string(h) + " " + std::to_string(CurrentThreadId()));
    Msg msg;
    while (GetMessage(&msg)) DispatchMessage(msg);
    DestroyWindow(h);
    return 0;
}

int HoldRegion(const std::string& name, size_t size, int fill) {
    auto r = SharedRegion::Open(name, size);
    if (!r) return 2;
    std::memset(r.Value().Data(), fill, size);
    Ready(r.Value().Existed() ? "existed" : "new");
    pause();
    return 0;
}

int HoldMutex(const std::string& name) {
    auto m = ProcessMutex::OpenNamed(name);
    if (!m || m.Value().Lock() != LockStatus::Acquired) return 2;
    Ready();
    pause();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "sweep") {
        std::printf("swept %zu\n", SharedRegion::RemoveUnused());
        return 0;
    }
    if (argc < 3) return 1;
    std::string role = argv[1];
    if (role == "window") return ServeWindow(argv[2]);
    if (role == "region" && argc == 5) return HoldRegion(argv[2], std::strtoul(argv[3], nullptr, 10), std::atoi(argv[4]));
    if (role == "mutex") return HoldMutex(argv[2]);
    return 1;
}
