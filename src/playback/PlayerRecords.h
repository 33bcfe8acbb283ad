#pragma once
// What travels to and from a player ("AVIPlayback Single", "AVIPlayback
// Single2") and the motion history view: command codes, the open record and
// the registered messages the players send to their owner.

#include <cstddef>
#include <cstdint>

#include "playback/PlaybackRecords.h"

namespace corvanta {

inline constexpr char kStandalonePlayerName[] = "AVIPlayback Single";
inline constexpr char kHistoryPlayerName[] = "AVIPlayback Single2";
inline constexpr char kMotionHistoryFilterName[] = "AVIPlayback MotionHistory";

// Registered messages. Step Next Frame and Step Next AVI go from a player to
// its owner window (wParam = FileKey, lParam = frame number or 0); ShowPlayer
// goes to the archive view (wParam 0 standalone player, 1 motion history;
// lParam 1 show, 0 hide).
inline constexpr char kStepNextFrameMessage[] = "ArchiveViewer Step Next Frame";
inline constexpr char kStepNextAviMessage[] = "ArchiveViewer Step Next AVI";
inline constexpr char kShowPlayerMessage[] = "ArchiveViewer ShowPlayer";

// Commands of a player (kind 3). Answer kind 7 without data. A new command
// takes the next code after the last one here.
enum PlayerCommand : uint32_t {
    kPlayerOpen = 1,         // param1 owner window, param2 FileKey, data PlayerOpenBlock
    kPlayerClose = 2,
    kPlayerPlay = 3,         // the panel has already set the state
    kPlayerPause = 4,
    kPlayerSpeed = 5,        // apply the speed slider
    kPlayerStepBack = 6,     // show the current frame
    kPlayerStepForward = 7,  // show the current frame (the end check clamps)
    kPlayerEndHandled = 8,   // the owner has no next file
    // Closes the file and says why over the empty picture (data: UTF-8
    // text, NUL-terminated or cut at the data's end); the next open clears it.
    kPlayerNotice = 9,
    // Optional, after kPlayerOpen: data TimeQuery, the window of the open
    // file's second index (from = the file's first second, its source id).
    // The player asks "AVIArchive Query" command 8 for it once and shows the
    // recorded time of each frame; without it only the frame number shows.
    kPlayerFileTime = 10,
};

// Command of "AVIPlayback MotionHistory": param1 = the day payload's handle (DayPayload::Handle()).
inline constexpr uint32_t kMotionHistoryShowDay = 1;

inline constexpr uint32_t kPlayerFileNameSize = 1024;

// The data of kPlayerOpen: the file's description as the manager answered
// it, where to start, and the file's name as the recorder names it.
struct PlayerOpenBlock {
    AviFileInfo info;
    uint32_t further[11];      // FileDescription::further, unread
    uint32_t frameCount;
    uint32_t firstFrame;       // 0-based
    char fileName[kPlayerFileNameSize];  // NUL-terminated
};
static_assert(sizeof(PlayerOpenBlock) == 1184);
static_assert(offsetof(PlayerOpenBlock, info) == 0);
static_assert(offsetof(PlayerOpenBlock, further) == 108);
static_assert(offsetof(PlayerOpenBlock, frameCount) == 152);
static_assert(offsetof(PlayerOpenBlock, firstFrame) == 156);
static_assert(offsetof(PlayerOpenBlock, fileName) == 160);

// The open record for a file as the manager described it. A name that does
// not fit is cut so that the field keeps its NUL.
PlayerOpenBlock MakePlayerOpenBlock(const FileDescription& description, uint32_t firstFrame, const char* fileName);

}  // namespace corvanta
