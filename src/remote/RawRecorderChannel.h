#pragma once
// Requests to the recorder without a local proxy: the answer record is
// handed over as the recorder sent it, a frame's JPEG bytes undecoded. For
// work that reads frames on its own connection and must not take them from
// under a player (an export), and that needs the JPEG as it was recorded.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "framework/IcpRecord.h"
#include "remote/HttpRequest.h"
#include "remote/ReadAheadLink.h"

namespace corvanta {

class CRawRecorderChannel {
public:
    // The recorder's base URL and the session every request carries.
    CRawRecorderChannel(std::string serverUrl, std::string sessionId);
    ~CRawRecorderChannel();

    // Gives up the request in flight and later ones while `*cancel` is true.
    void SetCancel(const std::atomic<bool>* cancel) {
        m_cancel = cancel;
        m_request.SetCancel(cancel);
    }

    // Sends a command to a filter on the recorder. True when the answer is
    // one whole record (header and its data); Header() and
    // Data() then show it until the next request. False for a refusal (empty
    // body), a transport failure or a body that is no record.
    bool Command(std::string_view filterName, uint32_t code, uint32_t param1, uint32_t param2,
                 std::span<const uint8_t> data = {});

    // Frame `index` of an open file (command 6 to its frame source): true
    // when the answer is a picture record; Data() is then the JPEG.
    bool GetFrame(std::string_view fileName, uint32_t index);

    // Frames `first`..`last` of `fileName` will be asked in order: several
    // requests go ahead at once on connections of their own, so a reader
    // far from the recorder gets frames at the recorder's pace rather than
    // one per round trip. GetFrame answers from them; a frame outside the
    // run, or whose request failed, is asked directly. StopReadAhead (or
    // another ReadAhead) cancels what is in flight.
    void ReadAhead(std::string_view fileName, uint32_t first, uint32_t last);
    void StopReadAhead();

    const IcpHeader& Header() const { return m_header; }
    std::span<const uint8_t> Data() const { return m_data; }
    // Whether the last request failed in transport (nothing answered), as
    // against a refusal or an answer: a dead recorder, not a bad frame.
    bool NoAnswer() const { return m_noAnswer; }
    bool Cancelled() const { return m_request.Cancelled(); }

private:
    struct Ahead;
    bool CommandUrl(std::string& url, std::string_view filterName, uint32_t code, uint32_t param1, uint32_t param2,
                    std::span<const uint8_t> data = {});
    static bool ReadRecord(const uint8_t* body, size_t size, IcpHeader& header);
    bool FrameFromAhead(uint32_t index);
    void StartAhead();
    bool TakeAnswer(std::vector<uint8_t> body, uint32_t index);
    void Failed(const CReadAheadLink::Done& done);

    std::string m_serverUrl;
    std::string m_sessionId;
    std::string m_url;  // kept to reuse its storage
    std::string m_query;
    CHttpRequest m_request;
    IcpHeader m_header{};
    std::span<const uint8_t> m_data;
    bool m_noAnswer = false;
    const std::atomic<bool>* m_cancel = nullptr;
    std::unique_ptr<Ahead> m_ahead;
    uint32_t m_aheadCeiling = UINT32_MAX;  // lowered for good by a recorder short of connections
};

}  // namespace corvanta
