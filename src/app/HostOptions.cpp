#include "app/HostOptions.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

namespace corvanta::app {

namespace {

// What QApplication takes from the command line itself (with one or two
// dashes; a value follows or comes after "=").
constexpr std::array<std::string_view, 16> kQtOptionsWithValue = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon",
    "qwindowtitle", "qmljsdebugger", "style", "stylesheet", "session", "display", "geometry", "title",
    "name", "visual"};
constexpr std::array<std::string_view, 5> kQtFlags = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

// How many arguments from `args[i]` on are Qt's: 0 when it is not one of
// its options, 2 when its value is the next argument.
size_t QtOptionLength(const std::vector<std::string>& args, size_t i) {
    std::string_view arg = args[i];
    if (!arg.starts_with('-') || arg.size() < 2) return 0;
    arg.remove_prefix(arg.starts_with("--") ? 2 : 1);
    const size_t eq = arg.find('=');
    const std::string_view name = arg.substr(0, eq);
    const auto has = [name](const auto& names) { return std::find(names.begin(), names.end(), name) != names.end(); };
    if (has(kQtFlags) && eq == std::string_view::npos) return 1;
    if (!has(kQtOptionsWithValue)) return 0;
    return eq != std::string_view::npos || i + 1 >= args.size() ? 1 : 2;
}

bool ParsePort(const std::string& text, int& port) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
    return ec == std::errc() && end == text.data() + text.size() && port >= 1 && port <= 65535;
}

constexpr uint32_t kMaxLinkDelayMs = 60000;

bool ParseDelay(const std::string& text, uint32_t& ms) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), ms);
    return ec == std::errc() && end == text.data() + text.size() && ms <= kMaxLinkDelayMs;
}

}  // namespace

bool ParseHostOptions(const std::vector<std::string>& args, HostOptions& options, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        // Left in argv for QApplication, which takes them out itself.
        if (const size_t qt = QtOptionLength(args, i)) {
            i += qt - 1;
            continue;
        }
        std::string arg = args[i];
        std::optional<std::string> inlineValue;
        if (size_t eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
            inlineValue = arg.substr(eq + 1);
            arg.resize(eq);
        }
        auto value = [&](std::string& out) {
            if (inlineValue) out = *inlineValue;
            else if (i + 1 < args.size()) out = args[++i];
            else return error = arg + " needs a value", false;
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--demo") {
            options.demo = true;
        } else if (arg == "--archive") {
            std::string dir;
            if (!value(dir)) return false;
            if (dir.empty()) return error = "--archive needs a folder", false;
            options.archiveDir = dir;
        } else if (arg == "--server-url") {
            std::string url;
            if (!value(url)) return false;
            options.serverUrl = url;
        } else if (arg == "--server-port") {
            std::string text;
            int port = 0;
            if (!value(text)) return false;
            if (!ParsePort(text, port)) return error = "--server-port takes a number from 1 to 65535, not \"" + text + "\"", false;
            options.serverPort = port;
        } else if (arg == "--link-delay-ms") {
            std::string text;
            if (!value(text)) return false;
            if (!ParseDelay(text, options.linkDelayMs))
                return error = "--link-delay-ms takes a number of milliseconds from 0 to 60000, not \"" + text + "\"", false;
        } else {
            error = "unknown option \"" + args[i] + "\" (see --help)";
            return false;
        }
    }
    if (options.demo && options.archiveDir) return error = "--demo and --archive exclude each other", false;
    if (options.linkDelayMs != 0 && !options.demo) return error = "--link-delay-ms works only with --demo", false;
    return true;
}

std::string HostUsage() {
    return "Usage: corvanta-archive [--server-url URL] [--server-port PORT]\n"
           "                        [--demo [--link-delay-ms N] | --archive DIR]\n"
           "       corvanta-archive --help | --version\n"
           "\n"
           "Opens a window with the Corvanta Archive control: log in to a recorder, browse\n"
           "its archive, play recordings, view a day's motion history, save snapshots.\n"
           "\n"
           "  --server-url URL    the recorder's address, e.g. http://192.0.2.10\n"
           "  --server-port PORT  the port of its HTTP server (1-65535; default 80)\n"
           "  --demo              start the built-in demo recorder on a free local port\n"
           "                      and use a demo profile of its own; log in as \"demo\",\n"
           "                      password \"demo\"\n"
           "  --link-delay-ms N   with --demo: the demo recorder delays every request by\n"
           "                      N ms (0-60000), as a recorder far away does\n"
           "  --archive DIR       serve the camera recordings under DIR with a built-in\n"
           "                      recorder on loopback and log in to it at once (see\n"
           "                      corvanta-recorder --help for the folder layouts)\n"
           "  --version           print the version\n"
           "\n"
           "Qt's own options (-platform, -style, -geometry, -reverse, ...) are passed on\n"
           "to Qt.\n"
           "\n"
           "The control is loaded from the module registered for the ProgID\n"
           "CORVANTAARCHIVE.CorvantaArchiveCtrl.1, or else from libcorvanta-archive.so\n"
           "beside this program. Settings and the window's geometry are kept under\n"
           "$XDG_CONFIG_HOME/corvanta/ (the demo's under $XDG_CONFIG_HOME/corvanta-demo/,\n"
           "those of --archive under $XDG_CONFIG_HOME/corvanta-folder/).\n";
}

}  // namespace corvanta::app
