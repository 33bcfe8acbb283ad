#include "archive/ArchivePlayback.h"

#include <algorithm>
#include <cstring>

#include "archive/ArchiveQueries.h"
#include "framework/CFilterIcpClient.h"
#include "platform/WindowSystem.h"
#include "playback/PlaybackRecords.h"
#include "playback/PlayerRecords.h"

namespace corvanta {

namespace {

constexpr char kLiveBufferSuffix[] = "MEMORY";

void ShowPlayer(const PlaybackTarget& target, platform::WParam which, platform::LParam show) {
    if (!target.owner) return;
    static const uint32_t message = platform::RegisterWindowMessage(kShowPlayerMessage);
    platform::SendMessage(target.owner, message, which, show);
}

// Command 4 to the manager; the file's description when it knows the file.
bool OpenFile(const std::string& fileName, std::array<uint32_t, kFileDescriptionWords>& description) {
    CFilterIcpClient manager;
    if (!manager.Open(kPlaybackManagerFilterName)) return false;
    bool ok = manager.SendCommandText(kPlaybackOpenFile, 0, fileName.c_str()) != 0;
    if (const IcpRecord* answer = manager.Answer(); ok && answer) {
        description.fill(0);
        const uint32_t present = std::min({answer->dataLength, manager.AnswerCapacity(), uint32_t(sizeof description)});
        std::memcpy(description.data(), answer->data, present);
    }
    manager.Close();
    return ok;
}

// `recorded`: a session of the archive, whose start the player is told; a
// live buffer has no second index.
bool OpenInPlayer(const SessionPayload& file, uint32_t key, const PlaybackTarget& target, bool recorded) {
    FileDescription description;
    static_assert(sizeof description == sizeof file.fileDescription);
    std::memcpy(&description, file.fileDescription.data(), sizeof description);
    const PlayerOpenBlock block = MakePlayerOpenBlock(description, 0, file.fileName.c_str());
    CFilterIcpClient player;
    if (!player.Open(target.playerName.c_str())) return false;
    ShowPlayer(target, 0, 1);
    // A player answers its commands with 0; that it was told is what counts.
    player.SendCommand(kPlayerOpen, target.dialog, key, &block, sizeof block);
    if (recorded) {
        // The open record has no room for the recorded time: it follows on its own.
        TimeQuery window{};
        window.from = file.start;
        window.to = file.stop;
        std::strncpy(window.sourceId, file.sourceId.c_str(), sizeof window.sourceId - 1);
        player.SendCommand(kPlayerFileTime, 0, 0, &window, sizeof window);
    }
    player.Close();
    return true;
}

}  // namespace

void LoadDaySessions(ArchiveNode& dayNode) {
    DayPayload& day = *dayNode.day;
    if (day.sessions.Size() > 0) return;
    SessionList list;
    if (!ListSessions(day.sourceId, day.year, day.month, day.day, list)) return;
    day.moreSessions = list.more;
    day.sessions.Lock();
    for (const SessionEntry& e : list.entries) {
        auto node = std::make_unique<ArchiveNode>(NodeKind::Session);
        SessionPayload& s = *node->session;
        s.index = uint32_t(day.sessions.Size());
        s.day = day.day;
        s.year = day.year;
        s.month = day.month;
        s.sourceId = day.sourceId;
        s.sourceName = day.sourceName;
        s.fileName = FieldText(e.fileName);
        s.fileNumber = e.fileNumber;
        s.subItems = e.subItems;
        s.start = e.start;
        s.stop = e.stop;
        s.label = SessionLabel(e, false);
        day.sessions.Add(std::move(node));
    }
    day.sessions.Unlock();
}

void OpenNodeFirstTime(ArchiveNode& node) {
    if (node.opened) return;
    switch (node.kind) {
        case NodeKind::Session:
            SelectSessionFile(node.session->sourceId, node.session->fileNumber);
            node.opened = 1;
            break;
        case NodeKind::Source: node.opened = 1; break;
        case NodeKind::Day: {
            DayPayload& day = *node.day;
            std::vector<uint8_t> activity;
            uint32_t length = 0;
            if (DayActivity(MakeDayQuery(day.year, day.month, day.day, day.sourceId), activity, length) && length) {
                day.activity = std::move(activity);
                day.activityDataLength = length;
                node.opened = 1;
            }
            LoadDaySessions(node);
            break;
        }
        case NodeKind::Month: break;
    }
}

bool PlayNode(ArchiveNode& node, const PlaybackTarget& target) {
    SessionPayload* file = node.Playable();
    if (!file) return false;
    if (node.kind == NodeKind::Session)
        return OpenFile(file->fileName, file->fileDescription) && OpenInPlayer(*file, node.key, target, true);
    const std::string live = node.source->sourceId + kLiveBufferSuffix;
    std::array<uint32_t, kFileDescriptionWords> description{};
    // A live buffer counts only with a frame size and a frame count.
    if (OpenFile(live, description) && description[5] && description[27]) {
        file->fileName = live;
        file->fileDescription = description;
        return OpenInPlayer(*file, node.key, target, false);
    }
    ShowPlayer(target, 0, 0);
    return false;
}

void ShowPlayFailure(const std::string& text, const PlaybackTarget& target) {
    SendIcpCommand(target.playerName.c_str(), kPlayerNotice, 0, 0, text.c_str());
    ShowPlayer(target, 0, 1);
}

bool ShowDayHistory(ArchiveNode& day, const PlaybackTarget& target) {
    if (!SendIcpCommand(kMotionHistoryFilterName, kMotionHistoryShowDay, day.day->Handle(), 0,
                        static_cast<const void*>(nullptr), 0))
        return false;
    ShowPlayer(target, 1, 1);
    return true;
}

void StopNode(ArchiveNode& node, const PlaybackTarget& target) {
    if (!node.opened) return;
    if (SessionPayload* file = node.Playable()) {
        SendIcpCommand(kPlaybackManagerFilterName, kPlaybackCloseFile, 0, 0, file->fileName.c_str());
        SendIcpCommand(target.playerName.c_str(), kPlayerClose, 0, 0, static_cast<const void*>(nullptr), 0);
        ShowPlayer(target, 0, 0);
    } else if (node.kind == NodeKind::Day) {
        ShowPlayer(target, 1, 0);
    }
}

void EndOfFiles(const PlaybackTarget& target) {
    SendIcpCommand(target.playerName.c_str(), kPlayerEndHandled, 0, 0, static_cast<const void*>(nullptr), 0);
}

}  // namespace corvanta
