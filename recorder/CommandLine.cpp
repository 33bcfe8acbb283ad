#include "recorder/CommandLine.h"

#include <charconv>
#include <cstdio>

namespace corvanta::recorder {
namespace {

template <typename T>
bool parseNumber(const std::string& text, T& out, T min, T max) {
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size() || value < min || value > max) return false;
    out = value;
    return true;
}

bool parseShare(const std::string& text, double& out) {
    try {
        size_t used = 0;
        const double v = std::stod(text, &used);
        if (used != text.size() || !(v >= 0.0 && v <= 1.0)) return false;
        out = v;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool parseDate(const std::string& text, CivilDate& out) {
    int y = 0;
    unsigned m = 0, d = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%d-%u-%u%c", &y, &m, &d, &tail) != 3) return false;
    if (y < 1601 || y > 9999 || m < 1 || m > 12 || d < 1 || d > daysInMonth(y, m)) return false;
    out = CivilDate{y, m, d};
    return true;
}

bool isLoopback(const std::string& address) {
    return address == "localhost" || address == "::1" || address == "[::1]" || address.rfind("127.", 0) == 0;
}

}  // namespace

std::string usageText() {
    return R"(Usage: corvanta-recorder [options]

A stand-in for the CCTV recorder: serves a generated demo archive to the
archive viewer over HTTP ("GET /Filter?Message&SID=..&Name=..&Data=..").
Runs in the foreground until interrupted (SIGINT or SIGTERM).

Server:
  --bind ADDR            address to listen on (default 127.0.0.1)
  --port N               port to listen on (default 8080); 0 picks a free
                         port, which is printed at start
  --threads N            connections served at the same time (default 8)
  --users FILE           users allowed to log in, one "name:password" per
                         line ('#' starts a comment); without it the only
                         user is "demo" with the password "demo"
  --session-timeout SEC  idle seconds after which a session expires
                         (default 1800)
  -v, --verbose          log one line per request to standard error;
                         twice also notes what successful answers carried

Recordings (instead of the demo archive):
  --archive DIR          serve the camera recordings under DIR: folders
                         <camera>/<YYYY>/<MM>/<DD>/<HHMMSS>*.<ext>,
                         <YYYY-MM-DD>/<HH>/<camera>/<MM>.<SS>.<ext> or
                         <camera>/<name>.<ext>; needs --users unless bound
                         to loopback
  --index FILE           index database (default
                         $XDG_CACHE_HOME/corvanta/index.sqlite3)
  --index-threads N      threads indexing new files (default 2)
  --rescan-sec N         seconds between looks for new files (default 10)

Demo archive:
  --seed N               seed of the generated archive (default 1)
  --date YYYY-MM-DD      last day of the archive (default today)
  --quality N            JPEG quality of served frames, 1..100 (default 75)
  --cache-mb N           memory for encoded frames in MiB (default 128)
  --read-ahead N         frames encoded ahead of playback (default 8; 0 off)
  --encoders N           threads that encode ahead (default 2)

Fault injection (for reliability tests of the viewer):
  --delay-ms N           delay every request by N ms, as a slow link does:
                         requests on separate connections wait side by side
  --empty-share X        share 0..1 of requests answered with an empty body
  --garbage-share X      share 0..1 answered with bytes that are no record
  --truncate-share X     share 0..1 of frame answers whose JPEG is cut short
  --drop-share X         share 0..1 whose connection is closed unanswered
  --stall-after N        request N (1-based) starts a stall ...
  --stall-ms N           ... during which requests wait N ms
  --fault-seed N         seed of the fault decisions (default 1)

  -h, --help             show this text
)";
}

bool parseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error) {
    RecorderConfig& c = out.config;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& opt = args[i];
        auto value = [&](std::string& v) {
            if (i + 1 >= args.size()) {
                error = opt + " needs a value";
                return false;
            }
            v = args[++i];
            return true;
        };
        auto bad = [&](const std::string& v) {
            error = "bad value for " + opt + ": " + v;
            return false;
        };
        std::string v;
        if (opt == "-h" || opt == "--help") {
            out.help = true;
        } else if (opt == "-v" || opt == "--verbose") {
            ++c.verbosity;
        } else if (opt == "-vv") {
            c.verbosity += 2;
        } else if (opt == "--bind") {
            if (!value(v)) return false;
            if (v.empty()) return bad(v);
            c.bindAddress = v;
        } else if (opt == "--port") {
            if (!value(v)) return false;
            if (!parseNumber(v, c.port, 0, 65535)) return bad(v);
        } else if (opt == "--threads") {
            if (!value(v)) return false;
            if (!parseNumber(v, c.threads, 1u, 256u)) return bad(v);
        } else if (opt == "--users") {
            if (!value(v)) return false;
            out.usersFile = v;
        } else if (opt == "--session-timeout") {
            uint32_t secs = 0;
            if (!value(v)) return false;
            if (!parseNumber(v, secs, 1u, 7u * 86400u)) return bad(v);
            c.sessions.idleTimeoutMs = secs * 1000;
        } else if (opt == "--seed") {
            if (!value(v)) return false;
            if (!parseNumber(v, c.seed, uint64_t{0}, ~uint64_t{0})) return bad(v);
        } else if (opt == "--date") {
            CivilDate d;
            if (!value(v)) return false;
            if (!parseDate(v, d)) return bad(v);
            c.anchorDate = d;
        } else if (opt == "--quality") {
            if (!value(v)) return false;
            if (!parseNumber(v, c.frames.quality, 1, 100)) return bad(v);
        } else if (opt == "--cache-mb") {
            size_t mb = 0;
            if (!value(v)) return false;
            if (!parseNumber(v, mb, size_t{1}, size_t{65536})) return bad(v);
            c.frames.cacheBytes = mb << 20;
        } else if (opt == "--read-ahead") {
            if (!value(v)) return false;
            if (!parseNumber(v, c.frames.readAhead, 0u, 256u)) return bad(v);
        } else if (opt == "--encoders") {
            if (!value(v)) return false;
            if (!parseNumber(v, c.frames.encoders, 1u, 64u)) return bad(v);
        } else if (opt == "--delay-ms") {
            if (!value(v)) return false;
            if (!parseNumber(v, c.faults.delayMs, 0u, 600000u)) return bad(v);
        } else if (opt == "--empty-share") {
            if (!value(v)) return false;
            if (!parseShare(v, c.faults.emptyShare)) return bad(v);
        } else if (opt == "--garbage-share") {
            if (!value(v)) return false;
            if (!parseShare(v, c.faults.garbageShare)) return bad(v);
        } else if (opt == "--truncate-share") {
            if (!value(v)) return false;
            if (!parseShare(v, c.faults.truncatedJpegShare)) return bad(v);
        } else if (opt == "--drop-share") {
            if (!value(v)) return false;
            if (!parseShare(v, c.faults.dropShare)) return bad(v);
        } else if (opt == "--stall-after") {
            if (!value(v)) return false;
            if (!parseNumber(v, c.faults.stallAfterRequests, 0u, ~0u)) return bad(v);
        } else if (opt == "--stall-ms") {
            if (!value(v)) return false;
            if (!parseNumber(v, c.faults.stallMs, 0u, 3600000u)) return bad(v);
        } else if (opt == "--fault-seed") {
            if (!value(v)) return false;
            if (!parseNumber(v, c.faults.seed, uint64_t{0}, ~uint64_t{0})) return bad(v);
        } else if (opt == "--archive") {
            if (!value(v)) return false;
            if (v.empty()) return bad(v);
            c.folder.dir = v;
        } else if (opt == "--index") {
            if (!value(v)) return false;
            if (v.empty()) return bad(v);
            c.folder.indexFile = v;
        } else if (opt == "--index-threads") {
            if (!value(v)) return false;
            if (!parseNumber(v, c.folder.indexThreads, 1u, 64u)) return bad(v);
        } else if (opt == "--rescan-sec") {
            if (!value(v)) return false;
            if (!parseNumber(v, c.folder.rescanSeconds, 1u, 86400u)) return bad(v);
        } else {
            error = "unknown option " + opt + " (see --help)";
            return false;
        }
    }
    if (!c.folder.dir.empty() && out.usersFile.empty() && !isLoopback(c.bindAddress)) {
        error = "--archive with --bind " + c.bindAddress +
                " needs --users: the demo password must not guard real recordings on a network";
        return false;
    }
    return true;
}

}  // namespace corvanta::recorder
