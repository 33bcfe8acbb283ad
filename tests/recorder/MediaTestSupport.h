#pragma once
// Small video files made with the ffmpeg command at test time, ffmpeg's own
// reading of them (frame counts, decoded frames) as the reference, and grey
// thumbnails to compare pictures with.

#include <gtest/gtest.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace corvanta::recorder::test {

using Grey = std::vector<uint8_t>;

// A directory removed with everything in it at the end of the test.
class MediaDir {
public:
    MediaDir() {
        char tmpl[] = "/tmp/corvanta-media-XXXXXX";
        if (mkdtemp(tmpl)) path_ = tmpl;
    }
    ~MediaDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    MediaDir(const MediaDir&) = delete;
    MediaDir& operator=(const MediaDir&) = delete;

    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline std::string commandOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buf[65536];
        for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) out.append(buf, n);
        pclose(pipe);
    }
    return out;
}

// Runs ffmpeg with `arguments` writing `out` (a file, or a numbered
// pattern); a failing command fails the test.
inline void makeVideo(const std::string& arguments, const std::string& out) {
    const std::string command = "ffmpeg -nostdin -v error -y " + arguments + " '" + out + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    if (out.find('%') == std::string::npos) {
        ASSERT_TRUE(std::filesystem::exists(out)) << command;
    }
}

// A moving test picture (the whole picture scrolls, so neighbouring frames differ).
inline std::string movingSource(const std::string& size, int seconds, int rate = 25) {
    return "-f lavfi -i testsrc2=size=" + size + ":rate=" + std::to_string(rate) + ",scroll=h=0.005 -t " +
           std::to_string(seconds);
}

// Frames ffmpeg decodes from the file, as ffprobe counts them.
inline uint32_t ffprobeFrameCount(const std::string& path) {
    const std::string out = commandOutput(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 '" +
        path + "'");
    return uint32_t(std::strtoul(out.c_str(), nullptr, 10));
}

// Every frame ffmpeg decodes, in order, as grey pictures of width x height.
inline std::vector<Grey> ffmpegGreyFrames(const std::string& path, uint32_t width, uint32_t height) {
    const std::string size = std::to_string(width) + ":" + std::to_string(height);
    const std::string raw = commandOutput("ffmpeg -nostdin -v error -i '" + path +
                                          "' -fps_mode passthrough -vf scale=" + size + " -pix_fmt gray -f rawvideo -");
    const size_t frameBytes = size_t(width) * height;
    std::vector<Grey> frames;
    for (size_t at = 0; at + frameBytes <= raw.size(); at += frameBytes)
        frames.emplace_back(raw.begin() + long(at), raw.begin() + long(at + frameBytes));
    return frames;
}

struct DecodedJpeg {
    uint32_t width = 0;
    uint32_t height = 0;
    Grey grey;
};

inline std::optional<DecodedJpeg> decodeGrey(const std::string& jpeg) {
    tjhandle h = tjInitDecompress();
    int w = 0, hgt = 0, sub = 0, cs = 0;
    std::optional<DecodedJpeg> out;
    const auto* data = reinterpret_cast<const unsigned char*>(jpeg.data());
    if (tjDecompressHeader3(h, data, jpeg.size(), &w, &hgt, &sub, &cs) == 0) {
        DecodedJpeg d{uint32_t(w), uint32_t(hgt), Grey(size_t(w) * size_t(hgt))};
        if (tjDecompress2(h, data, jpeg.size(), d.grey.data(), w, w, hgt, TJPF_GRAY, 0) == 0) out = std::move(d);
    }
    tjDestroy(h);
    return out;
}

// Mean absolute difference of 4x4-box thumbnails of two grey pictures of one size.
inline double thumbnailDifference(const Grey& a, const Grey& b, uint32_t width, uint32_t height) {
    constexpr uint32_t kBox = 4;
    const uint32_t tw = width / kBox, th = height / kBox;
    if (a.size() < size_t(width) * height || b.size() < size_t(width) * height || tw == 0 || th == 0) return 255.0;
    double total = 0;
    for (uint32_t ty = 0; ty < th; ++ty)
        for (uint32_t tx = 0; tx < tw; ++tx) {
            int sa = 0, sb = 0;
            for (uint32_t y = ty * kBox; y < (ty + 1) * kBox; ++y)
                for (uint32_t x = tx * kBox; x < (tx + 1) * kBox; ++x) {
                    sa += a[size_t(y) * width + x];
                    sb += b[size_t(y) * width + x];
                }
            total += std::abs(sa - sb) / double(kBox * kBox);
        }
    return total / (double(tw) * th);
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace corvanta::recorder::test
