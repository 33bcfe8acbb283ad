#pragma once
// The request/answer record that travels between filters: through a filter's
// shared query and answer regions locally, and as the body of an HTTP answer
// from the recorder. Layout is fixed: 32-bit little-endian words.

#include <cstddef>
#include <cstdint>

namespace corvanta {

struct IcpHeader {
    int32_t status;         // caller writes 0; answer: 1 done, -1 failed, -2 done but empty
    uint32_t reserved[6];   // never interpreted, carried unchanged
    uint32_t kind;          // what is asked (IcpKind) or, in an answer, what was answered
    uint32_t code;          // command code for kind 3
    uint32_t param1;
    uint32_t param2;
    uint32_t param3;
    uint32_t param4;
    uint32_t dataLength;    // bytes of data after the header
    uint32_t capacity;      // data capacity of the region; written only by the region's owner
    uint32_t encoding;      // 0 data as is; 2 picture data (JPEG on the wire, pixels locally)
};
static_assert(sizeof(IcpHeader) == 64);
static_assert(offsetof(IcpHeader, status) == 0);
static_assert(offsetof(IcpHeader, reserved) == 4);
static_assert(offsetof(IcpHeader, kind) == 28);
static_assert(offsetof(IcpHeader, code) == 32);
static_assert(offsetof(IcpHeader, param1) == 36);
static_assert(offsetof(IcpHeader, param2) == 40);
static_assert(offsetof(IcpHeader, param3) == 44);
static_assert(offsetof(IcpHeader, param4) == 48);
static_assert(offsetof(IcpHeader, dataLength) == 52);
static_assert(offsetof(IcpHeader, capacity) == 56);
static_assert(offsetof(IcpHeader, encoding) == 60);

// A record as it sits at offset 0 of a region or buffer; `data` runs on for
// `dataLength` bytes (the region is `capacity` + 68 bytes long). Its first 64
// bytes are an IcpHeader, spelled out again so the type stays standard-layout.
struct IcpRecord {
    int32_t status;
    uint32_t reserved[6];
    uint32_t kind;
    uint32_t code;
    uint32_t param1;
    uint32_t param2;
    uint32_t param3;
    uint32_t param4;
    uint32_t dataLength;
    uint32_t capacity;
    uint32_t encoding;
    uint8_t data[];   // `dataLength` bytes, within the region's `capacity`
};
static_assert(sizeof(IcpRecord) == 64);
static_assert(offsetof(IcpRecord, kind) == offsetof(IcpHeader, kind));
static_assert(offsetof(IcpRecord, dataLength) == offsetof(IcpHeader, dataLength));
static_assert(offsetof(IcpRecord, capacity) == offsetof(IcpHeader, capacity));
static_assert(offsetof(IcpRecord, encoding) == offsetof(IcpHeader, encoding));
static_assert(offsetof(IcpRecord, data) == 64);

// Header, data area and the 4 spare bytes behind it.
inline constexpr uint32_t kIcpOverhead = 68;
inline constexpr uint32_t kIcpHeaderSize = 64;

inline constexpr int32_t kIcpStatusDone = 1;
inline constexpr int32_t kIcpStatusFailed = -1;
inline constexpr int32_t kIcpStatusEmpty = -2;

inline constexpr uint32_t kIcpEncodingRaw = 0;
inline constexpr uint32_t kIcpEncodingPicture = 2;

enum IcpKind : uint32_t {
    kIcpGet = 1,
    kIcpSet = 2,
    kIcpCommand = 3,
    kIcpSetAnswer = 5,
    kIcpGetAnswer = 6,
    kIcpCommandAnswer = 7,
    kIcpReadTagged = 8,
    kIcpWriteTagged = 9,
    kIcpReadTaggedAnswer = 10,
    kIcpWriteTaggedAnswer = 11,
};

// Command codes (kind 3) every filter answers in CFilter itself, before OnIcp.
// Each filter numbers its own commands from 1 in the header of its records
// (ArchiveRecords.h, PlayerRecords.h, ...); a new command takes the next free
// code of that filter, never one of 65000 and above, which stay the base's.
enum IcpBuiltinCommand : uint32_t {
    kCmdStartGui = 65000,
    kCmdStopGui = 65001,
    kCmdUpdateSet = 65002,
    kCmdGetPercent = 65003,
    kCmdStopPercent = 65004,
    kCmdCopySettings = 65005,
    kCmdPasteSettings = 65006,
};

}  // namespace corvanta
