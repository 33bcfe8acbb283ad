#include "imaging/ScaledJpeg.h"

#include <turbojpeg.h>

#include <memory>

namespace corvanta {
namespace {

// One decompressor per thread: making one allocates the codec's pools.
tjhandle ThreadDecompressor() {
    thread_local std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitDecompress(), tjDestroy);
    return handle.get();
}

// The factor that reduces most while the width stays at least `minWidth`;
// none reduces a picture already narrower.
tjscalingfactor ChooseScale(int width, int minWidth) {
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    tjscalingfactor best{1, 1};
    for (int i = 0; factors && i < count; ++i) {
        const tjscalingfactor f = factors[i];
        if (f.num > f.denom) continue;
        const int scaled = TJSCALED(width, f);
        if (scaled >= minWidth && scaled < TJSCALED(width, best)) best = f;
    }
    return best;
}

}  // namespace

std::optional<ScaledPicture> DecodeJpegScaled(const uint8_t* bytes, uint32_t size, int32_t minWidth,
                                              uint32_t maxPixels) {
    tjhandle tj = ThreadDecompressor();
    if (!tj || !bytes || size == 0) return std::nullopt;
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    if (tjDecompressHeader3(tj, bytes, size, &width, &height, &subsampling, &colourspace) != 0 || width <= 0 ||
        height <= 0)
        return std::nullopt;
    const tjscalingfactor scale = ChooseScale(width, minWidth);
    ScaledPicture picture;
    picture.width = TJSCALED(width, scale);
    picture.height = TJSCALED(height, scale);
    if (uint64_t{uint32_t(picture.width)} * uint32_t(picture.height) > maxPixels) return std::nullopt;
    picture.rgb.resize(size_t(picture.width) * size_t(picture.height) * 3);
    // Warnings count as failures: a cut-off frame would show a grey lower part.
    if (tjDecompress2(tj, bytes, size, picture.rgb.data(), picture.width, 0, picture.height, TJPF_RGB,
                      TJFLAG_STOPONWARNING) != 0)
        return std::nullopt;
    return picture;
}

}  // namespace corvanta
