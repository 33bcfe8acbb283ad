#include "playback/Snapshot.h"

#include <cstring>

namespace corvanta {

int32_t CopyFrameToJpegImage(const CFrameImage& frame, CJpegImage& image) {
    if (!frame.Bits() || !image.Create(int32_t(frame.Width()), int32_t(frame.Height()))) return 0;
    // Row by row: the encoder's rows are padded, the frame's are not, so one
    // block copy would skew every width whose rows are not a multiple of 4.
    const size_t rowBytes = size_t{frame.Width()} * 3u;
    for (uint32_t row = 0; row < frame.Height(); ++row) {
        std::memcpy(image.Row(int32_t(row)), frame.Bits() + row * rowBytes, rowBytes);
    }
    return 1;
}

std::string SnapshotFileName(const std::tm& localTime) {
    char name[64];
    const size_t n = std::strftime(name, sizeof name, "%Y_%m_%d_%H_%M_%S.jpg", &localTime);
    return std::string(name, n);
}

std::string SnapshotFileName() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return SnapshotFileName(local);
}

int32_t SaveSnapshot(const CFrameImage& frame, const std::string& path) {
    CJpegImage image;
    if (!CopyFrameToJpegImage(frame, image)) return 0;
    return image.WriteJpegFile(path.c_str(), kSnapshotQuality);
}

}  // namespace corvanta
