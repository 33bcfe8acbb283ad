#pragma once
// Owning handles for FFmpeg's objects and the few rules the probe and the
// frame reader must apply identically (which stream, what a frame's time is),
// so that frame N of the index is frame N of the reader.

#include <cstdint>
#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace corvanta::recorder::folder {

struct FormatCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;

// FFmpeg's text for an error code.
std::string avError(int code);

// A video file opened for reading with bounded probing, its best video
// stream chosen and every other stream discarded. Nothing (and `error` set)
// when it is not a video file this recorder serves.
struct OpenedInput {
    FormatPtr format;
    int stream = -1;
    AVStream* video() const { return format->streams[stream]; }
};
bool openInput(const std::string& path, OpenedInput& out, std::string* error);

// A decoder for the chosen stream.
CodecPtr openDecoder(const AVStream& stream, int threads, std::string* error);

// A packet's or frame's timestamp in the stream's time base: presentation
// time, else decode time (AVI often has only that); AV_NOPTS_VALUE if neither.
int64_t packetTime(const AVPacket& packet);

// Milliseconds of `ts` after `origin`, both in time base `tb`; rounded to the
// nearest millisecond, the same way wherever a frame's time is compared.
int64_t toMs(int64_t ts, int64_t origin, AVRational tb);
// The latest stream timestamp toMs() maps to `ms` (a seek target that
// does not fall short of the frame at `ms`).
int64_t fromMs(int64_t ms, int64_t origin, AVRational tb);

}  // namespace corvanta::recorder::folder
