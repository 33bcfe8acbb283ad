// DecodeJpeg against plain TurboJPEG decoding of the same bytes into the
// same kind of buffer (bottom-up BGR). Rounds alternate between the two so
// that both see the same machine load; the median of the per-round ratios
// is reported. Last line: decode_ratio_1600=<x> decode_ratio_704=<y>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include <turbojpeg.h>

#include "imaging/JpegImage.h"

namespace {

using Clock = std::chrono::steady_clock;

// A camera-like frame: smooth shapes plus sensor noise, so that the
// entropy-coded data has a realistic size (about 1 bit per pixel at q75).
std::vector<uint8_t> Frame(int width, int height) {
    std::vector<uint8_t> pixels(size_t(width) * height * 3);
    std::mt19937 noise(42);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double v = 128 + 60 * std::sin(x * 0.05) * std::cos(y * 0.03);
            uint8_t* p = &pixels[(size_t(y) * width + x) * 3];
            p[0] = uint8_t(std::clamp(v + double(noise() % 24), 0.0, 255.0));
            p[1] = uint8_t(std::clamp(0.8 * v + double((x / 40 + y / 40) % 2 * 50), 0.0, 255.0));
            p[2] = uint8_t(std::clamp(0.6 * v + double(noise() % 12), 0.0, 255.0));
        }
    }
    return pixels;
}

double Ratio(int width, int height, int rounds, int perRound, double* oursMs) {
    const std::vector<uint8_t> pixels = Frame(width, height);
    tjhandle compressor = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long jpegSize = 0;
    tjCompress2(compressor, pixels.data(), width, 0, height, TJPF_BGR, &jpeg, &jpegSize, TJSAMP_420, 75, 0);
    tjDestroy(compressor);

    std::vector<uint8_t> output(size_t(width) * height * 3);
    tjhandle decompressor = tjInitDecompress();
    std::vector<double> ratios, ours;
    for (int round = 0; round < rounds; ++round) {
        const auto t0 = Clock::now();
        for (int i = 0; i < perRound; ++i) {
            tjDecompress2(decompressor, jpeg, jpegSize, output.data(), width, 0, height, TJPF_BGR, TJFLAG_BOTTOMUP);
        }
        const auto t1 = Clock::now();
        for (int i = 0; i < perRound; ++i) {
            uint32_t size = uint32_t(jpegSize);
            if (!corvanta::DecodeJpeg(jpeg, size, output.data(), uint32_t(output.size()))) {
                std::fprintf(stderr, "decode failed\n");
                std::exit(1);
            }
        }
        const auto t2 = Clock::now();
        const double plain = std::chrono::duration<double>(t1 - t0).count();
        const double mine = std::chrono::duration<double>(t2 - t1).count();
        ratios.push_back(mine / plain);
        ours.push_back(mine * 1000.0 / perRound);
    }
    tjDestroy(decompressor);
    tjFree(jpeg);
    std::sort(ratios.begin(), ratios.end());
    std::sort(ours.begin(), ours.end());
    *oursMs = ours[ours.size() / 2];
    return ratios[ratios.size() / 2];
}

}  // namespace

int main() {
    double ms1600 = 0, ms704 = 0;
    const double r1600 = Ratio(1600, 1200, 9, 20, &ms1600);
    const double r704 = Ratio(704, 576, 9, 60, &ms704);
    std::printf("decode_ms_1600=%.3f decode_ms_704=%.3f\n", ms1600, ms704);
    std::printf("decode_ratio_1600=%.3f decode_ratio_704=%.3f\n", r1600, r704);
    return 0;
}
