#pragma once
// The JPEG pictures of an MJPEG stream as a JPEG decoder needs them.
// Capture cards write "AVI1" Motion-JPEG without Huffman tables, relying on
// the standard ones; such a picture is completed with them (FFmpeg's
// mjpeg2jpeg filter), everything else is left byte for byte as stored.

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" {
struct AVBSFContext;
struct AVCodecParameters;
struct AVPacket;
}

namespace corvanta::recorder::folder {

// Whether a JPEG defines Huffman tables before its first scan. Reads only
// the marker segments of the header, within `size`.
bool definesHuffmanTables(const uint8_t* data, size_t size);

class MjpegPackets {
public:
    explicit MjpegPackets(const AVCodecParameters& stream);
    ~MjpegPackets();
    MjpegPackets(const MjpegPackets&) = delete;
    MjpegPackets& operator=(const MjpegPackets&) = delete;

    // The packet's picture as a complete JPEG, valid until the next call;
    // empty when the packet is not a JPEG.
    std::string_view jpeg(const AVPacket& packet);

private:
    AVBSFContext* filter_ = nullptr;
    AVPacket* in_ = nullptr;
    AVPacket* out_ = nullptr;
};

}  // namespace corvanta::recorder::folder
