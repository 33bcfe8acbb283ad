#pragma once
// Small camera recordings made with the ffmpeg command at test time, and
// what ffmpeg's own tools say about them, to check the recorder against.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace corvanta::test {

inline std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

inline std::string CommandOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[65536];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

// `ffmpeg <input and codec options> <path>`; the folders are made first.
inline bool MakeVideo(const std::string& path, const std::string& options) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    const std::string command = "ffmpeg -v error -nostdin -y " + options + " " + Quoted(path);
    const int status = std::system(command.c_str());
    EXPECT_EQ(status, 0) << command;
    return status == 0;
}

// Frames ffprobe decodes from the first video stream.
inline int ProbedFrameCount(const std::string& path) {
    const std::string out = CommandOutput("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                          "stream=nb_read_frames -of csv=p=0 " + Quoted(path));
    return out.empty() ? -1 : std::atoi(out.c_str());
}

// Frame `index` as ffmpeg decodes it, scaled to width x height grey bytes.
inline std::vector<uint8_t> FfmpegGreyFrame(const std::string& path, int index, int width, int height) {
    const std::string out = CommandOutput("ffmpeg -v error -nostdin -i " + Quoted(path) + " -vf 'select=eq(n\\," +
                                          std::to_string(index) + "),scale=" + std::to_string(width) + ":" +
                                          std::to_string(height) +
                                          "' -vsync 0 -frames:v 1 -pix_fmt gray -f rawvideo -");
    return {out.begin(), out.end()};
}

inline double MeanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size() || a.empty()) return 1e9;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(a.size());
}

// Input options for `seconds` of a moving test picture.
inline std::string MovingSource(int width, int height, int fps, int seconds) {
    return "-f lavfi -i testsrc2=size=" + std::to_string(width) + "x" + std::to_string(height) +
           ":rate=" + std::to_string(fps) + ":duration=" + std::to_string(seconds);
}

inline const char* kMjpegAvi = "-c:v mjpeg -q:v 5 -pix_fmt yuvj420p";
inline const char* kH264 = "-c:v libx264 -preset ultrafast -bf 2 -g 50 -pix_fmt yuv420p";

}  // namespace corvanta::test
