#include "recorder/folder/JpegTranscoder.h"

#include <turbojpeg.h>

#include <algorithm>

namespace corvanta::recorder::folder {
namespace {

constexpr int kLowestQuality = 10;

tjhandle handle(void* h) { return static_cast<tjhandle>(h); }

uint32_t evenDown(uint32_t v) { return v > 2 ? v & ~1u : v; }

}  // namespace

JpegTranscoder::JpegTranscoder(int quality, size_t maxJpegBytes)
    : compressor_(tjInitCompress()),
      decompressor_(tjInitDecompress()),
      quality_(quality),
      maxJpegBytes_(maxJpegBytes) {}

JpegTranscoder::~JpegTranscoder() {
    if (compressor_) tjDestroy(handle(compressor_));
    if (decompressor_) tjDestroy(handle(decompressor_));
}

PictureSize JpegTranscoder::fitByDctScale(PictureSize size, PictureSize limit) {
    if (size.width <= limit.width && size.height <= limit.height) return size;
    const PictureSize scaled = dctScaled(size, limit);
    return {evenDown(scaled.width), evenDown(scaled.height)};
}

PictureSize JpegTranscoder::dctScaled(PictureSize size, PictureSize limit) {
    if (size.width <= limit.width && size.height <= limit.height) return size;
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    // The list runs from the largest factor down; the smallest is 1/8.
    PictureSize best{uint32_t(TJSCALED(int(size.width), (tjscalingfactor{1, 8}))),
                     uint32_t(TJSCALED(int(size.height), (tjscalingfactor{1, 8})))};
    for (int i = 0; factors && i < count; ++i) {
        if (factors[i].num > factors[i].denom) continue;
        const uint32_t w = uint32_t(TJSCALED(int(size.width), factors[i]));
        const uint32_t h = uint32_t(TJSCALED(int(size.height), factors[i]));
        if (w <= limit.width && h <= limit.height) {
            best = {w, h};
            break;
        }
    }
    return best;
}

std::string JpegTranscoder::encodePlanes(const uint8_t* const planes[3], const int strides[3], PictureSize size,
                                         int subsampling) {
    std::string jpeg;
    if (!compressor_ || size.width == 0 || size.height == 0) return jpeg;
    // Lower the quality step by step until the JPEG fits the byte limit.
    for (int quality = quality_;; quality = quality * 2 / 3) {
        quality = std::max(quality, kLowestQuality);
        unsigned char* out = nullptr;
        unsigned long bytes = 0;
        const int rc = tjCompressFromYUVPlanes(handle(compressor_), const_cast<const unsigned char**>(planes),
                                               int(size.width), strides, int(size.height), subsampling, &out, &bytes,
                                               quality, TJFLAG_FASTDCT);
        if (rc == 0 && out) jpeg.assign(reinterpret_cast<const char*>(out), bytes);
        tjFree(out);
        if (rc != 0) return {};
        if (withinByteLimit(jpeg.size()) || quality == kLowestQuality) return jpeg;
    }
}

std::optional<std::string> JpegTranscoder::reencode(const uint8_t* jpeg, size_t bytes, PictureSize limit) {
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (!decompressor_ || tjDecompressHeader3(handle(decompressor_), jpeg, static_cast<unsigned long>(bytes), &width,
                                              &height, &subsampling, &colorspace) != 0)
        return std::nullopt;
    if (width <= 0 || height <= 0) return std::nullopt;
    // Decoded at the scale (TurboJPEG picks it from the size asked for),
    // encoded from the planes cropped to the even size.
    const PictureSize scaled = dctScaled({uint32_t(width), uint32_t(height)}, limit);
    const PictureSize fit = fitByDctScale({uint32_t(width), uint32_t(height)}, limit);
    const int scaledW = int(scaled.width), scaledH = int(scaled.height);
    const int planeCount = subsampling == TJSAMP_GRAY ? 1 : 3;
    int strides[3] = {0, 0, 0};
    size_t offsets[3] = {0, 0, 0}, total = 0;
    for (int p = 0; p < planeCount; ++p) {
        strides[p] = tjPlaneWidth(p, scaledW, subsampling);
        offsets[p] = total;
        total += size_t(tjPlaneSizeYUV(p, scaledW, strides[p], scaledH, subsampling));
    }
    planeBuffer_.resize(total);
    uint8_t* planes[3] = {planeBuffer_.data() + offsets[0], planeBuffer_.data() + offsets[1],
                          planeBuffer_.data() + offsets[2]};
    if (tjDecompressToYUVPlanes(handle(decompressor_), jpeg, static_cast<unsigned long>(bytes), planes, scaledW,
                                strides, scaledH, TJFLAG_FASTDCT) != 0)
        return std::nullopt;
    const uint8_t* const in[3] = {planes[0], planes[1], planes[2]};
    std::string out = encodePlanes(in, strides, fit, subsampling);
    if (out.empty()) return std::nullopt;
    return out;
}

}  // namespace corvanta::recorder::folder
