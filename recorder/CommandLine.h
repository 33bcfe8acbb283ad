#pragma once
// Command-line options of corvanta-recorder.

#include <string>
#include <vector>

#include "recorder/RecorderServer.h"

namespace corvanta::recorder {

struct CommandLine {
    RecorderConfig config;
    std::string usersFile;  // empty: the built-in demo user
    bool help = false;
};

// Parses the arguments after the program name. Returns false and sets
// `error` for an unknown option or a bad value.
bool parseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error);

// The text --help prints: every option with its default.
std::string usageText();

}  // namespace corvanta::recorder
