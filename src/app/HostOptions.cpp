#include "app/HostOptions.h"

#include <charconv>

namespace corvanta::app {

namespace {

bool ParsePort(const std::string& text, int& port) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
    return ec == std::errc() && end == text.data() + text.size() && port >= 1 && port <= 65535;
}

}  // namespace

bool ParseHostOptions(const std::vector<std::string>& args, HostOptions& options, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
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
        } else {
            error = "unknown option \"" + args[i] + "\" (see --help)";
            return false;
        }
    }
    return true;
}

std::string HostUsage() {
    return "Usage: corvanta-archive [--server-url URL] [--server-port PORT] [--demo]\n"
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
           "  --version           print the version\n"
           "\n"
           "The control is loaded from the module registered for the ProgID\n"
           "CORVANTAARCHIVE.CorvantaArchiveCtrl.1, or else from libcorvanta-archive.so\n"
           "beside this program. Settings and the window's geometry are kept under\n"
           "$XDG_CONFIG_HOME/corvanta/ (the demo's under $XDG_CONFIG_HOME/corvanta-demo/).\n";
}

}  // namespace corvanta::app
