// DecodeJpeg on arbitrary bytes: it must return 0 or a picture that fits,
// never write past the capacity it was given, never crash or hang. The
// scaled decoder of previews gets the same bytes: nothing, or a picture
// whose pixels fill its buffer exactly.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/JpegImage.h"
#include "imaging/ScaledJpeg.h"

namespace {

constexpr uint32_t kCapacity = 1 << 20;  // room for about 580 x 580 pixels
constexpr uint32_t kGuard = 64;
constexpr uint8_t kGuardByte = 0x5A;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // One buffer for the whole run, as a proxy keeps its answer region.
    static std::vector<uint8_t> output(kCapacity + kGuard, kGuardByte);
    if (size == 0 || size > UINT32_MAX) {
        return 0;
    }
    // A copy of exactly `size` bytes so that reading past the input is caught.
    std::vector<uint8_t> input(data, data + size);
    uint32_t length = static_cast<uint32_t>(size);
    const int32_t result = corvanta::DecodeJpeg(input.data(), length, output.data(), kCapacity);
    if (result == 1) {
        if (length == 0 || length > kCapacity || length % 3 != 0) {
            std::abort();
        }
    } else if (result != 0 || length != size) {
        std::abort();
    }
    for (uint32_t i = kCapacity; i < kCapacity + kGuard; ++i) {
        if (output[i] != kGuardByte) {
            std::abort();
        }
    }
    const auto preview = corvanta::DecodeJpegScaled(input.data(), static_cast<uint32_t>(size), 160, kCapacity / 3);
    if (preview && (preview->width <= 0 || preview->height <= 0 ||
                    preview->rgb.size() != size_t(preview->width) * size_t(preview->height) * 3)) {
        std::abort();
    }
    return 0;
}
