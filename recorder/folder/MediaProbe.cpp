#include "recorder/folder/MediaProbe.h"

#include <turbojpeg.h>

#include <algorithm>

#include "recorder/folder/ActivityMeter.h"
#include "recorder/folder/Libav.h"
#include "recorder/folder/MjpegPackets.h"

extern "C" {
#include <libavutil/parseutils.h>
#include <libavutil/rational.h>
}

namespace corvanta::recorder::folder {
namespace {

// Container clocks before this are unset fields (MP4 counts from 1904).
constexpr int64_t kEarliestCreationTime = 631152000;  // 1990-01-01
constexpr double kMaxFramesPerSecond = 1000.0;
// Frame times spanning longer are damaged time stamps, not a recording.
constexpr int64_t kMaxDurationMs = int64_t(31) * 24 * 3600 * 1000;

struct PacketRecord {
    int64_t ts;
    bool key;
};

std::optional<int64_t> creationTime(const AVFormatContext& format, const AVStream& stream) {
    const AVDictionaryEntry* entry = av_dict_get(format.metadata, "creation_time", nullptr, 0);
    if (!entry) entry = av_dict_get(stream.metadata, "creation_time", nullptr, 0);
    int64_t us = 0;
    if (!entry || av_parse_time(&us, entry->value, 0) < 0) return std::nullopt;
    const int64_t seconds = us / 1'000'000;
    if (seconds < kEarliestCreationTime) return std::nullopt;
    return seconds;
}

bool saneRate(AVRational r) {
    return r.num > 0 && r.den > 0 && av_q2d(r) <= kMaxFramesPerSecond && av_q2d(r) >= 1.0 / 86400;
}

void setRate(MediaInfo& info, const AVStream& stream) {
    AVRational r = saneRate(stream.avg_frame_rate) ? stream.avg_frame_rate : stream.r_frame_rate;
    if (!saneRate(r) && info.frameMs.size() > 1 && info.frameMs.back() > 0)
        r = AVRational{int(std::min<int64_t>(int64_t(info.frameMs.size() - 1) * 1000, INT32_MAX)),
                       int(std::min<int64_t>(info.frameMs.back(), INT32_MAX))};
    if (!saneRate(r)) r = AVRational{25, 1};
    int num = 0, den = 0;
    av_reduce(&num, &den, r.num, r.den, INT32_MAX);
    info.rate = uint32_t(num);
    info.scale = uint32_t(den);
}

// MJPEG pictures at 1/8 scale (the DCT does it: nearly free) for activity.
class ThumbnailDecoder {
public:
    explicit ThumbnailDecoder(const AVCodecParameters& stream) : handle_(tjInitDecompress()), packets_(stream) {}
    ~ThumbnailDecoder() {
        if (handle_) tjDestroy(handle_);
    }
    ThumbnailDecoder(const ThumbnailDecoder&) = delete;
    ThumbnailDecoder& operator=(const ThumbnailDecoder&) = delete;

    void add(ActivityMeter& meter, int64_t ms, const AVPacket& packet) {
        const std::string_view jpeg = packets_.jpeg(packet);
        const auto* data = reinterpret_cast<const unsigned char*>(jpeg.data());
        int width = 0, height = 0, subsampling = 0, colorspace = 0;
        if (!handle_ || jpeg.empty() ||
            tjDecompressHeader3(handle_, data, static_cast<unsigned long>(jpeg.size()), &width, &height, &subsampling,
                                &colorspace) != 0)
            return;
        const int w = TJSCALED(width, (tjscalingfactor{1, 8}));
        const int h = TJSCALED(height, (tjscalingfactor{1, 8}));
        grey_.resize(size_t(w) * size_t(h));
        if (tjDecompress2(handle_, data, static_cast<unsigned long>(jpeg.size()), grey_.data(), w, w, h, TJPF_GRAY,
                          TJFLAG_FASTDCT) != 0)
            return;
        meter.addPicture(ms, grey_.data(), uint32_t(w), uint32_t(h), uint32_t(w));
    }

private:
    tjhandle handle_;
    MjpegPackets packets_;
    std::vector<uint8_t> grey_;
};

// Reads every packet of the video stream: its time, key flag and, for the
// activity signal, its size or its picture. Stops at the end or at the first
// read error (a truncated file keeps what came before).
bool readPackets(OpenedInput& input, MediaInfo& info, std::vector<PacketRecord>& packets, ActivityMeter& meter,
                 std::string* error) {
    AVStream* stream = input.video();
    const bool mjpeg = stream->codecpar->codec_id == AV_CODEC_ID_MJPEG;
    std::optional<ThumbnailDecoder> thumbnails;
    if (mjpeg) thumbnails.emplace(*stream->codecpar);
    PacketPtr packet(av_packet_alloc());
    int64_t last = AV_NOPTS_VALUE;
    while (av_read_frame(input.format.get(), packet.get()) >= 0) {
        const bool ours = packet->stream_index == input.stream && !(packet->flags & AV_PKT_FLAG_DISCARD);
        if (ours) {
            if (packets.size() >= kMaxFramesPerFile) {
                if (error) *error = "more than " + std::to_string(kMaxFramesPerFile) + " frames";
                return false;
            }
            int64_t ts = packetTime(*packet);
            // Neither time stamp: one frame after the previous one.
            if (ts == AV_NOPTS_VALUE)
                ts = last == AV_NOPTS_VALUE ? 0
                                            : last + (packet->duration > 0
                                                          ? packet->duration
                                                          : av_rescale_q(info.scale, AVRational{1, int(info.rate)},
                                                                         stream->time_base));
            last = ts;
            const bool key = packet->flags & AV_PKT_FLAG_KEY;
            packets.push_back({ts, key});
            const int64_t ms = toMs(ts, 0, stream->time_base);
            if (mjpeg)
                thumbnails->add(meter, ms, *packet);
            else if (!key)
                meter.addCompressedFrame(ms, size_t(packet->size));
        }
        av_packet_unref(packet.get());
    }
    if (packets.empty()) {
        if (error) *error = "no frames";
        return false;
    }
    return true;
}

// Frames in presentation order: packets sorted by time, as a decoder
// reorders B-frames.
void fillFrames(MediaInfo& info, std::vector<PacketRecord>& packets, AVRational tb) {
    std::stable_sort(packets.begin(), packets.end(),
                     [](const PacketRecord& a, const PacketRecord& b) { return a.ts < b.ts; });
    info.firstTimestamp = packets.front().ts;
    info.frameMs.reserve(packets.size());
    for (size_t i = 0; i < packets.size(); ++i) {
        info.frameMs.push_back(toMs(packets[i].ts, info.firstTimestamp, tb));
        if (packets[i].key) info.keyFrames.push_back(uint32_t(i));
    }
    // Without any key flag (some raw streams) every frame is its own start.
    if (info.keyFrames.empty()) info.keyFrames.push_back(0);
}

}  // namespace

std::optional<MediaInfo> probeMedia(const std::string& path, std::string* error) {
    OpenedInput input;
    if (!openInput(path, input, error)) return std::nullopt;
    const AVStream& stream = *input.video();
    MediaInfo info;
    info.codec = avcodec_get_name(stream.codecpar->codec_id);
    info.width = uint32_t(stream.codecpar->width);
    info.height = uint32_t(stream.codecpar->height);
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(stream.codecpar->codec_id);
    info.intraOnly = descriptor && (descriptor->props & AV_CODEC_PROP_INTRA_ONLY);
    info.creationTimeUtc = creationTime(*input.format, stream);
    setRate(info, stream);

    std::vector<PacketRecord> packets;
    ActivityMeter meter(info.width, info.height);
    if (!readPackets(input, info, packets, meter, error)) return std::nullopt;
    fillFrames(info, packets, stream.time_base);
    if (info.frameMs.back() > kMaxDurationMs) {
        if (error) *error = "frame times span more than a month";
        return std::nullopt;
    }
    setRate(info, stream);
    const size_t seconds = size_t(info.frameMs.back() / 1000) + 1;
    info.activity = meter.levels(toMs(info.firstTimestamp, 0, stream.time_base), seconds);
    return info;
}

std::optional<MediaSpan> probeSpan(const std::string& path) {
    OpenedInput input;
    if (!openInput(path, input, nullptr)) return std::nullopt;
    const AVFormatContext& format = *input.format;
    if (format.duration == AV_NOPTS_VALUE || format.duration <= 0) return std::nullopt;
    const int64_t ms = format.duration / (AV_TIME_BASE / 1000);
    if (ms <= 0 || ms > kMaxDurationMs) return std::nullopt;
    return MediaSpan{ms, creationTime(format, *input.video())};
}

}  // namespace corvanta::recorder::folder
