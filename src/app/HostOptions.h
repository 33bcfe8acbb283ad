#pragma once
// The reference host's command line.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvanta::app {

struct HostOptions {
    bool help = false;
    bool version = false;
    bool demo = false;
    std::optional<std::string> archiveDir;  // a folder of recordings served by an in-process recorder
    std::optional<std::string> serverUrl;
    std::optional<int> serverPort;
    // Added by the demo recorder to every request, as a distant recorder's link would.
    uint32_t linkDelayMs = 0;
};

// Fills `options` from the arguments after the program name; false with a
// one-line `error` for an unknown option, a missing value, or a port that is
// not a whole number from 1 to 65535, or a link delay without --demo. Qt's own options (-platform, -style,
// -geometry, ... with their values) are skipped: QApplication takes them.
bool ParseHostOptions(const std::vector<std::string>& args, HostOptions& options, std::string& error);

std::string HostUsage();

}  // namespace corvanta::app
