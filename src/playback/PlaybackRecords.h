#pragma once
// Records of the playback manager "AVIPlayback Manager" and of the per-file
// frame sources it opens on the recorder.

#include <cstddef>
#include <cstdint>

namespace corvanta {

inline constexpr char kPlaybackManagerFilterName[] = "AVIPlayback Manager";

// Command codes of "AVIPlayback Manager"; the data of both is the file name,
// NUL-terminated. The recorder answers them too: a new one takes a code used
// neither here nor by the frame source below (the next is 7), on both sides.
enum PlaybackManagerCommand : uint32_t {
    kPlaybackOpenFile = 4,   // answer data: FileDescription
    kPlaybackCloseFile = 5,  // answer not read
};

// Command code of a file's frame source (the filter named by the file name
// with every backslash replaced by a blank): param1 = frame number (0-based);
// the answer carries encoding 2, one JPEG picture, and param3 = the frame's
// hold time in milliseconds.
inline constexpr uint32_t kFrameSourceGetFrame = 6;

// The file information record of the Video for Windows interface, ANSI form.
// The player reads width, height, scale and rate; frames per second = rate / scale.
struct AviFileInfo {
    uint32_t maxBytesPerSec;       // approximate data rate of the file
    uint32_t flags;                // AVIFILEINFO_* flags
    uint32_t caps;                 // AVIFILECAPS_* capabilities
    uint32_t streams;              // number of streams in the file
    uint32_t suggestedBufferSize;  // buffer size a reader should use
    uint32_t width;                // frame width in pixels
    uint32_t height;               // frame height in pixels
    uint32_t scale;                // time scale: rate / scale = frames per second
    uint32_t rate;
    uint32_t length;               // length of the file in units of scale / rate
    uint32_t editCount;            // times the file was edited
    char fileType[64];             // description of the file type, NUL-terminated
};
static_assert(sizeof(AviFileInfo) == 108);
static_assert(offsetof(AviFileInfo, maxBytesPerSec) == 0);
static_assert(offsetof(AviFileInfo, flags) == 4);
static_assert(offsetof(AviFileInfo, caps) == 8);
static_assert(offsetof(AviFileInfo, streams) == 12);
static_assert(offsetof(AviFileInfo, suggestedBufferSize) == 16);
static_assert(offsetof(AviFileInfo, width) == 20);
static_assert(offsetof(AviFileInfo, height) == 24);
static_assert(offsetof(AviFileInfo, scale) == 28);
static_assert(offsetof(AviFileInfo, rate) == 32);
static_assert(offsetof(AviFileInfo, length) == 36);
static_assert(offsetof(AviFileInfo, editCount) == 40);
static_assert(offsetof(AviFileInfo, fileType) == 44);

// The answer data of kPlaybackOpenFile: 39 words.
struct FileDescription {
    AviFileInfo info;     // the player uses width, height, scale and rate
    uint32_t frameCount;  // frames in the file
    uint32_t further[11]; // passed on to the player unread
};
static_assert(sizeof(FileDescription) == 156);
static_assert(offsetof(FileDescription, info) == 0);
static_assert(offsetof(FileDescription, frameCount) == 108);
static_assert(offsetof(FileDescription, further) == 112);

// The frame source of a file is named by the file name with every backslash
// replaced by a blank.
inline constexpr char kFrameSourceNameSeparator = ' ';

}  // namespace corvanta
