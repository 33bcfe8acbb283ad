#pragma once
// What the export dialog shows and hands to the exporter, without widgets:
// the recorded files that may lie in the range, the frames of each that do,
// their number and the size they will make, the default file name and why
// nothing can be exported.

#include <cstdint>
#include <string>
#include <vector>

#include "playback/export/ExportJob.h"

namespace corvanta {

class CRawRecorderChannel;

// A recorded file with what placing its frames in time needs.
struct ExportCandidate {
    ExportPiece file;       // firstFrame and lastFrame unused
    std::string sourceName; // for the file name
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t scale = 1;
    uint32_t rate = 25;
    uint32_t frameCount = 0;
    std::vector<uint32_t> secondIndex;  // first frame of each second from the file's start
    uint32_t sampleJpegBytes = 0;       // size of one served frame, for the estimate
};

// Milliseconds since 1970 of a recorder time, read as it is (no time zone).
int64_t RecorderTimeMs(const platform::SystemTime& time);
platform::SystemTime RecorderTimeOf(int64_t ms);

// The file's second index on `channel`; empty when the recorder has none.
std::vector<uint32_t> FetchSecondIndex(CRawRecorderChannel& channel, const ExportPiece& file);

// Asks the recorder about a file on `channel`: opens it, reads its
// description, second index and first frame's size, closes it. False when
// the recorder does not open it.
bool FetchCandidate(CRawRecorderChannel& channel, const ExportPiece& file, ExportCandidate& out);

class ExportPlan {
public:
    // Files in time order.
    void SetCandidates(std::vector<ExportCandidate> candidates);
    // The recorded times [fromMs, toMs] to export, both ends included.
    void SetRange(int64_t fromMs, int64_t toMs);
    void SetFormat(ExportFormat format) { m_format = format; }

    // The first and last recorded frame's time of all candidates.
    int64_t FirstFrameMs() const;
    int64_t LastFrameMs() const;
    int64_t FromMs() const { return m_fromMs; }
    int64_t ToMs() const { return m_toMs; }
    ExportFormat Format() const { return m_format; }

    const std::vector<ExportPiece>& Pieces() const { return m_pieces; }
    uint64_t FrameCount() const;
    uint64_t EstimatedBytes() const;
    // Why the range cannot be exported; empty when it can.
    std::string Reason() const;
    // "<source>_<YYYYMMDD_HHMMSS>-<HHMMSS>.avi" (".mp4" for H.264) of the range.
    std::string DefaultFileName() const;
    // "1 234 frames, about 56.7 MB"
    std::string Summary() const;

    ExportJob Job(const std::string& serverUrl, const std::string& sessionId, const std::string& path) const;

private:
    void Plan();

    std::vector<ExportCandidate> m_candidates;
    std::vector<ExportPiece> m_pieces;
    std::vector<uint32_t> m_pieceCandidate;  // candidate of each piece
    int64_t m_fromMs = 0;
    int64_t m_toMs = -1;
    ExportFormat m_format = ExportFormat::MjpegAvi;
};

}  // namespace corvanta
