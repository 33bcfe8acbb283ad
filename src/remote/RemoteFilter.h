#pragma once
// Local proxies of the filters that live on the recorder. A proxy is
// registered by name like any filter, so local components talk to it with
// ordinary ICP exchanges; it carries every record it receives to the
// recorder as a Message request and turns the HTTP answer back into the
// answer record. Each proxy runs on a thread of its own and blocks it for
// the whole round trip while the caller waits.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "framework/CFilter.h"
#include "remote/AnswerWriter.h"

namespace corvanta {

class CHttpRequest;

class CRemoteFilter : public CFilter {
public:
    // Sets the queue's pass-through flag: every record, of any kind, built-in
    // commands included, goes to OnIcp.
    CRemoteFilter();
    ~CRemoteFilter() override;

    // Sends `query` to the recorder's filter of this proxy's name. Returns 1
    // when the recorder answered and `answer` now holds its answer (a
    // picture decoded to packed bottom-up BGR pixels, `encoding` 2 kept);
    // 0 when the request failed, the body was empty or it was refused
    // (see AnswerWriter.h), leaving the answer record as it was.
    int OnIcp(IcpRecord* query, IcpRecord* answer) override;

    // What the last OnIcp met at the recorder's address.
    enum class Reply {
        NotSent,   // no request: the URL is not plain HTTP, or the record too large
        NoAnswer,  // the transport failed: nothing answered
        Empty,     // HTTP 200 with an empty body: the recorder refused
        Foreign,   // another status, or a body that is no answer record
        Answer,    // the recorder's answer, now in the answer record
    };
    Reply LastReply() const { return m_lastReply; }
    // How long the last request waited for the first byte of its answer, in
    // microseconds; 0 when no answer came.
    int64_t LastFirstByteMicros() const { return m_lastFirstByteMicros; }

    // How long the recorder may stay silent before a request of this proxy fails.
    void SetStallTimeoutSeconds(uint32_t seconds) { m_stallSeconds = seconds; }
    uint32_t StallTimeoutSeconds() const { return m_stallSeconds; }

protected:
    // The round trip alone: 1 when the recorder answered `query` with a
    // non-empty body, which `request` then holds.
    int Exchange(const IcpRecord* query, uint32_t queryCapacity, CHttpRequest& request);
    // What `request` met, when its answer made `written` (OnIcp's result).
    static Reply ReplyOf(const CHttpRequest& request, int written);
    // Writes an answer body that came by other means than OnIcp's own
    // request, by the same rules; 1 when `answer` now holds it.
    int Deliver(const uint8_t* body, uint32_t size, IcpRecord* answer);

private:
    std::string m_url;  // kept to reuse its storage from one request to the next
    CAnswerWriter m_writer;
    uint32_t m_stallSeconds;
    Reply m_lastReply = Reply::NotSent;
    int64_t m_lastFirstByteMicros = 0;
};

// The proxy of "AVIArchive Query": the recorder's archive.
class CRemoteArchiveQuery : public CRemoteFilter {
public:
    // Waits kSlowAnswerStallTimeoutSeconds for an answer to begin.
    CRemoteArchiveQuery();
    ~CRemoteArchiveQuery() override;
    static CFilterDescriptor MakeDescriptor();
};

// The proxy of one open file's frame source, made by the playback manager
// proxy and named by the file name with every backslash replaced by a blank.
// Its answer region holds one decoded frame of up to 1600 x 1200 pixels.
//
// Over a slow link it reads ahead (CReadAhead): frames the player is
// predicted to ask for next are requested on connections of their own while
// it plays, and an answer that arrived is only decoded when the player asks
// for its frame. Everything else, and every frame not predicted, goes to
// the recorder when asked, as CRemoteFilter does; so does everything while
// the recorder answers within 10 ms.
class CRemoteStreamFilter : public CRemoteFilter {
public:
    CRemoteStreamFilter();
    ~CRemoteStreamFilter() override;  // cancels what is in flight and closes its connections
    static CFilterDescriptor MakeDescriptor(std::string_view fileName);

    int OnIcp(IcpRecord* query, IcpRecord* answer) override;

    // Process-wide, on by default; off, every frame is one request made when
    // asked for, and what was read ahead is dropped at the next request.
    static void SetReadAheadEnabled(bool on);
    static bool ReadAheadEnabled();

    // Frames answered by every stream proxy of the process so far.
    struct Figures {
        uint64_t kept = 0;       // from an answer that had arrived ahead
        uint64_t waited = 0;     // from a request made ahead and still in flight when asked for
        uint64_t direct = 0;     // by a request made when asked for
        uint64_t cancelled = 0;  // requests made ahead and cancelled (gave-up ones included)
        uint64_t gaveUp = 0;     // requests made ahead that were waited for too long
    };
    static Figures ReadAheadFigures();

private:
    struct ReadAhead;
    int FrameFromAhead(const IcpRecord* query, IcpRecord* answer);
    void RequestAhead(const IcpRecord* query);

    std::unique_ptr<ReadAhead> m_ahead;
};

}  // namespace corvanta
