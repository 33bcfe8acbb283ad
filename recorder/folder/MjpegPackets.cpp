#include "recorder/folder/MjpegPackets.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
}

namespace corvanta::recorder::folder {
namespace {

constexpr uint8_t kMarker = 0xFF;
constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kHuffmanTable = 0xC4;
constexpr uint8_t kStartOfScan = 0xDA;

// Markers without a length field: TEM and the restart markers.
bool standalone(uint8_t marker) { return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7); }

bool isJpeg(const uint8_t* data, size_t size) {
    return data && size >= 4 && data[0] == kMarker && data[1] == kStartOfImage;
}

}  // namespace

bool definesHuffmanTables(const uint8_t* data, size_t size) {
    if (!isJpeg(data, size)) return false;
    size_t at = 2;
    while (at + 1 < size) {
        if (data[at] != kMarker) return false;
        // Any number of fill bytes may precede a marker.
        while (at + 1 < size && data[at + 1] == kMarker) ++at;
        if (at + 1 >= size) return false;
        const uint8_t marker = data[at + 1];
        if (marker == kHuffmanTable) return true;
        if (marker == kStartOfScan) return false;
        if (standalone(marker)) {
            at += 2;
            continue;
        }
        if (at + 3 >= size) return false;
        const size_t length = size_t(data[at + 2]) << 8 | data[at + 3];
        if (length < 2) return false;
        at += 2 + length;
    }
    return false;
}

MjpegPackets::MjpegPackets(const AVCodecParameters& stream) {
    const AVBitStreamFilter* bsf = av_bsf_get_by_name("mjpeg2jpeg");
    if (!bsf || av_bsf_alloc(bsf, &filter_) < 0) return;
    if (avcodec_parameters_copy(filter_->par_in, &stream) < 0 || av_bsf_init(filter_) < 0) {
        av_bsf_free(&filter_);
        return;
    }
    in_ = av_packet_alloc();
    out_ = av_packet_alloc();
}

MjpegPackets::~MjpegPackets() {
    av_bsf_free(&filter_);
    av_packet_free(&in_);
    av_packet_free(&out_);
}

std::string_view MjpegPackets::jpeg(const AVPacket& packet) {
    if (!isJpeg(packet.data, size_t(packet.size))) return {};
    const std::string_view stored(reinterpret_cast<const char*>(packet.data), size_t(packet.size));
    if (definesHuffmanTables(packet.data, size_t(packet.size)) || !filter_ || !in_ || !out_) return stored;
    av_packet_unref(out_);
    if (av_packet_ref(in_, &packet) < 0) return stored;
    if (av_bsf_send_packet(filter_, in_) < 0) {
        av_packet_unref(in_);
        return stored;
    }
    if (av_bsf_receive_packet(filter_, out_) < 0) return stored;
    return {reinterpret_cast<const char*>(out_->data), size_t(out_->size)};
}

}  // namespace corvanta::recorder::folder
