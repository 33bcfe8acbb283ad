#pragma once
// The recorder stand-in in the test process, logged in over a raw channel,
// and what ffprobe says about a written file.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "playback/export/ExportJob.h"
#include "recorder/RecorderServer.h"
#include "remote/RawRecorderChannel.h"
#include "services/UserAccessRecords.h"

namespace corvanta::test {

// Output of a shell command; empty when it could not run.
inline std::string CommandOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

// "key=value" lines of ffprobe about the first video stream and the container.
inline std::map<std::string, std::string> Probe(const std::string& path) {
    const std::string out = CommandOutput(
        "ffprobe -v error -count_packets -select_streams v:0 -show_entries "
        "stream=codec_name,width,height,nb_read_packets,pix_fmt:format=duration,format_name -of default=nw=1 '" +
        path + "'");
    std::map<std::string, std::string> values;
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find('\n', start);
        if (end == std::string::npos) end = out.size();
        const std::string line = out.substr(start, end - start);
        const size_t eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
        start = end + 1;
    }
    return values;
}

class TempFolder {
public:
    TempFolder() {
        char name[] = "/tmp/corvanta-export-XXXXXX";
        if (mkdtemp(name)) m_path = name;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }
    size_t Entries() const {
        std::error_code ec;
        size_t n = 0;
        for (auto it = std::filesystem::directory_iterator(m_path, ec); !ec && it != std::filesystem::directory_iterator();
             ++it)
            ++n;
        return n;
    }

private:
    std::string m_path;
};

class RecorderFixture : public ::testing::Test {
protected:
    void SetUp() override { Serve(8); }

    // A stand-in serving `threads` connections at once, and a session on it.
    void Serve(unsigned threads) {
        server.reset();
        server = std::make_unique<recorder::RecorderServer>(recorder::RecorderConfig{
            .port = 0, .threads = threads, .seed = 7, .anchorDate = recorder::CivilDate{2024, 3, 2},
            .frames = {.readAhead = 4}, .folder = {}, .sessions = {}, .faults = {},
            .log = [](const std::string&) {}});
        ASSERT_TRUE(server->start());
        CRawRecorderChannel channel(server->baseUrl(), "");
        LoginRecord login{"demo", "demo", {}, 1};
        std::strcpy(login.userKind, kLoginUserKind);
        ASSERT_TRUE(channel.Command(kUserPrivilegeFilterName, kPrivilegeLogIn, 0, 0,
                                    {reinterpret_cast<const uint8_t*>(&login), sizeof login}));
        const auto id = channel.Data();
        session.assign(reinterpret_cast<const char*>(id.data()), strnlen(reinterpret_cast<const char*>(id.data()), id.size()));
        ASSERT_FALSE(session.empty());
    }

    const recorder::DemoSource& Source(const std::string& id) const {
        for (const recorder::DemoSource& s : server->archive().sources())
            if (s.id == id) return s;
        throw std::runtime_error("no source " + id);
    }
    // The whole file as one piece.
    ExportPiece Piece(const recorder::Recording& rec) const {
        ExportPiece piece;
        piece.fileName = rec.fileName;
        piece.sourceId = server->archive().sources()[rec.source].id;
        piece.start = recorder::toSystemTime(rec.start);
        piece.stop = recorder::toSystemTime(rec.stop);
        piece.firstFrame = 0;
        piece.lastFrame = rec.frameCount - 1;
        return piece;
    }
    ExportJob Job(std::vector<ExportPiece> pieces, const std::string& path, ExportFormat format) const {
        ExportJob job;
        job.serverUrl = server->baseUrl();
        job.sessionId = session;
        job.pieces = std::move(pieces);
        job.outputPath = path;
        job.format = format;
        return job;
    }

    std::unique_ptr<recorder::RecorderServer> server;
    std::string session;
};

}  // namespace corvanta::test
