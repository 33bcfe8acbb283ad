// bench_startup: how long a control takes from its creation until every
// filter it brings up is reachable by name, and from its destruction until
// everything it made is closed again. Medians of repeated runs in one
// process, offscreen, each run with an instance of its own.

#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "control/CCorvantaArchiveCtrl.h"
#include "framework/CMessageQueueManager.h"
#include "maindlg/MainDialogFramework.h"
#include "playback/PlaybackRecords.h"
#include "archive/ArchiveRecords.h"
#include "services/CLanguageTranslator.h"
#include "services/UserAccessRecords.h"

using namespace corvanta;
using Clock = std::chrono::steady_clock;

namespace {

const char* const kFilters[] = {kLanguageTranslatorName, kUserPrivilegeFilterName, kArchiveQueryFilterName,
                                kPlaybackManagerFilterName, kMainDialogFilterName};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool AllReachable(bool reachable) {
    for (const char* name : kFilters)
        if ((CMessageQueueManager::FindQueue(name) != 0) != reachable) return false;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // No recorder: the start-up's one privilege question fails at once.
    char tmpl[] = "/tmp/corvanta-bench-startup-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    setenv("XDG_CONFIG_HOME", tmpl, 1);
    if (chdir(tmpl) != 0) return 1;
    QApplication app(argc, argv);

    const int runs = 21;
    std::vector<double> startup, shutdown;
    for (int i = 0; i < runs; ++i) {
        QWidget host;
        host.resize(800, 600);
        const auto t0 = Clock::now();
        auto* control = new CCorvantaArchiveCtrl(&host, 3000000 + getpid() * 64 + i);
        host.show();
        while (!AllReachable(true)) QApplication::processEvents();
        const auto t1 = Clock::now();
        delete control;
        while (!AllReachable(false)) QApplication::processEvents();
        const auto t2 = Clock::now();
        if (i > 0) {  // the first run pays for fonts and styles
            startup.push_back(Ms(t1 - t0));
            shutdown.push_back(Ms(t2 - t1));
        }
    }
    std::printf("runs %zu, startup min %.1f ms, shutdown min %.1f ms\n", startup.size(),
                *std::min_element(startup.begin(), startup.end()), *std::min_element(shutdown.begin(), shutdown.end()));
    std::printf("startup_ms=%.1f shutdown_ms=%.1f\n", Median(startup), Median(shutdown));
    std::filesystem::remove_all(tmpl);
    return 0;
}
