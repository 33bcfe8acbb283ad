#include "recorder/JpegEncoder.h"

#include <turbojpeg.h>

namespace corvanta::recorder {

JpegEncoder::JpegEncoder() : handle_(tjInitCompress()) {}

JpegEncoder::~JpegEncoder() {
    if (handle_) tjDestroy(static_cast<tjhandle>(handle_));
}

std::string JpegEncoder::encode(const uint8_t* rgb, uint32_t width, uint32_t height, int quality) {
    if (!handle_ || width == 0 || height == 0) return {};
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int rc = tjCompress2(static_cast<tjhandle>(handle_), rgb, static_cast<int>(width), 0,
                               static_cast<int>(height), TJPF_RGB, &out, &size, TJSAMP_420, quality, TJFLAG_FASTDCT);
    std::string jpeg;
    if (rc == 0 && out) jpeg.assign(reinterpret_cast<const char*>(out), size);
    tjFree(out);
    return jpeg;
}

}  // namespace corvanta::recorder
