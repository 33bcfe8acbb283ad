#pragma once
// Serves the frames of one video file as JPEG, by frame number as the index
// counts them (frame N is the N-th frame a decoder gives). MJPEG that fits
// is served as stored; larger MJPEG is decoded at a reduced DCT scale and
// encoded again; everything else is decoded with libavcodec and encoded with
// TurboJPEG. A seek decodes from the key frame before the wanted frame;
// reading on in order costs one decode per frame.
//
// One reader per open file; not thread-safe (callers serialise).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "recorder/folder/MediaInfo.h"

namespace corvanta::recorder::folder {

struct FrameReaderOptions {
    uint32_t maxWidth = 1600;  // pictures are scaled down to fit, aspect kept
    uint32_t maxHeight = 1200;
    int quality = 75;          // of JPEGs this reader encodes
    size_t maxJpegBytes = 0;   // a larger JPEG is encoded again at lower quality; 0: no limit
    int decoderThreads = 2;
};

class FrameReader {
public:
    // Nothing, with `error` (if given) saying why, when the file cannot be
    // opened or is not the video `info` describes.
    static std::unique_ptr<FrameReader> open(const std::string& path, const MediaInfo& info,
                                             const FrameReaderOptions& options, std::string* error);
    ~FrameReader();
    FrameReader(const FrameReader&) = delete;
    FrameReader& operator=(const FrameReader&) = delete;

    // The size of the pictures served, after fitting (even when scaled).
    uint32_t width() const;
    uint32_t height() const;
    // Whether JPEG frames go out as the file stores them.
    bool servesStoredJpeg() const;

    // Frame `index` as JPEG bytes; nothing when the index is out of range or
    // the frame cannot be read (other frames stay readable).
    std::optional<std::string> jpeg(uint32_t index);

private:
    struct Impl;
    explicit FrameReader(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace corvanta::recorder::folder
