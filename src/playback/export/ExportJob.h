#pragma once
// What an export is asked to do and what it reports: the pieces of
// recordings in the order they are joined, the file to write and how.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/SystemTime.h"

namespace corvanta {

enum class ExportFormat {
    MjpegAvi,  // the recorder's JPEG bytes as they came, in AVI with OpenDML indexes
    H264Mp4,   // decoded pictures encoded again: small files
};

// Frames first..last (inclusive) of one recorded file.
struct ExportPiece {
    std::string fileName;        // as the archive lists it
    std::string sourceId;        // for the file's second index
    platform::SystemTime start{};  // first second of the recording
    platform::SystemTime stop{};   // end of the recording (exclusive)
    uint32_t firstFrame = 0;
    uint32_t lastFrame = 0;
};

struct ExportJob {
    std::string serverUrl;  // the recorder's base URL
    std::string sessionId;
    std::vector<ExportPiece> pieces;  // in time order
    std::string outputPath;
    ExportFormat format = ExportFormat::MjpegAvi;
    // A cancelled or failed export is finished as a playable file holding
    // what was written, instead of being removed.
    bool keepPartial = false;
};

struct ExportProgress {
    uint64_t framesDone = 0;
    uint64_t framesTotal = 0;
    int64_t msLeft = -1;  // estimated; -1 until known
};

struct ExportResult {
    bool ok = false;
    bool cancelled = false;
    uint64_t framesWritten = 0;
    uint64_t framesSkipped = 0;  // did not decode: left out (MJPEG) or the previous picture repeated (H.264)
    std::string error;           // what went wrong, for the user
    std::string writtenPath;     // the finished file; empty when nothing was kept
};

// Called on the exporting thread after each frame.
using ExportProgressFn = std::function<void(const ExportProgress&)>;

}  // namespace corvanta
