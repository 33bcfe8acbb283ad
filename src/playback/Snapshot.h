#pragma once
// Saving the frame a player shows as a JPEG file. The player keeps its own
// copy of the last frame shown, so saving depends neither on the video view
// nor on the recorder.

#include <cstdint>
#include <ctime>
#include <string>

#include "imaging/JpegImage.h"
#include "playback/CFrameImage.h"

namespace corvanta {

inline constexpr int32_t kSnapshotQuality = 100;

// Copies the unpadded rows of `frame` into `image`, created at the frame's
// size with rows padded to 4 bytes, keeping the row order. 0 when the frame
// is empty or the image cannot be made.
int32_t CopyFrameToJpegImage(const CFrameImage& frame, CJpegImage& image);

// "%Y_%m_%d_%H_%M_%S.jpg" of a local time, e.g. 2007_05_31_14_03_59.jpg.
std::string SnapshotFileName(const std::tm& localTime);
// The same for the current local time.
std::string SnapshotFileName();

// Encodes `frame` at quality 100 into `path` (complete or not at all).
// 1 when written.
int32_t SaveSnapshot(const CFrameImage& frame, const std::string& path);

}  // namespace corvanta
