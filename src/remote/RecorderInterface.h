#pragma once
// Everything this system sends to the recorder and relies on in its
// answers, in one place. The record layouts and the command codes live with
// the records; this header gathers them and adds what belongs to no record.
//
// Transport: one HTTP GET per request,
//   "<base>/Filter?Message&SID=<session>&Name=<filter>&Data=<record in hex>"
// (AppendMessageRequestUrl, RemoteSession.h). The body is one binary
// IcpRecord; with `encoding` 2 its data is one JPEG picture. The HTTP status
// is not looked at: a request succeeds exactly when the body is not empty,
// and no body is longer than CHttpRequest::kMaxBody.
//
// Filters and commands (`kind` kIcpCommand):
//
// | filter                        | code                         | data sent            | relied on in the answer |
// |-------------------------------|------------------------------|----------------------|-------------------------|
// | kUserPrivilegeFilterName      | kPrivilegeLogIn (14)         | LoginRecord          | non-empty: accepted; data = session id, at most kMaxSessionIdLength characters |
// |                               | kPrivilegeLogOff (11)        | session id text      | nothing |
// |                               | kPrivilegeCheck (8)          | PrivilegeQuery       | non-empty: granted |
// | kArchiveQueryFilterName       | kArchiveListSources (6), kArchiveListMonths (1), kArchiveListDays (2), kArchiveListSessions (3), kArchiveSearch (5) | per command | `param1` = entry count, fixed-size entries in the data |
// |                               | kArchiveSelectFile (4)       | file number, source id | nothing |
// |                               | kArchiveDayActivity (7)      | TimeQuery of a day   | DayWindowHeader, then `count` activity bytes |
// |                               | kArchiveSecondIndex (8)      | TimeQuery of a file  | DayWindowHeader, then `count` 32-bit frame numbers |
// | kPlaybackManagerFilterName    | kPlaybackOpenFile (4), kPlaybackCloseFile (5) | file name text | open: FileDescription |
// | FrameSourceName(file name)    | kFrameSourceGetFrame (6)     | `param1` = frame number | `encoding` 2, one JPEG of the file's size; `param3` = hold time in ms |

#include <cstdint>
#include <string>
#include <string_view>

#include "archive/ArchiveRecords.h"
#include "framework/IcpRecord.h"
#include "playback/PlaybackRecords.h"
#include "services/UserAccessRecords.h"

namespace corvanta {

// The frame source of an open file on the recorder, and its local proxy,
// are named by the file name with every backslash replaced by a blank.
inline std::string FrameSourceName(std::string_view fileName) {
    std::string name(fileName);
    for (char& c : name) {
        if (c == '\\') {
            c = kFrameSourceNameSeparator;
        }
    }
    return name;
}

// The largest decoded frame a stream proxy takes: 1600 x 1200 pixels of 3 bytes.
inline constexpr uint32_t kFrameAnswerCapacity = 1600 * 1200 * 3;

}  // namespace corvanta
