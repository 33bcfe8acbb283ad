#pragma once
// The recorder's filters, independent of HTTP: "Main User Privilege",
// "AVIArchive Query", "AVIPlayback Manager" and the frame sources of the
// files a session has open. A request goes in as the decoded query fields;
// what comes out is the answer body, empty for anything that cannot be
// served (the protocol's only failure signal).

#include <string>

#include "recorder/Protocol.h"
#include "recorder/RecordedArchive.h"
#include "recorder/SessionTable.h"

namespace corvanta::recorder {

struct ServiceAnswer {
    std::string body;      // empty = refused
    bool picture = false;  // the body carries a JPEG (encoding 2)
    std::string note;      // what was asked and why it was refused, for the log
};

class RecorderService {
public:
    RecorderService(RecordedArchive& archive, SessionTable& sessions);

    ServiceAnswer handle(const FilterRequest& request);

private:
    ServiceAnswer userPrivilege(const FilterRequest& request, const RequestRecord& rec);
    ServiceAnswer archiveQuery(const RequestRecord& rec);
    ServiceAnswer playbackManager(const FilterRequest& request, const RequestRecord& rec);
    ServiceAnswer frameSource(const FilterRequest& request, const RequestRecord& rec);

    RecordedArchive& archive_;
    SessionTable& sessions_;
};

}  // namespace corvanta::recorder
