#pragma once
// What selecting and leaving a tree node plays or shows: a recording or a
// source's live buffer in the standalone player, a day's motion history in
// the motion history view, and the owner window ("ArchiveViewer
// ShowPlayer") told which of them to show. Every exchange opens its own
// client and closes it.

#include <string>

#include "archive/ArchiveNodes.h"
#include "platform/WindowTypes.h"

namespace corvanta {

struct PlaybackTarget {
    std::string playerName;       // "AVIPlayback Single"
    platform::Hwnd owner = 0;     // receives "ArchiveViewer ShowPlayer"
    platform::Hwnd dialog = 0;    // receives "ArchiveViewer Step Next AVI" from the player
};

// The work of a node's first selection: a session's file is announced to
// the archive; a day's activity is asked for (opened only once an answer
// with data came) and its session list loaded when it has none.
void OpenNodeFirstTime(ArchiveNode& node);

// Fills a day's session list (nodes only) unless it holds sessions already.
// The new nodes' keys are left 0.
void LoadDaySessions(ArchiveNode& day);

// Asks "AVIPlayback Manager" for the file and, when it knows it, has the
// player open it. A source plays its live buffer ("<sourceId>MEMORY") and
// only counts when the answer describes a real stream; otherwise the owner
// is told to hide the player. True when the player was told to open.
bool PlayNode(ArchiveNode& node, const PlaybackTarget& target);

// Says `text` over the player's empty picture (closing what it showed)
// and shows the player: a recording that did not open, without a modal box.
void ShowPlayFailure(const std::string& text, const PlaybackTarget& target);

// Shows a day's motion history. True when the view took the day.
bool ShowDayHistory(ArchiveNode& day, const PlaybackTarget& target);

// Undoes what selecting an opened node started.
void StopNode(ArchiveNode& node, const PlaybackTarget& target);

// After a file ended: the player is told there is nothing more.
void EndOfFiles(const PlaybackTarget& target);

}  // namespace corvanta
