#include "playback/export/CVideoFileWriter.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <vector>

#include <turbojpeg.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace corvanta {

struct CVideoFileWriter::Av {
    AVFormatContext* format = nullptr;
    AVStream* stream = nullptr;
    AVCodecContext* encoder = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* scaler = nullptr;
    tjhandle decoder = nullptr;
    std::vector<uint8_t> rgb;
    bool headerWritten = false;
};

namespace {

std::string AvText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

}  // namespace

CVideoFileWriter::CVideoFileWriter() = default;

CVideoFileWriter::~CVideoFileWriter() {
    Close();
}

bool CVideoFileWriter::Fail(const std::string& what, int code) {
    if (m_error.empty()) m_error = code ? what + ": " + AvText(code) : what;
    return false;
}

bool CVideoFileWriter::LooksWhole(std::span<const uint8_t> jpeg) {
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return false;
    // The end marker, allowing for the padding some encoders put behind it.
    const size_t tail = std::min<size_t>(jpeg.size(), 16);
    bool end = false;
    for (size_t i = jpeg.size() - tail; i + 1 < jpeg.size() && !end; ++i)
        end = jpeg[i] == 0xFF && jpeg[i + 1] == 0xD9;
    return end;
}

bool CVideoFileWriter::Open(const std::string& path, ExportFormat format, uint32_t width, uint32_t height,
                            uint32_t scale, uint32_t rate) {
    Close();
    m_error.clear();
    m_format = format;
    m_width = width;
    m_height = height;
    m_scale = scale ? scale : 1;
    m_rate = rate ? rate : 25;
    m_periodMs = std::max<int64_t>(1000LL * m_scale / m_rate, 1);
    m_lastPts = -1;
    m_havePicture = false;
    // 4:2:0 pictures need even sizes; MJPEG takes any.
    const bool odd = width % 2 || height % 2;
    if (width == 0 || height == 0 || width > 8192 || height > 8192 || (format == ExportFormat::H264Mp4 && odd))
        return Fail("unsupported picture size", 0);
    // The encoder's statistics would go to the terminal of the viewer. Set
    // once: the level is a plain global the libraries' threads read.
    static std::once_flag quiet;
    std::call_once(quiet, [] {
        if (av_log_get_level() == AV_LOG_INFO) av_log_set_level(AV_LOG_ERROR);
    });
    m_av = std::make_unique<Av>();
    Av& av = *m_av;
    const bool mjpeg = format == ExportFormat::MjpegAvi;
    int rc = avformat_alloc_output_context2(&av.format, nullptr, mjpeg ? "avi" : "mp4", path.c_str());
    if (rc < 0 || !av.format) return Fail("cannot start the file", rc);
    av.stream = avformat_new_stream(av.format, nullptr);
    av.packet = av_packet_alloc();
    av.decoder = tjInitDecompress();
    if (!av.stream || !av.packet || !av.decoder) return Fail("out of memory", 0);
    if (mjpeg) {
        AVCodecParameters* par = av.stream->codecpar;
        par->codec_type = AVMEDIA_TYPE_VIDEO;
        par->codec_id = AV_CODEC_ID_MJPEG;
        par->width = int(width);
        par->height = int(height);
        // AVI has a constant frame period: times are counted in frames of the file's rate.
        av.stream->time_base = AVRational{int(m_scale), int(m_rate)};
        av.stream->avg_frame_rate = AVRational{int(m_rate), int(m_scale)};
    } else {
        const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
        if (!codec) return Fail("no H.264 encoder", 0);
        av.encoder = avcodec_alloc_context3(codec);
        av.frame = av_frame_alloc();
        if (!av.encoder || !av.frame) return Fail("out of memory", 0);
        av.encoder->width = int(width);
        av.encoder->height = int(height);
        av.encoder->pix_fmt = AV_PIX_FMT_YUV420P;
        av.encoder->time_base = AVRational{1, 1000};
        av.encoder->framerate = AVRational{int(m_rate), int(m_scale)};
        // A key frame every two seconds, so a player seeks without decoding far.
        av.encoder->gop_size = int(std::clamp<uint32_t>(2 * m_rate / m_scale, 2, 250));
        if (av.format->oformat->flags & AVFMT_GLOBALHEADER) av.encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        av_opt_set(av.encoder->priv_data, "preset", "veryfast", 0);
        av_opt_set(av.encoder->priv_data, "crf", "23", 0);
        if ((rc = avcodec_open2(av.encoder, codec, nullptr)) < 0) return Fail("cannot start the H.264 encoder", rc);
        if ((rc = avcodec_parameters_from_context(av.stream->codecpar, av.encoder)) < 0)
            return Fail("cannot start the H.264 encoder", rc);
        av.stream->time_base = av.encoder->time_base;
        av.frame->format = AV_PIX_FMT_YUV420P;
        av.frame->width = int(width);
        av.frame->height = int(height);
        if ((rc = av_frame_get_buffer(av.frame, 0)) < 0) return Fail("out of memory", rc);
        // libswscale's vector code reads a little past the end of a row: a
        // spare row keeps the last one's reads inside the buffer.
        av.rgb.resize(size_t{width} * (height + 1) * 3);
        av.scaler = sws_getContext(int(width), int(height), AV_PIX_FMT_RGB24, int(width), int(height),
                                   AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!av.scaler) return Fail("cannot convert pictures", 0);
    }
    if ((rc = avio_open(&av.format->pb, path.c_str(), AVIO_FLAG_WRITE)) < 0) return Fail("cannot create the file", rc);
    if ((rc = avformat_write_header(av.format, nullptr)) < 0) return Fail("cannot write the file", rc);
    av.headerWritten = true;
    return true;
}

CVideoFileWriter::Put CVideoFileWriter::Add(std::span<const uint8_t> jpeg, int64_t ms) {
    if (!m_av || !m_av->headerWritten || !m_error.empty()) return Put::Failed;
    return m_format == ExportFormat::MjpegAvi ? AddJpeg(jpeg, ms) : AddPicture(jpeg, ms);
}

bool CVideoFileWriter::FitsTheFile(std::span<const uint8_t> jpeg) {
    if (!LooksWhole(jpeg)) return false;
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    return tjDecompressHeader3(m_av->decoder, jpeg.data(), jpeg.size(), &width, &height, &subsampling,
                               &colourspace) == 0 &&
           width == int(m_width) && height == int(m_height);
}

CVideoFileWriter::Put CVideoFileWriter::AddJpeg(std::span<const uint8_t> jpeg, int64_t ms) {
    // A picture of another size than the file's would play as garbage.
    if (!FitsTheFile(jpeg)) return Put::Skipped;
    Av& av = *m_av;
    // Frames of the file's rate; a gap becomes a jump in the count.
    int64_t pts = std::llround(double(ms) * m_rate / (1000.0 * m_scale));
    pts = av_rescale_q(pts, AVRational{int(m_scale), int(m_rate)}, av.stream->time_base);
    if (pts <= m_lastPts) pts = m_lastPts + 1;
    int rc = av_new_packet(av.packet, int(jpeg.size()));
    if (rc < 0) return Fail("out of memory", rc), Put::Failed;
    std::copy(jpeg.begin(), jpeg.end(), av.packet->data);
    av.packet->pts = av.packet->dts = pts;
    av.packet->duration = 1;
    av.packet->flags |= AV_PKT_FLAG_KEY;
    av.packet->stream_index = av.stream->index;
    rc = av_write_frame(av.format, av.packet);
    av_packet_unref(av.packet);
    if (rc < 0 || av.format->pb->error < 0) return Fail("cannot write the file", rc < 0 ? rc : av.format->pb->error), Put::Failed;
    m_lastPts = pts;
    return Put::Written;
}

bool CVideoFileWriter::Decode(std::span<const uint8_t> jpeg) {
    Av& av = *m_av;
    if (!FitsTheFile(jpeg)) return false;
    // A warning (a damaged stream that still gave rows) counts as not decoded.
    return tjDecompress2(av.decoder, jpeg.data(), jpeg.size(), av.rgb.data(), int(m_width), int(m_width) * 3,
                         int(m_height), TJPF_RGB, TJFLAG_STOPONWARNING) == 0;
}

CVideoFileWriter::Put CVideoFileWriter::AddPicture(std::span<const uint8_t> jpeg, int64_t ms) {
    Av& av = *m_av;
    const bool decoded = Decode(jpeg);
    if (!decoded && !m_havePicture) return Put::Skipped;
    int rc = av_frame_make_writable(av.frame);
    if (rc < 0) return Fail("out of memory", rc), Put::Failed;
    if (decoded) {
        const uint8_t* source[1] = {av.rgb.data()};
        const int stride[1] = {int(m_width) * 3};
        sws_scale(av.scaler, source, stride, 0, int(m_height), av.frame->data, av.frame->linesize);
        m_havePicture = true;
    }
    // av_frame_make_writable kept the picture when it had to copy it.
    int64_t pts = ms <= m_lastPts ? m_lastPts + 1 : ms;
    av.frame->pts = pts;
    m_lastPts = pts;
    if ((rc = avcodec_send_frame(av.encoder, av.frame)) < 0) return Fail("cannot encode", rc), Put::Failed;
    if (!Encode(false)) return Put::Failed;
    return decoded ? Put::Written : Put::Repeated;
}

bool CVideoFileWriter::Encode(bool flush) {
    Av& av = *m_av;
    if (flush) avcodec_send_frame(av.encoder, nullptr);
    for (;;) {
        int rc = avcodec_receive_packet(av.encoder, av.packet);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
        if (rc < 0) return Fail("cannot encode", rc);
        av.packet->duration = m_periodMs;
        av_packet_rescale_ts(av.packet, av.encoder->time_base, av.stream->time_base);
        av.packet->stream_index = av.stream->index;
        rc = av_write_frame(av.format, av.packet);
        av_packet_unref(av.packet);
        if (rc < 0 || av.format->pb->error < 0)
            return Fail("cannot write the file", rc < 0 ? rc : av.format->pb->error);
    }
}

bool CVideoFileWriter::Finish() {
    if (!m_av || !m_av->headerWritten) return Fail("the file was not started", 0);
    Av& av = *m_av;
    if (av.encoder && m_error.empty()) Encode(true);
    int rc = av_write_trailer(av.format);
    av.headerWritten = false;
    if (rc < 0) Fail("cannot write the file", rc);
    avio_flush(av.format->pb);
    if (av.format->pb->error < 0) Fail("cannot write the file", av.format->pb->error);
    rc = avio_closep(&av.format->pb);
    if (rc < 0) Fail("cannot write the file", rc);
    Close();
    return m_error.empty();
}

void CVideoFileWriter::Close() {
    if (!m_av) return;
    Av& av = *m_av;
    if (av.format) {
        if (av.format->pb) avio_closep(&av.format->pb);
        avformat_free_context(av.format);
    }
    avcodec_free_context(&av.encoder);
    av_frame_free(&av.frame);
    av_packet_free(&av.packet);
    sws_freeContext(av.scaler);
    if (av.decoder) tjDestroy(av.decoder);
    m_av.reset();
}

}  // namespace corvanta
