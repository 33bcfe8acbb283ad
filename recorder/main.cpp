// corvanta-recorder: the recorder stand-in in the foreground.

#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "recorder/CommandLine.h"
#include "recorder/RecorderServer.h"
#include "recorder/folder/FolderArchive.h"

using namespace corvanta::recorder;

int main(int argc, char** argv) {
    CommandLine cl;
    std::string error;
    if (!parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), cl, error)) {
        std::cerr << "corvanta-recorder: " << error << '\n';
        return 2;
    }
    if (cl.help) {
        std::cout << usageText();
        return 0;
    }
    if (!cl.usersFile.empty()) {
        std::ifstream in(cl.usersFile);
        if (!in) {
            std::cerr << "corvanta-recorder: cannot read " << cl.usersFile << '\n';
            return 2;
        }
        std::stringstream text;
        text << in.rdbuf();
        auto users = parseUsers(text.str(), &error);
        if (!users) {
            std::cerr << "corvanta-recorder: " << cl.usersFile << ": " << error << '\n';
            return 2;
        }
        cl.config.users = std::move(*users);
    }

    // Block the stop signals before any thread starts, so every thread
    // inherits the mask and only sigwait below sees them. A shell starts
    // background jobs with SIGINT ignored, and an ignored signal never
    // reaches sigwait, so the default action is restored first.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    RecorderServer server(cl.config);
    if (!server.start(&error)) {
        std::cerr << "corvanta-recorder: " << error << '\n';
        return 1;
    }
    std::printf("corvanta-recorder listening on %s (port %d)\n", server.baseUrl().c_str(), server.port());
    if (const folder::FolderArchive* folder = server.folderArchive()) {
        std::printf("recordings in %s: %zu cameras, %zu files served so far; index %s\n", cl.config.folder.dir.c_str(),
                    folder->cameras(), folder->servedFiles(), folder->indexPath().c_str());
    } else {
        const DemoArchive& archive = server.archive();
        const CivilDate first = archive.firstDay(), last = archive.anchor();
        std::printf("demo archive: seed %llu, %04d-%02u-%02u to %04d-%02u-%02u, %zu sources, %zu files\n",
                    static_cast<unsigned long long>(archive.seed()), first.year, first.month, first.day, last.year,
                    last.month, last.day, archive.sources().size(), archive.recordingCount());
    }
    std::printf("users:");
    for (const UserAccount& u : cl.config.users) std::printf(" %s", u.name.c_str());
    std::printf("\n");
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    std::printf("corvanta-recorder: signal %d, stopping\n", signal);
    std::fflush(stdout);
    server.stop();
    const RecorderStats stats = server.stats();
    std::printf("corvanta-recorder: served %llu requests (%llu refused, %llu faulted)\n",
                static_cast<unsigned long long>(stats.requests), static_cast<unsigned long long>(stats.refused),
                static_cast<unsigned long long>(stats.faulted));
    return 0;
}
