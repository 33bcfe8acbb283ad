#pragma once
// Baseline JPEG encoding through libjpeg-turbo's TurboJPEG interface.

#include <cstdint>
#include <string>

namespace corvanta::recorder {

class JpegEncoder {
public:
    JpegEncoder();
    ~JpegEncoder();
    JpegEncoder(const JpegEncoder&) = delete;
    JpegEncoder& operator=(const JpegEncoder&) = delete;

    // Encodes packed RGB, top row first, with 4:2:0 chroma. Returns the JPEG
    // bytes, or an empty string when the library refuses the picture.
    std::string encode(const uint8_t* rgb, uint32_t width, uint32_t height, int quality);

private:
    void* handle_;
};

}  // namespace corvanta::recorder
