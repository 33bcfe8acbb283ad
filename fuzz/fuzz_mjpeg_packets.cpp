// The MJPEG packet check on arbitrary bytes: the header walk stays within
// the packet, and completing a table-less picture never crashes.

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "recorder/folder/MjpegPackets.h"

using corvanta::recorder::folder::definesHuffmanTables;
using corvanta::recorder::folder::MjpegPackets;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 24)) return 0;
    // A copy of exactly `size` bytes so that reading past the input is caught.
    std::vector<uint8_t> input(data, data + size);
    definesHuffmanTables(input.data(), input.size());

    static AVCodecParameters* parameters = [] {
        AVCodecParameters* p = avcodec_parameters_alloc();
        p->codec_type = AVMEDIA_TYPE_VIDEO;
        p->codec_id = AV_CODEC_ID_MJPEG;
        return p;
    }();
    static MjpegPackets packets(*parameters);
    AVPacket* packet = av_packet_alloc();
    if (av_new_packet(packet, int(size)) == 0) {
        if (size) std::memcpy(packet->data, data, size);
        const std::string_view jpeg = packets.jpeg(*packet);
        if (!jpeg.empty() && (uint8_t(jpeg[0]) != 0xFF || uint8_t(jpeg[1]) != 0xD8)) __builtin_trap();
    }
    av_packet_free(&packet);
    return 0;
}
