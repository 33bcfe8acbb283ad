#include "recorder/folder/FrameReader.h"

#include <turbojpeg.h>

#include <algorithm>
#include <array>
#include <functional>
#include <vector>

#include "recorder/folder/JpegTranscoder.h"
#include "recorder/folder/Libav.h"
#include "recorder/folder/MjpegPackets.h"

extern "C" {
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace corvanta::recorder::folder {
namespace {

// Seeks tried before a frame counts as unreadable: the key frame before it,
// one a few seconds earlier (a container without an index, as MPEG-TS, lands
// on a decode time at or before the target, which may be after the key
// frame), the start of the file.
constexpr int kSeekAttempts = 3;
constexpr int64_t kEarlierSeekMs = 3000;

enum class Mode { StoredJpeg, ScaledJpeg, Decoded };
enum class Outcome { Found, Overshot, Nothing, Missing };

PictureSize fitBySwscale(PictureSize size, PictureSize limit) {
    if (size.width <= limit.width && size.height <= limit.height) return size;
    uint64_t w = limit.width, h = limit.height;
    if (uint64_t(size.width) * limit.height > uint64_t(size.height) * limit.width)
        h = uint64_t(size.height) * limit.width / size.width;
    else
        w = uint64_t(size.width) * limit.height / size.height;
    return {std::max<uint32_t>(2, uint32_t(w) & ~1u), std::max<uint32_t>(2, uint32_t(h) & ~1u)};
}

// Swscale's full-range formats are deprecated in favour of a range flag.
AVPixelFormat withoutRange(AVPixelFormat format, bool& full) {
    switch (format) {
        case AV_PIX_FMT_YUVJ420P: full = true; return AV_PIX_FMT_YUV420P;
        case AV_PIX_FMT_YUVJ422P: full = true; return AV_PIX_FMT_YUV422P;
        case AV_PIX_FMT_YUVJ444P: full = true; return AV_PIX_FMT_YUV444P;
        case AV_PIX_FMT_YUVJ440P: full = true; return AV_PIX_FMT_YUV440P;
        default: return format;
    }
}

// Limited-range (video) levels to the full range JPEG stores.
struct RangeTables {
    std::array<uint8_t, 256> luma{}, chroma{};
    RangeTables() {
        for (int v = 0; v < 256; ++v) {
            luma[size_t(v)] = uint8_t(std::clamp(((v - 16) * 255 + 109) / 219, 0, 255));
            chroma[size_t(v)] = uint8_t(std::clamp(128 + ((v - 128) * 255 + (v >= 128 ? 112 : -112)) / 224, 0, 255));
        }
    }
};

// YUV 4:2:0 planes owned by the reader, rows aligned for swscale.
struct Planes {
    std::vector<uint8_t> buffer;
    uint8_t* data[3] = {};
    int strides[3] = {};

    void resize(PictureSize size) {
        const int luma = int((size.width + 31) & ~31u), chroma = int(((size.width + 1) / 2 + 31) & ~31u);
        const size_t lumaBytes = size_t(luma) * size.height, chromaBytes = size_t(chroma) * ((size.height + 1) / 2);
        buffer.resize(lumaBytes + 2 * chromaBytes);
        data[0] = buffer.data();
        data[1] = data[0] + lumaBytes;
        data[2] = data[1] + chromaBytes;
        strides[0] = luma;
        strides[1] = strides[2] = chroma;
    }
};

}  // namespace

struct FrameReader::Impl {
    OpenedInput input;
    MediaInfo info;
    FrameReaderOptions options;
    Mode mode = Mode::Decoded;
    PictureSize served;
    JpegTranscoder transcoder;
    CodecPtr decoder;
    std::unique_ptr<MjpegPackets> mjpeg;
    PacketPtr packet{av_packet_alloc()};
    FramePtr frame{av_frame_alloc()};

    // Where the demuxer (and decoder) stand: the index of the last packet or
    // frame read, -1 when unknown (after a seek), and its time.
    int64_t last = -1;
    int64_t lastMs = 0;
    bool atEnd = false;
    bool draining = false;
    bool awaitingKey = false;  // after a seek, packets before a key frame do not decode
    // AVI stores no presentation times; a decoder that reorders then labels
    // each frame with the decode time of the packet that let it out, which
    // is its own slot plus the decoder's reorder delay.
    bool labelledByDecodeTime = false;
    // Frames shown before this time are only decoded as references.
    int64_t wantedMs = INT64_MIN;

    SwsContext* sws = nullptr;
    std::array<int, 4> swsKey{};
    Planes planes;

    Impl(const MediaInfo& mediaInfo, const FrameReaderOptions& readerOptions)
        : info(mediaInfo), options(readerOptions), transcoder(readerOptions.quality, readerOptions.maxJpegBytes) {}
    ~Impl() { sws_freeContext(sws); }

    PictureSize limit() const { return {options.maxWidth, options.maxHeight}; }

    uint32_t keyOf(uint32_t index) const {
        auto it = std::upper_bound(info.keyFrames.begin(), info.keyFrames.end(), index);
        return it == info.keyFrames.begin() ? 0 : *(it - 1);
    }

    // The index of a packet or frame with timestamp `ts` read after the last
    // one; -1 when it cannot be told.
    int64_t indexOf(int64_t ts) {
        int64_t index = last >= 0 ? last + 1 : -1;
        if (ts != AV_NOPTS_VALUE) {
            const int64_t ms = toMs(ts, info.firstTimestamp, input.video()->time_base);
            // Equal times (damaged files) follow each other in index order.
            if (last < 0 || ms != lastMs) {
                auto it = std::lower_bound(info.frameMs.begin(), info.frameMs.end(), ms);
                if (it != info.frameMs.end() && *it == ms) index = it - info.frameMs.begin();
            }
            lastMs = ms;
        }
        last = index;
        return index;
    }

    void seek(uint32_t index, int attempt) {
        AVFormatContext* format = input.format.get();
        const bool fromStart = attempt == kSeekAttempts - 1;
        const bool byByte = fromStart && !(format->iformat->flags & AVFMT_NO_BYTE_SEEK) &&
                            av_seek_frame(format, -1, 0, AVSEEK_FLAG_BYTE) >= 0;
        if (!byByte) {
            const int64_t ts = fromMs(seekMs(index, attempt), info.firstTimestamp, input.video()->time_base);
            av_seek_frame(format, input.stream, ts, AVSEEK_FLAG_BACKWARD);
        }
        if (decoder) avcodec_flush_buffers(decoder.get());
        last = -1;
        atEnd = draining = false;
        // With a single key frame (or none marked) the start is where decoding begins anyway.
        awaitingKey = decoder && info.keyFrames.size() > 1;
    }

    int64_t frameDuration() const {
        return av_rescale_q(info.scale, AVRational{1, int(std::max(1u, info.rate))}, input.video()->time_base);
    }

    int64_t seekMs(uint32_t index, int attempt) const {
        if (attempt == 0) return info.frameMs[keyOf(index)];
        if (attempt == 1) {
            const int64_t earlier = info.frameMs[keyOf(index)] - kEarlierSeekMs;
            auto it = std::upper_bound(info.frameMs.begin(), info.frameMs.end(), earlier);
            const uint32_t before = it == info.frameMs.begin() ? 0 : uint32_t(it - info.frameMs.begin() - 1);
            return info.frameMs[keyOf(before)];
        }
        return info.frameMs.front();
    }

    // Reads on (with `next`, which gives the next item's timestamp) until the
    // item at `index`.
    Outcome forward(uint32_t index, const std::function<bool(int64_t&)>& next, bool afterSeek) {
        for (bool first = afterSeek;; first = false) {
            int64_t ts = AV_NOPTS_VALUE;
            if (!next(ts)) return first ? Outcome::Nothing : Outcome::Missing;
            const int64_t at = indexOf(ts);
            if (at < 0) return Outcome::Missing;
            if (at == int64_t(index)) return Outcome::Found;
            if (at > int64_t(index)) return first ? Outcome::Overshot : Outcome::Missing;
        }
    }

    // Brings the item at `index` into `packet` or `frame`: on from where the
    // reader stands when no key frame lies between, else by seeking.
    bool position(uint32_t index, const std::function<bool(int64_t&)>& next) {
        wantedMs = info.frameMs[index];
        if (last >= 0 && !atEnd && int64_t(index) > last && int64_t(keyOf(index)) <= last + 1)
            return forward(index, next, false) == Outcome::Found;
        for (int attempt = 0; attempt < kSeekAttempts; ++attempt) {
            seek(index, attempt);
            const Outcome outcome = forward(index, next, true);
            if (outcome == Outcome::Found) return true;
            if (outcome == Outcome::Missing) return false;
        }
        return false;
    }

    bool nextPacket(int64_t& ts) {
        for (;;) {
            av_packet_unref(packet.get());
            if (av_read_frame(input.format.get(), packet.get()) < 0) {
                atEnd = true;
                return false;
            }
            if (packet->stream_index != input.stream || (packet->flags & AV_PKT_FLAG_DISCARD)) continue;
            ts = packetTime(*packet);
            return true;
        }
    }

    bool nextFrame(int64_t& ts) {
        for (;;) {
            const int rc = avcodec_receive_frame(decoder.get(), frame.get());
            if (rc == 0) {
                ts = frame->best_effort_timestamp;
                if (labelledByDecodeTime && ts != AV_NOPTS_VALUE) ts -= decoder->has_b_frames * frameDuration();
                return true;
            }
            if (rc != AVERROR(EAGAIN) || draining) {
                atEnd = true;
                return false;
            }
            av_packet_unref(packet.get());
            if (av_read_frame(input.format.get(), packet.get()) < 0) {
                draining = true;
                avcodec_send_packet(decoder.get(), nullptr);
                continue;
            }
            if (packet->stream_index != input.stream) continue;
            if (awaitingKey && !(packet->flags & AV_PKT_FLAG_KEY)) continue;
            awaitingKey = false;
            if (packet->flags & AV_PKT_FLAG_KEY) labelledByDecodeTime = packet->pts == AV_NOPTS_VALUE;
            // A frame no other frame refers to and shown before the wanted
            // one is dropped anyway: not decoding it makes a seek in a file
            // with B-frames about a third faster.
            const bool before = packet->pts != AV_NOPTS_VALUE &&
                                toMs(packet->pts, info.firstTimestamp, input.video()->time_base) < wantedMs;
            decoder->skip_frame = before ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
            // A damaged packet is refused by the decoder; the next ones go on.
            avcodec_send_packet(decoder.get(), packet.get());
        }
    }

    std::optional<std::string> storedJpeg() {
        const std::string_view jpeg = mjpeg->jpeg(*packet);
        if (jpeg.empty()) return std::nullopt;
        if (mode == Mode::StoredJpeg && transcoder.withinByteLimit(jpeg.size())) return std::string(jpeg);
        return transcoder.reencode(reinterpret_cast<const uint8_t*>(jpeg.data()), jpeg.size(), limit());
    }

    std::optional<std::string> encodeFrame() {
        const AVFrame& f = *frame;
        if (f.width <= 0 || f.height <= 0 || !f.data[0]) return std::nullopt;
        bool full = f.color_range == AVCOL_RANGE_JPEG;
        const AVPixelFormat format = withoutRange(AVPixelFormat(f.format), full);
        const PictureSize size{uint32_t(f.width), uint32_t(f.height)};
        if (format == AV_PIX_FMT_YUV420P && size.width == served.width && size.height == served.height) {
            if (full) {
                const uint8_t* const in[3] = {f.data[0], f.data[1], f.data[2]};
                return nonEmpty(transcoder.encodePlanes(in, f.linesize, served, TJSAMP_420));
            }
            expandRange(f);
        } else if (!convert(f, format, full)) {
            return std::nullopt;
        }
        const uint8_t* const in[3] = {planes.data[0], planes.data[1], planes.data[2]};
        return nonEmpty(transcoder.encodePlanes(in, planes.strides, served, TJSAMP_420));
    }

    static std::optional<std::string> nonEmpty(std::string jpeg) {
        if (jpeg.empty()) return std::nullopt;
        return jpeg;
    }

    void expandRange(const AVFrame& f) {
        static const RangeTables tables;
        planes.resize(served);
        const uint32_t rows[3] = {served.height, (served.height + 1) / 2, (served.height + 1) / 2};
        const uint32_t cols[3] = {served.width, (served.width + 1) / 2, (served.width + 1) / 2};
        for (int p = 0; p < 3; ++p) {
            const auto& table = p == 0 ? tables.luma : tables.chroma;
            for (uint32_t y = 0; y < rows[p]; ++y) {
                const uint8_t* in = f.data[p] + size_t(y) * size_t(f.linesize[p]);
                uint8_t* out = planes.data[p] + size_t(y) * size_t(planes.strides[p]);
                for (uint32_t x = 0; x < cols[p]; ++x) out[x] = table[in[x]];
            }
        }
    }

    // Any other format or size: swscale to full-range 4:2:0 at the served size.
    bool convert(const AVFrame& f, AVPixelFormat format, bool full) {
        const std::array<int, 4> key{f.width, f.height, int(format), int(full)};
        if (!sws || key != swsKey) {
            sws_freeContext(sws);
            // Fast bilinear is enough for the usual 1080p-to-fit step and
            // saves a tenth of a frame's time; larger steps average areas.
            const bool large = uint32_t(f.width) > 2 * served.width || uint32_t(f.height) > 2 * served.height;
            sws = sws_getContext(f.width, f.height, format, int(served.width), int(served.height), AV_PIX_FMT_YUV420P,
                                 large ? SWS_AREA : SWS_FAST_BILINEAR, nullptr, nullptr, nullptr);
            if (!sws) return false;
            const int* coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
            sws_setColorspaceDetails(sws, coefficients, full ? 1 : 0, coefficients, 1, 0, 1 << 16, 1 << 16);
            swsKey = key;
        }
        planes.resize(served);
        return sws_scale(sws, f.data, f.linesize, 0, f.height, planes.data, planes.strides) > 0;
    }
};

FrameReader::FrameReader(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
FrameReader::~FrameReader() = default;

std::unique_ptr<FrameReader> FrameReader::open(const std::string& path, const MediaInfo& info,
                                               const FrameReaderOptions& options, std::string* error) {
    auto impl = std::make_unique<Impl>(info, options);
    if (info.frameMs.empty() || options.maxWidth < 2 || options.maxHeight < 2) {
        if (error) *error = "nothing to read";
        return nullptr;
    }
    if (!openInput(path, impl->input, error)) return nullptr;
    const AVCodecParameters& par = *impl->input.video()->codecpar;
    if (info.codec != avcodec_get_name(par.codec_id)) {
        if (error) *error = "the file changed since it was indexed";
        return nullptr;
    }
    const PictureSize coded{uint32_t(par.width), uint32_t(par.height)};
    const bool fits = coded.width <= options.maxWidth && coded.height <= options.maxHeight;
    if (par.codec_id == AV_CODEC_ID_MJPEG) {
        impl->mode = fits ? Mode::StoredJpeg : Mode::ScaledJpeg;
        impl->mjpeg = std::make_unique<MjpegPackets>(par);
        impl->served = JpegTranscoder::fitByDctScale(coded, impl->limit());
    } else {
        impl->decoder = openDecoder(*impl->input.video(), options.decoderThreads, error);
        if (!impl->decoder) return nullptr;
        impl->mode = Mode::Decoded;
        impl->served = fitBySwscale(coded, impl->limit());
    }
    return std::unique_ptr<FrameReader>(new FrameReader(std::move(impl)));
}

uint32_t FrameReader::width() const { return impl_->served.width; }
uint32_t FrameReader::height() const { return impl_->served.height; }
bool FrameReader::servesStoredJpeg() const { return impl_->mode == Mode::StoredJpeg; }

std::optional<std::string> FrameReader::jpeg(uint32_t index) {
    Impl& d = *impl_;
    if (index >= d.info.frameCount() || !d.packet || !d.frame) return std::nullopt;
    if (d.mode == Mode::Decoded) {
        if (!d.position(index, [&d](int64_t& ts) { return d.nextFrame(ts); })) return std::nullopt;
        return d.encodeFrame();
    }
    if (!d.position(index, [&d](int64_t& ts) { return d.nextPacket(ts); })) return std::nullopt;
    return d.storedJpeg();
}

}  // namespace corvanta::recorder::folder
