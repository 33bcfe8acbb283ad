#pragma once
// Turns the body of the recorder's answer into a proxy's answer record.
//
// The body is one binary IcpRecord: the 64-byte header, `dataLength` bytes
// of data and normally the 4 spare bytes. With `encoding` 2 the data is one
// JPEG picture, which is decoded into the answer's data area; any other
// record is copied as it came. The body comes from the network, so nothing
// in it is trusted:
//
// - shorter than a header: refused;
// - shorter than its own `dataLength` says: refused;
// - longer than its record: the bytes after the record and its 4 spare
//   bytes are ignored;
// - a record with more data than the answer region holds, or a picture
//   larger than it once decoded: refused, never cut;
// - a picture that does not decode: refused;
// - `param1`..`param4` (entry counts among them) are carried unchanged;
//   whoever reads entries bounds their count by `dataLength`.
//
// The answer's `capacity` word belongs to the region's owner and is never
// taken from the body. A refused body leaves the answer record (its header
// and its `dataLength` bytes of data) as it was.

#include <cstdint>
#include <vector>

#include "framework/IcpRecord.h"

namespace corvanta {

// One per proxy, used on the proxy's thread only. It remembers what it last
// wrote into the answer record, so that a picture that fails half way
// through decoding can be undone without decoding every frame into a
// scratch picture first and copying it over.
class CAnswerWriter {
public:
    CAnswerWriter();

    // Writes the answer carried by `body` (`size` bytes) into `answer`,
    // whose data area holds `capacity` bytes (the region is `capacity` + 68
    // bytes long). Returns 1 when the answer record now holds the recorder's
    // answer, with `dataLength` set to the decoded size and `encoding` 2 kept
    // for a picture; 0 when the body is refused. The same `answer` region
    // and `capacity` must be given every time.
    int32_t Write(const uint8_t* body, uint32_t size, IcpRecord* answer, uint32_t capacity);

private:
    enum class Held { Unknown, Data, Picture };

    void Remember(Held held, const uint8_t* bytes, uint32_t length);
    // Puts back the data bytes the answer held before a picture failed.
    void Restore(IcpRecord* answer, uint32_t capacity);

    Held m_held = Held::Unknown;
    // The data last written (Data), or the JPEG it was decoded from (Picture).
    std::vector<uint8_t> m_kept;
};

}  // namespace corvanta
