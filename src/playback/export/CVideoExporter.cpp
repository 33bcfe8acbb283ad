#include "playback/export/CVideoExporter.h"

#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "archive/ArchiveRecords.h"
#include "platform/Tick.h"
#include "playback/PlaybackRecords.h"
#include "playback/export/CVideoFileWriter.h"
#include "playback/export/ExportFrameTimes.h"
#include "playback/export/ExportPlan.h"
#include "remote/RawRecorderChannel.h"

namespace corvanta {

namespace {

std::vector<uint8_t> TextData(const std::string& text) {
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    return data;
}

}  // namespace

uint64_t CVideoExporter::TotalFrames(const ExportJob& job) {
    uint64_t total = 0;
    for (const ExportPiece& piece : job.pieces)
        if (piece.lastFrame >= piece.firstFrame) total += uint64_t(piece.lastFrame) - piece.firstFrame + 1;
    return total;
}

bool CVideoExporter::OpenPiece(CRawRecorderChannel& channel, const ExportPiece& piece, FileInfo& info,
                               ExportResult& result) {
    if (!channel.Command(kPlaybackManagerFilterName, kPlaybackOpenFile, 0, 0, TextData(piece.fileName)) ||
        channel.Data().size() < sizeof(FileDescription)) {
        if (!m_cancel->load()) {
            result.error = channel.NoAnswer() ? "The recorder does not answer."
                                              : "The recorder could not open " + piece.fileName + ".";
        }
        return false;
    }
    FileDescription description;
    std::memcpy(&description, channel.Data().data(), sizeof description);
    info = FileInfo{description.info.width, description.info.height, description.info.scale,
                    description.info.rate, description.frameCount};
    return true;
}

bool CVideoExporter::ExportPieceFrames(CRawRecorderChannel& channel, const ExportPiece& piece, const FileInfo& info,
                                       CVideoFileWriter& writer, ExportResult& result) {
    const ExportFrameTimes times(info.scale, info.rate, FetchSecondIndex(channel, piece));
    const int64_t fileStartMs = RecorderTimeMs(piece.start);
    const uint32_t last = std::min(piece.lastFrame, info.frameCount ? info.frameCount - 1 : 0);
    if (info.frameCount) channel.ReadAhead(piece.fileName, piece.firstFrame, last);
    struct StopAhead {
        CRawRecorderChannel& channel;
        ~StopAhead() { channel.StopReadAhead(); }
    } stopAhead{channel};
    for (uint32_t frame = piece.firstFrame; frame <= last && info.frameCount; ++frame) {
        if (m_cancel->load()) return false;
        if (!channel.GetFrame(piece.fileName, frame)) {
            if (channel.Cancelled()) return false;
            result.error = channel.NoAnswer() ? "The recorder stopped answering during the export."
                                              : "The recorder refused frame " + std::to_string(frame + 1) + " of " +
                                                    piece.fileName + ".";
            return false;
        }
        const int64_t at = fileStartMs + times.OffsetMs(frame);
        if (!m_haveOrigin) {
            m_originMs = at;
            m_haveOrigin = true;
        }
        ++m_done;
        switch (writer.Add(channel.Data(), at - m_originMs)) {
        case CVideoFileWriter::Put::Written: ++result.framesWritten; break;
        case CVideoFileWriter::Put::Repeated: ++result.framesWritten, ++result.framesSkipped; break;
        case CVideoFileWriter::Put::Skipped: ++result.framesSkipped; break;
        case CVideoFileWriter::Put::Failed:
            result.error = "The file could not be written (" + writer.Error() + ").";
            return false;
        }
        if (m_progress && *m_progress) {
            const int64_t elapsed = int64_t(platform::MonotonicMs()) - m_startTick;
            const uint64_t left = m_total - std::min(m_done, m_total);
            (*m_progress)(ExportProgress{m_done, m_total, int64_t(double(elapsed) / double(m_done) * double(left))});
        }
        if (frame == UINT32_MAX) break;  // the loop's increment would wrap
    }
    return true;
}

ExportResult CVideoExporter::Run(const ExportJob& job, const ExportProgressFn& progress,
                                 const std::atomic<bool>& cancel, const std::atomic<bool>* keepPartial) {
    m_progress = &progress;
    m_cancel = &cancel;
    m_keepPartial = keepPartial;
    m_total = TotalFrames(job);
    m_startTick = int64_t(platform::MonotonicMs());
    m_haveOrigin = false;
    m_done = 0;
    ExportResult result;
    CVideoFileWriter writer;
    if (m_total == 0) {
        result.error = "The range holds no recording.";
        return result;
    }
    CRawRecorderChannel channel(job.serverUrl, job.sessionId);
    channel.SetCancel(&cancel);
    bool opened = false;
    FileInfo first;
    for (const ExportPiece& piece : job.pieces) {
        FileInfo info;
        if (!OpenPiece(channel, piece, info, result)) return End(job, writer, opened, result);
        bool ok = true;
        if (!opened) {
            first = info;
            opened = writer.Open(PartPath(job.outputPath), job.format, info.width, info.height, info.scale, info.rate);
            if (!opened) {
                result.error = "The file could not be created (" + writer.Error() + ").";
                ok = false;
            }
        } else if (info.width != first.width || info.height != first.height) {
            result.error = "The recordings of the range have different picture sizes.";
            ok = false;
        }
        ok = ok && ExportPieceFrames(channel, piece, info, writer, result);
        // The file is closed on the recorder whatever happened; a cancelled
        // channel would give the close up at once, so it goes without it.
        channel.SetCancel(nullptr);
        channel.Command(kPlaybackManagerFilterName, kPlaybackCloseFile, 0, 0, TextData(piece.fileName));
        channel.SetCancel(&cancel);
        if (!ok || cancel.load()) return End(job, writer, opened, result);
    }
    result.ok = true;
    return End(job, writer, opened, result);
}

ExportResult CVideoExporter::End(const ExportJob& job, CVideoFileWriter& writer, bool opened, ExportResult result) {
    std::error_code ignored;
    const std::string part = PartPath(job.outputPath);
    result.cancelled = !result.ok && result.error.empty() && m_cancel->load();
    if (!opened) {
        std::filesystem::remove(part, ignored);
        return result;
    }
    const bool keepAsked = job.keepPartial || (m_keepPartial && m_keepPartial->load());
    const bool keep = result.ok || (keepAsked && result.framesWritten > 0);
    if (keep && !writer.Finish()) {
        result.ok = false;
        if (result.error.empty()) result.error = "The file could not be written (" + writer.Error() + ").";
    } else if (keep) {
        std::error_code error;
        std::filesystem::rename(part, job.outputPath, error);
        if (!error) {
            result.writtenPath = job.outputPath;
            return result;
        }
        result.ok = false;
        result.error = "The finished file could not be renamed: " + error.message() + ".";
    }
    writer.Abandon();
    std::filesystem::remove(part, ignored);
    return result;
}

}  // namespace corvanta
