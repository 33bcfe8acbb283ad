#pragma once
// One video file written with FFmpeg's libraries: MJPEG in AVI from JPEG
// bytes as they are, or H.264 in MP4 from the decoded pictures. Frames come
// with their recorded time in milliseconds from the first frame.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "playback/export/ExportJob.h"

namespace corvanta {

class CVideoFileWriter {
public:
    CVideoFileWriter();
    ~CVideoFileWriter();  // an unfinished file is closed as it is
    CVideoFileWriter(const CVideoFileWriter&) = delete;
    CVideoFileWriter& operator=(const CVideoFileWriter&) = delete;

    // Creates `path` for pictures of width x height recorded at rate / scale
    // frames per second. False with Error() set when it cannot.
    bool Open(const std::string& path, ExportFormat format, uint32_t width, uint32_t height, uint32_t scale,
              uint32_t rate);

    enum class Put {
        Written,   // the frame is in the file
        Skipped,   // the JPEG does not decode and nothing stands in for it
        Repeated,  // the JPEG does not decode; the previous picture took its time
        Failed,    // the file could not be written: see Error()
    };
    // `ms` after the first frame; times that do not go forward are moved on.
    Put Add(std::span<const uint8_t> jpeg, int64_t ms);

    // Writes what is still buffered and the index; the file then plays.
    bool Finish();
    const std::string& Error() const { return m_error; }
    // Closes the file as it is, unfinished; the caller removes it.
    void Abandon() { Close(); }

    // A picture worth writing: it starts and ends as a JPEG does and its
    // header names the expected size. A cut JPEG misses its end marker.
    static bool LooksWhole(std::span<const uint8_t> jpeg);

private:
    struct Av;
    bool Fail(const std::string& what, int code);
    Put AddJpeg(std::span<const uint8_t> jpeg, int64_t ms);
    Put AddPicture(std::span<const uint8_t> jpeg, int64_t ms);
    bool Encode(bool flush);
    bool Decode(std::span<const uint8_t> jpeg);
    // Whole, and of the file's picture size.
    bool FitsTheFile(std::span<const uint8_t> jpeg);
    void Close();

    std::unique_ptr<Av> m_av;
    ExportFormat m_format = ExportFormat::MjpegAvi;
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    uint32_t m_scale = 1;
    uint32_t m_rate = 25;
    int64_t m_lastPts = -1;
    int64_t m_periodMs = 40;
    bool m_havePicture = false;
    std::string m_error;
};

}  // namespace corvanta
