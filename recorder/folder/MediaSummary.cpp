#include "recorder/folder/MediaSummary.h"

namespace corvanta::recorder::folder {

MediaSummary MediaSummary::of(const MediaInfo& media) {
    MediaSummary s;
    s.width = media.width;
    s.height = media.height;
    s.rate = media.rate;
    s.scale = media.scale;
    s.frameCount = media.frameCount();
    s.lastFrameMs = media.frameMs.empty() ? 0 : media.frameMs.back();
    s.creationTimeUtc = media.creationTimeUtc;
    s.activity = media.activity;
    if (media.frameMs.empty() || s.lastFrameMs < 0) return s;
    s.firstFrameOfSecond.assign(static_cast<size_t>(s.lastFrameMs / 1000) + 1, kNoFrame);
    for (size_t i = 0; i < media.frameMs.size(); ++i) {
        const int64_t second = media.frameMs[i] / 1000;
        if (second < 0 || second >= int64_t(s.firstFrameOfSecond.size())) continue;
        uint32_t& slot = s.firstFrameOfSecond[static_cast<size_t>(second)];
        if (slot == kNoFrame) slot = static_cast<uint32_t>(i);
    }
    return s;
}

}  // namespace corvanta::recorder::folder
