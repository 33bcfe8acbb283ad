#pragma once
// Runs one export: reads the frames of each piece from the recorder on a
// channel of its own, as fast as the recorder answers, and writes them to
// "<output>.part", renamed to the output when done. A cancelled or failed
// export removes the part file, or finishes it as a playable file when the
// job asks to keep what was written.

#include <atomic>
#include <cstdint>

#include "playback/export/ExportJob.h"

namespace corvanta {

class CRawRecorderChannel;
class CVideoFileWriter;

class CVideoExporter {
public:
    // Blocks the calling thread until the export ends. `cancel` may be set
    // from any thread; it also gives up a request the recorder is slow with.
    // `keepPartial`, when given, may be set from any thread before `cancel`
    // to keep what was written, as the job's keepPartial does.
    ExportResult Run(const ExportJob& job, const ExportProgressFn& progress, const std::atomic<bool>& cancel,
                     const std::atomic<bool>* keepPartial = nullptr);

    // Frames the job covers.
    static uint64_t TotalFrames(const ExportJob& job);
    // The file written while exporting.
    static std::string PartPath(const std::string& outputPath) { return outputPath + ".part"; }

private:
    struct FileInfo {
        uint32_t width = 0;
        uint32_t height = 0;
        uint32_t scale = 1;
        uint32_t rate = 25;
        uint32_t frameCount = 0;
    };
    bool OpenPiece(CRawRecorderChannel& channel, const ExportPiece& piece, FileInfo& info, ExportResult& result);
    bool ExportPieceFrames(CRawRecorderChannel& channel, const ExportPiece& piece, const FileInfo& info,
                           CVideoFileWriter& writer, ExportResult& result);
    ExportResult End(const ExportJob& job, CVideoFileWriter& writer, bool opened, ExportResult result);

    const ExportProgressFn* m_progress = nullptr;
    const std::atomic<bool>* m_cancel = nullptr;
    const std::atomic<bool>* m_keepPartial = nullptr;
    uint64_t m_total = 0;
    uint64_t m_done = 0;  // frames read, whether written or not
    int64_t m_startTick = 0;
    int64_t m_originMs = 0;     // recorded time of the first frame written
    bool m_haveOrigin = false;
};

}  // namespace corvanta
