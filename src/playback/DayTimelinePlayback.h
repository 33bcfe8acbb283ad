#pragma once
// The day timeline's playback side: which recorded file of the viewed day
// covers a second, opening it through "AVIPlayback Manager", finding the
// frame of that second through "AVIArchive Query" (command 8), and handing
// the file to the second player ("AVIPlayback Single2"). No widgets: the
// day timeline dialog calls it after a click and when its player reports
// the end of a file.
//
// The day is held by its handle, never by a pointer: the archive tree may
// destroy the day's nodes at any time, and a day that is gone plays nothing.
// Everything runs on the thread of the dialog; the session list is locked
// while it is read or a session's frame table is written.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "archive/ArchiveNodes.h"
#include "platform/WindowTypes.h"
#include "playback/DayActivity.h"
#include "playback/ThumbnailFetch.h"

namespace corvanta {

struct IcpRecord;

// The date of the viewed day.
struct ViewedDay {
    uint16_t year = 0;
    uint16_t month = 0;
    uint16_t day = 0;
};

// A session's start and stop as the day timeline counts them.
DaySession SessionSeconds(const SessionPayload& session);

// The sessions of a day in list order, read under the list's lock.
std::vector<DaySession> DaySessions(DayPayload& day);

// Copies of a day's sessions in list order, read under the list's lock.
std::vector<SessionPayload> DaySessionCopies(DayPayload& day);

// The command-8 window of a session: its start and stop, a start on another
// day replaced by the viewed day at 00:00:00 and a stop on another day by
// the viewed day at 23:59:59 (day of week and milliseconds kept).
TimeQuery SecondIndexQuery(const SessionPayload& session, ViewedDay viewed);

// The frame numbers of a command-8 answer, of which `copied` data bytes
// arrived; nothing when it holds no table. A count larger than the data
// keeps the frame numbers that are there.
std::optional<std::vector<uint32_t>> ReadSecondIndex(const IcpRecord& answer, uint32_t copied);

// The frame to start at for the second `offset` of a file: the table's value,
// or the next second's that has a frame; 0 without one.
uint32_t FirstFrameAt(std::span<const uint32_t> table, int32_t offset);

class DayTimelinePlayback {
public:
    explicit DayTimelinePlayback(std::string playerName);
    // Closes what it opened.
    ~DayTimelinePlayback();
    DayTimelinePlayback(const DayTimelinePlayback&) = delete;
    DayTimelinePlayback& operator=(const DayTimelinePlayback&) = delete;

    // The window the player reports to (param1 of the open command).
    void SetOwner(platform::Hwnd owner) { m_owner = owner; }
    // The day whose sessions play from now on (0: none). A different day
    // closes the file the previous one played.
    void SetDay(uint32_t dayHandle, ViewedDay viewed);
    uint32_t DayHandle() const { return m_dayHandle; }

    // Closes the current file, then plays the session that covers the
    // second of the day from that second's frame. Nothing covers it: nothing
    // is opened.
    void PlayAtSecond(int32_t second);
    // The player reported the end of the file with this key (the session's
    // place in the list): the next session plays from its start, or the
    // player is told that nothing follows (command 8).
    void OnStepNextAvi(uint32_t fileKey);
    // Closes the open file in the manager and in the player.
    void CloseCurrent();

    // Where the picture of a second of the day is: the file that covers it,
    // its second index window and the second's place in it. Nothing when no
    // file covers the second or the day is gone.
    std::optional<ThumbnailSource> ThumbnailSourceAt(int32_t second) const;

    // The file opened through the manager, empty when none.
    const std::string& CurrentFile() const { return m_currentFile; }

private:
    DayPayload* Day() const;
    // The session of the day that covers `second` and the second's offset
    // in it; the caller holds the list's lock.
    std::optional<std::pair<size_t, int32_t>> SessionAtSecondLocked(DayPayload& day, int32_t second) const;
    // Opens the session at `index` of the day and hands it to the player;
    // false when the manager does not open it.
    bool PlayFile(size_t index, int32_t offset);

    std::string m_playerName;
    platform::Hwnd m_owner = 0;
    uint32_t m_dayHandle = 0;
    ViewedDay m_viewed;
    std::string m_currentFile;
};

}  // namespace corvanta
