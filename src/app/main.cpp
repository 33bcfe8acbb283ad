// corvanta-archive: the reference host. A window with one Corvanta Archive
// control, pointed at a recorder given on the command line, or at the demo
// recorder it starts itself.

#include <QApplication>
#include <QFileInfo>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <memory>
#include <random>
#include <unistd.h>

#include "app/ControlModule.h"
#include "app/DemoProfile.h"
#include "app/HostOptions.h"
#include "app/HostWindow.h"
#include "recorder/RecorderServer.h"

using namespace corvanta;

#if defined(__SANITIZE_ADDRESS__)
// Qt keeps fontconfig's caches for the whole process and fontconfig never
// frees them; the leak checker of a sanitizer build would fail every run.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif
#if defined(__SANITIZE_THREAD__)
// Qt is not built with the thread sanitizer, so hand-overs between its own
// threads look like races to it.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libQt6Core.so\nrace:libQt6Gui.so\nrace:libQt6Widgets.so\nrace:libglib-2.0.so\n";
}
#endif

namespace {

int g_signalPipe[2] = {-1, -1};

void OnStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = write(g_signalPipe[1], &byte, 1);
}

// SIGINT and SIGTERM end Qt's loop, so the window closes the way a click
// on its close button would and the control shuts down in order.
void QuitOnSignals(QApplication& app) {
    if (pipe(g_signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] { app.quit(); });
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// A password nobody types: the host logs in itself, and the recorder it
// starts over a folder must not answer to a guessable one meanwhile.
std::string MadeUpPassword() {
    std::random_device random;
    std::string text;
    for (int i = 0; i < 16; ++i) text += "0123456789abcdef"[random() % 16];
    return text;
}

std::string HostDir(const char* argv0) {
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        self[n] = '\0';
        return QFileInfo(QString::fromLocal8Bit(self)).absolutePath().toStdString();
    }
    return QFileInfo(QString::fromLocal8Bit(argv0)).absolutePath().toStdString();
}

}  // namespace

int main(int argc, char** argv) {
    app::HostOptions options;
    std::string error;
    if (!app::ParseHostOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "corvanta-archive: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(app::HostUsage().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("corvanta-archive %s\n", CORVANTA_VERSION);
        return 0;
    }

    std::unique_ptr<recorder::RecorderServer> demo;
    if (options.demo) {
        recorder::RecorderConfig config;
        config.port = 0;
        config.faults.delayMs = options.linkDelayMs;
        demo = std::make_unique<recorder::RecorderServer>(config);
        if (!demo->start(&error)) {
            std::fprintf(stderr, "corvanta-archive: the demo recorder did not start: %s\n", error.c_str());
            return 1;
        }
        app::UseDemoProfile(demo->baseUrl());
        options.serverUrl = "http://127.0.0.1";
        options.serverPort = demo->port();
        std::fprintf(stderr, "corvanta-archive: demo recorder at %s (link delay %u ms); log in as demo, password demo\n",
                     demo->baseUrl().c_str(), options.linkDelayMs);
    }

    std::string folderPassword;
    if (options.archiveDir) {
        recorder::RecorderConfig config;
        config.port = 0;
        config.folder.dir = *options.archiveDir;
        folderPassword = MadeUpPassword();
        config.users = {recorder::UserAccount{"local", folderPassword}};
        demo = std::make_unique<recorder::RecorderServer>(config);
        if (!demo->start(&error)) {
            std::fprintf(stderr, "corvanta-archive: the recorder for %s did not start: %s\n",
                         options.archiveDir->c_str(), error.c_str());
            return 1;
        }
        app::UseFolderProfile(demo->baseUrl(), "local", folderPassword);
        options.serverUrl = "http://127.0.0.1";
        options.serverPort = demo->port();
        std::fprintf(stderr, "corvanta-archive: serving %s at %s\n", options.archiveDir->c_str(),
                     demo->baseUrl().c_str());
    }

    QApplication qapp(argc, argv);
    QApplication::setApplicationName("corvanta-archive");
    QApplication::setApplicationVersion(CORVANTA_VERSION);
    QApplication::setDesktopFileName("corvanta-archive");

    app::ControlModule module;
    if (!app::LoadControlModule(HostDir(argv[0]), module, error)) {
        std::fprintf(stderr, "corvanta-archive: %s\n", error.c_str());
        return 1;
    }
    QuitOnSignals(qapp);
    int result = 0;
    {
        app::HostWindow window(module, options.serverUrl, options.serverPort, !options.demo && !options.archiveDir);
        window.show();
        if (options.archiveDir) {
            QMetaObject::invokeMethod(
                window.Control(),
                [&window, &folderPassword] {
                    bool in = false;
                    QMetaObject::invokeMethod(window.Control(), "LogIn", Q_RETURN_ARG(bool, in),
                                              Q_ARG(QString, "local"),
                                              Q_ARG(QString, QString::fromStdString(folderPassword)));
                    std::fprintf(stderr, in ? "corvanta-archive: logged in to the recordings\n"
                                            : "corvanta-archive: the login to the recordings failed\n");
                },
                Qt::QueuedConnection);
        }
        int instance = 0;
        QMetaObject::invokeMethod(window.Control(), "InstanceNumber", Q_RETURN_ARG(int, instance));
        std::fprintf(stderr, "corvanta-archive: instance %d (corvanta-eventlog %d shows its events)\n",
                     instance, instance);
        result = qapp.exec();
        window.close();
    }
    if (demo) demo->stop();
    return result;
}
