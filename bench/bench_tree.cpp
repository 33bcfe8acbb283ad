// bench_tree: opening a crowded day in the "Full" tree, from the click on
// its expand button to the filled branch (the session list asked of the
// recorder stand-in on loopback, the nodes made, the items inserted).
// Median of repeated runs, each on a fresh tree, offscreen.

#include <unistd.h>

#include <QApplication>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "archive/ui/CArchiveTreeDlg.h"
#include "framework/CMessageQueueManager.h"
#include "framework/InstanceNames.h"
#include "remote/RemoteFilter.h"
#include "remote/RemoteSession.h"
#include "recorder/RecorderServer.h"
#include "services/CUserPrivilegeProxy.h"
#include "services/UserAccess.h"

using namespace corvanta;
using Clock = std::chrono::steady_clock;

namespace {

[[noreturn]] void Fail(const char* why) {
    std::fprintf(stderr, "bench_tree: %s\n", why);
    std::exit(1);
}

QTreeWidgetItem* Child(QTreeWidgetItem* parent, const QString& text) {
    for (int i = 0; i < parent->childCount(); ++i)
        if (parent->child(i)->text(0) == text) return parent->child(i);
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    char tmpl[] = "/tmp/corvanta-bench-tree-XXXXXX";
    if (!mkdtemp(tmpl) || chdir(tmpl) != 0) Fail("no temporary folder");
    setenv("XDG_CONFIG_HOME", tmpl, 1);
    QApplication app(argc, argv);

    recorder::RecorderConfig config;
    config.port = 0;
    config.busySource = true;
    config.anchorDate = recorder::CivilDate{2026, 12, 5};
    config.log = [](const std::string&) {};
    recorder::RecorderServer server(config);
    std::string error;
    if (!server.start(&error)) Fail(error.c_str());

    InstanceNames::SetInstanceNumber(50000 + getpid() % 10000);
    CMessageQueueManager manager;
    manager.Start();
    CUserPrivilegeProxy privilege;
    privilege.Startup();
    CRemoteArchiveQuery archive;
    archive.Init(CRemoteArchiveQuery::MakeDescriptor());
    SetFilterServerURL(server.baseUrl());
    if (!LogIn("demo", "demo").loggedIn) Fail("login refused");

    const int runs = 15;
    std::vector<double> fills;
    int sessions = 0;
    for (int i = 0; i < runs; ++i) {
        CArchiveTreeDlg tree;
        tree.resize(300, 800);
        tree.show();
        QTreeWidgetItem* source = tree.Tree()->topLevelItem(int(server.archive().sources().size()) - 1);
        if (!source) Fail("no busy source");
        source->setExpanded(true);
        QTreeWidgetItem* month = Child(source, "2026/12");
        if (!month) Fail("no month");
        month->setExpanded(true);
        QTreeWidgetItem* day = Child(month, "2026/12/04");
        if (!day) Fail("no day");
        const auto t0 = Clock::now();
        day->setExpanded(true);
        QApplication::processEvents();
        const auto t1 = Clock::now();
        sessions = day->childCount();
        if (i > 0) fills.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    std::sort(fills.begin(), fills.end());
    std::printf("day of %d sessions, %zu runs, fastest %.2f ms, slowest %.2f ms\n", sessions, fills.size(),
                fills.front(), fills.back());
    std::printf("day_fill_ms=%.2f\n", fills[fills.size() / 2]);
    LogOff();
    archive.Close();
    privilege.Shutdown();
    manager.Close();
    std::filesystem::remove_all(tmpl);
    return 0;
}
