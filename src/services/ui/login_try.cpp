// corvanta-login-try: the login dialog on its own, for a person to try
// against a recorder. It sets up what the main dialog sets up for it (an
// instance with its queue manager, the language translator, the proxy "Main
// User Privilege", the "MainDialog" settings) and shows "Remote Login" until
// it is cancelled, printing what each round did.

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <string>

#include "framework/CMessageQueueManager.h"
#include "framework/InstanceNames.h"
#include "framework/MessageBoxSink.h"
#include "platform/qt/QtQueueDriver.h"
#include "remote/RemoteSession.h"
#include "services/CLanguageTranslator.h"
#include "services/CUserPrivilegeProxy.h"
#include "services/MainDialogSettings.h"
#include "services/UserAccess.h"
#include "services/ui/CLoginDlg.h"
#include "services/ui/CQtMessageBoxSink.h"
#include "stores/CSettingsStore.h"

using namespace corvanta;

namespace {

constexpr const char* kUsage =
    "Usage: corvanta-login-try [URL]\n"
    "       corvanta-login-try --help\n"
    "\n"
    "Shows the \"Remote Login\" dialog against the recorder at URL (default\n"
    "http://127.0.0.1:8080, where corvanta-recorder listens; its user is demo,\n"
    "password demo). The URL is only the start value: the dialog shows the stored\n"
    "\"ServerURL\" when there is one, and whatever is typed there is used.\n"
    "\n"
    "After each OK or \"Log Off...\" one line says what happened and the dialog\n"
    "opens again; Cancel ends the program. \"Save login data\" stores the values\n"
    "in the registry file under $XDG_CONFIG_HOME/corvanta/. The texts are\n"
    "translated with language_basic.txt from the current directory (or\n"
    "$XDG_DATA_HOME/corvanta/, /usr/share/corvanta/), which learns every key.\n";

constexpr char kLoginPrivilege[] = "User Access - Http server login";

void Say(const std::string& line) {
    std::printf("corvanta-login-try: %s\n", line.c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string url = argc == 2 ? argv[1] : "http://127.0.0.1:8080";

    QApplication app(argc, argv);
    // The GUI thread's own window-system queue runs from Qt's event loop.
    platform::QtQueueDriver driver;
    ui::CQtMessageBoxSink messageBoxes;
    InstallMessageBoxSink(&messageBoxes);

    InstanceNames::SetInstanceNumber(DrawInstanceNumber());
    CMessageQueueManager manager;
    manager.Start();
    CLanguageTranslator translator;
    translator.Startup();
    CUserPrivilegeProxy proxy;
    proxy.Startup();
    SetFilterServerURL(url);

    CSettingsStore store;
    DeclareMainDialogSettings(store);
    store.Load();

    const std::string dictionaryPath = translator.FileInUse();
    Say("instance " + std::to_string(InstanceNames::InstanceNumber()) + ", recorder " + url + ", dictionary " +
        (dictionaryPath.empty() ? std::string("none (keys are learned in memory)") : dictionaryPath));

    for (;;) {
        ui::CLoginDlg dialog(&store, FilterServerURL());
        const int result = dialog.exec();
        if (result != ui::kIdOk) break;
        if (dialog.LoggedIn()) {
            Say("logged in to " + FilterServerURL() + " as \"" + dialog.UserName() + "\", session " + SessionId() +
                (dialog.LoggedOff() ? ", the previous session logged off" : "") + "; \"" + kLoginPrivilege +
                "\" " + (CheckPrivilege(kLoginPrivilege) ? "granted" : "refused"));
        } else if (dialog.LoggedOff()) {
            const std::string session = SessionId();
            LogOff();
            Say("logged off session " + session);
        } else {
            Say("login refused, or no recorder answered at " + FilterServerURL());
        }
    }

    if (LogOff()) Say("logged off on the way out");
    store.Save();
    proxy.Shutdown();
    translator.Shutdown();
    manager.Close();
    RemoveMessageBoxSink(&messageBoxes);
    return 0;
}
