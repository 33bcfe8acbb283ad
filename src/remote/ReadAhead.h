#pragma once
// What a stream proxy fetches ahead of the player, and the answers it keeps,
// without any HTTP: the proxy tells it what the player asked for and what
// came back, and it says which frames to request and what to cancel.
//
// Prediction: the step between the last two frames asked for (same
// direction, same distance, at most kMaxStep). The frames after the last
// one asked for, at that step, are requested ahead, a few at a time. Any
// frame asked for other than the predicted next one or the last one again
// (a seek, a step against the direction, a speed change) cancels every
// request in flight and drops every answer kept; the prediction starts again
// from it.
//
// Bounds: at most `frames` frames kept or in flight, at most `bytes` bytes of
// answers kept (each counted at its full size, whatever it is), at most
// `inFlight` requests at once. It starts with kFirstInFlight requests at
// once, enough on a fast link, and takes one more each time the player had
// to wait for a frame on its way, one fewer each time nothing answered; a
// wait for one given up lowers the most in flight for good (a recorder that
// serves only so many connections, the proxy's own among them). A
// request that fails is forgotten: the frame is not asked ahead again until
// the player has asked for it, and is then fetched as any other frame.

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace corvanta {

class CReadAhead {
public:
    static constexpr int32_t kMaxStep = 16;  // the fastest play moves 8 frames a tick
    static constexpr uint32_t kFirstInFlight = 2;
    struct Limits {
        uint32_t frames = 16;
        uint64_t bytes = 16u << 20;
        uint32_t inFlight = 6;
    };

    CReadAhead() : CReadAhead(Limits{}) {}
    explicit CReadAhead(Limits limits);

    // The answer to the player asking for a frame.
    struct Lookup {
        enum class Kind { Kept, InFlight, Fetch } kind = Kind::Fetch;
        std::vector<uint8_t> body;        // Kept: the answer as it came
        std::vector<uint32_t> cancelled;  // requests in flight that are no longer wanted
    };
    // The player asks for `frame`: a kept answer is handed over (and no
    // longer kept), an answer in flight is to be waited for, anything else
    // is to be fetched directly. Asking for the same frame again keeps the
    // prediction, so a frame waited for is asked for again once it arrived.
    Lookup Ask(uint32_t frame);

    // Frames to request now, in the order they will be asked for; each is
    // counted in flight from here on.
    std::vector<uint32_t> ToRequest();

    // The answer of the request for `frame` arrived. Kept when still wanted
    // and within the byte bound; otherwise dropped. Returns whether it was kept.
    bool Arrived(uint32_t frame, std::vector<uint8_t> body);
    // The request for `frame` failed or was refused; `transport` when
    // nothing answered at all (a connection refused or closed), which also
    // takes one request off what may be in flight.
    void Failed(uint32_t frame, bool transport);
    // The wait for `frame` in flight gave up: forgotten as a transport
    // failure, and a recorder that leaves a connection waiting serves no more
    // than were in use, so never as many are in flight again.
    void GaveUp(uint32_t frame);
    // The player had to wait for a frame on its way: the read-ahead is not
    // far enough ahead for the link, so one more request may be in flight.
    void Behind();

    // Forgets the prediction and every answer; returns the frames in flight.
    std::vector<uint32_t> Reset();

    uint32_t InFlightCount() const { return m_inFlight; }
    uint32_t InFlightLimit() const { return m_inFlightLimit; }
    uint32_t MostInFlight() const { return m_limits.inFlight; }
    uint32_t KeptCount() const { return static_cast<uint32_t>(m_entries.size()) - m_inFlight; }
    uint64_t KeptBytes() const { return m_keptBytes; }
    bool IsInFlight(uint32_t frame) const;
    std::vector<uint32_t> InFlightFrames() const;

private:
    struct Entry {
        bool arrived = false;
        std::vector<uint8_t> body;
    };

    // The frame `count` steps after the last one asked for; none past either end.
    std::optional<uint32_t> Predicted(uint32_t count) const;
    // Whether `frame` is `mark` or lies beyond it in the direction of play.
    bool Reached(uint32_t frame, uint32_t mark) const;
    void Erase(std::map<uint32_t, Entry>::iterator it);
    Lookup Take(uint32_t frame);

    Limits m_limits;
    uint32_t m_inFlightLimit;
    std::map<uint32_t, Entry> m_entries;
    uint32_t m_inFlight = 0;
    uint64_t m_keptBytes = 0;
    uint64_t m_largest = 0;        // the largest answer yet, reserved for each request in flight
    std::optional<uint32_t> m_last;
    int32_t m_step = 0;                // 0: nothing predicted
    std::optional<uint32_t> m_barrier; // a request for it failed: nothing from it on is asked ahead
};

}  // namespace corvanta
