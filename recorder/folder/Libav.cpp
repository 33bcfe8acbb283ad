#include "recorder/folder/Libav.h"

#include <array>
#include <mutex>
#include <string_view>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace corvanta::recorder::folder {
namespace {

// Enough to find the streams of any camera file; a damaged file must not
// make the probe read it all before giving up.
constexpr const char* kProbeSize = "5000000";
constexpr const char* kAnalyzeDurationUs = "5000000";
constexpr int kMaxDimension = 16384;

// FFmpeg's frame threads hand pictures over through atomics in the
// uninstrumented library, which ThreadSanitizer cannot see and reports as
// races; under it the decoder runs on the caller's thread.
#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool kThreadSanitizer = true;
#else
constexpr bool kThreadSanitizer = false;
#endif
#else
constexpr bool kThreadSanitizer = false;
#endif

// Codecs cameras and recording software write. FFmpeg reads much more (text
// as "ansi" video, single pictures as one-frame videos); none of that is a
// recording.
constexpr std::array kServedCodecs{
    AV_CODEC_ID_H264,       AV_CODEC_ID_HEVC,     AV_CODEC_ID_MPEG4,   AV_CODEC_ID_MJPEG,
    AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_MPEG1VIDEO, AV_CODEC_ID_H263,  AV_CODEC_ID_MSMPEG4V3,
    AV_CODEC_ID_VP8,        AV_CODEC_ID_VP9,      AV_CODEC_ID_AV1,
};

bool servedCodec(AVCodecID id) {
    for (AVCodecID c : kServedCodecs)
        if (c == id) return true;
    return false;
}

bool pictureFormat(const AVInputFormat* format) {
    const std::string_view name = format->name;
    return name.starts_with("image2") || name.ends_with("_pipe");
}

// FFmpeg's own complaints about damaged files would drown the recorder's
// notes on standard error; the error text handed back says what went wrong.
void quietLibraries() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_FATAL); });
}

bool fail(std::string* error, std::string text) {
    if (error) *error = std::move(text);
    return false;
}

}  // namespace

std::string avError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

bool openInput(const std::string& path, OpenedInput& out, std::string* error) {
    quietLibraries();
    AVDictionary* options = nullptr;
    av_dict_set(&options, "probesize", kProbeSize, 0);
    av_dict_set(&options, "analyzeduration", kAnalyzeDurationUs, 0);
    AVFormatContext* raw = nullptr;
    const int rc = avformat_open_input(&raw, path.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (rc < 0) return fail(error, "cannot open: " + avError(rc));
    FormatPtr format(raw);
    if (pictureFormat(format->iformat)) return fail(error, "a picture, not a video");
    const int info = avformat_find_stream_info(format.get(), nullptr);
    if (info < 0) return fail(error, "no stream information: " + avError(info));
    const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream < 0) return fail(error, "no video stream");
    const AVCodecParameters* par = format->streams[stream]->codecpar;
    if (!servedCodec(par->codec_id))
        return fail(error, std::string("unsupported codec ") + avcodec_get_name(par->codec_id));
    if (par->width <= 0 || par->height <= 0 || par->width > kMaxDimension || par->height > kMaxDimension)
        return fail(error, "no usable picture size");
    for (unsigned i = 0; i < format->nb_streams; ++i)
        if (int(i) != stream) format->streams[i]->discard = AVDISCARD_ALL;
    out.format = std::move(format);
    out.stream = stream;
    return true;
}

CodecPtr openDecoder(const AVStream& stream, int threads, std::string* error) {
    const AVCodec* codec = avcodec_find_decoder(stream.codecpar->codec_id);
    if (!codec) {
        fail(error, "no decoder");
        return nullptr;
    }
    CodecPtr context(avcodec_alloc_context3(codec));
    if (!context || avcodec_parameters_to_context(context.get(), stream.codecpar) < 0) {
        fail(error, "decoder parameters refused");
        return nullptr;
    }
    context->pkt_timebase = stream.time_base;
    context->thread_count = kThreadSanitizer ? 1 : threads;
    const int rc = avcodec_open2(context.get(), codec, nullptr);
    if (rc < 0) {
        fail(error, "cannot open decoder: " + avError(rc));
        return nullptr;
    }
    return context;
}

int64_t packetTime(const AVPacket& packet) {
    return packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
}

int64_t toMs(int64_t ts, int64_t origin, AVRational tb) {
    return av_rescale_q_rnd(ts - origin, tb, AVRational{1, 1000},
                            static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
}

int64_t fromMs(int64_t ms, int64_t origin, AVRational tb) {
    // Half a millisecond on: a frame toMs() rounded down to `ms` lies there.
    return origin + av_rescale_q_rnd(2 * ms + 1, AVRational{1, 2000}, tb,
                                     static_cast<AVRounding>(AV_ROUND_DOWN | AV_ROUND_PASS_MINMAX));
}

}  // namespace corvanta::recorder::folder
