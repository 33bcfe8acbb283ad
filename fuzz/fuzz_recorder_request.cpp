// Fuzzes what the recorder stand-in reads from the network: the query of a
// Message request and the request record inside it, sent to each filter of
// a logged-in session that has a file open.

#include <cstdint>
#include <cstring>
#include <string>

#include "recorder/DemoRecordedArchive.h"
#include "recorder/Protocol.h"
#include "recorder/RecorderService.h"
#include "recorder/SessionTable.h"

using namespace corvanta::recorder;

namespace {

struct World {
    DemoRecordedArchive archive{DemoArchive{1, CivilDate{2026, 12, 5}},
                                FrameStoreOptions{75, 8u << 20, 0, 1, kMaxAnswerBody - corvanta::kIcpOverhead}};
    SessionTable sessions{defaultUsers(), SessionOptions{}};
    RecorderService service{archive, sessions};
    std::string sid;
    std::string frameSource;

    World() {
        sid = *sessions.logIn("demo", "demo");
        const Recording& rec = archive.demo().recordings(2).front();  // a small-frame source keeps encoding cheap
        sessions.openFile(sid, rec.fileName, archive.findFile(rec.fileName));
        frameSource = rec.fileName;
        for (char& c : frameSource)
            if (c == '\\') c = ' ';
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static World world;
    if (size == 0) return 0;
    const uint8_t mode = data[0];
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);

    if (mode & 1) {
        // As text: the query part of the request line.
        if (auto request = parseFilterQuery(rest)) {
            request->sessionId = world.sid;
            const ServiceAnswer answer = world.service.handle(*request);
            if (answer.body.size() > kMaxAnswerBody) __builtin_trap();
        }
        return 0;
    }
    // As a record, to one of the filters.
    static const std::string kFilters[] = {"Main User Privilege", "AVIArchive Query", "AVIPlayback Manager", world.frameSource};
    FilterRequest request;
    request.sessionId = world.sid;
    request.filterName = kFilters[(mode >> 1) % 4];
    request.record.assign(rest.begin(), rest.end());
    // Keep the session: logging it off would end the run's interesting state.
    if (request.record.size() >= 36 && request.filterName == "Main User Privilege") {
        uint32_t code;
        std::memcpy(&code, request.record.data() + 32, 4);
        if (code == 11) return 0;
    }
    const ServiceAnswer answer = world.service.handle(request);
    if (answer.body.size() > kMaxAnswerBody) __builtin_trap();
    if (!answer.body.empty()) {
        // Every answer is a whole record: header, data and the spare bytes.
        corvanta::IcpHeader h;
        if (answer.body.size() < sizeof h) __builtin_trap();
        std::memcpy(&h, answer.body.data(), sizeof h);
        if (h.dataLength + corvanta::kIcpOverhead != answer.body.size()) __builtin_trap();
    }
    return 0;
}
