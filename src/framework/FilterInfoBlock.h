#pragma once
// What a filter publishes about itself (codes, version, name, output pins),
// and the header of a pin's data region. Clients copy them whole.

#include <cstddef>
#include <cstdint>

namespace corvanta {

inline constexpr uint32_t kMaxPins = 200;

struct PinInfo {
    uint32_t valid;       // 1 for a published pin
    uint32_t pinNumber;
    uint32_t word1;       // pin words: carried, never interpreted here
    uint32_t word2;
    char text1[44];
    uint32_t word3;
    uint32_t word4;
    uint32_t pinReady;    // 1 while the pin's data can be read
    char text2[51];
    char text3[101];
};
static_assert(sizeof(PinInfo) == 224);
static_assert(offsetof(PinInfo, valid) == 0);
static_assert(offsetof(PinInfo, pinNumber) == 4);
static_assert(offsetof(PinInfo, word1) == 8);
static_assert(offsetof(PinInfo, word2) == 12);
static_assert(offsetof(PinInfo, text1) == 16);
static_assert(offsetof(PinInfo, word3) == 60);
static_assert(offsetof(PinInfo, word4) == 64);
static_assert(offsetof(PinInfo, pinReady) == 68);
static_assert(offsetof(PinInfo, text2) == 72);
static_assert(offsetof(PinInfo, text3) == 123);

struct FilterInfoBlock {
    uint32_t window;      // the filter's queue window
    uint32_t classCode;
    uint32_t typeCode;
    uint32_t thirdCode;
    char version[44];
    PinInfo pins[kMaxPins];  // free entries are zero
    uint32_t pinCount;
    char name[104];
};
static_assert(sizeof(FilterInfoBlock) == 44968);
static_assert(offsetof(FilterInfoBlock, window) == 0);
static_assert(offsetof(FilterInfoBlock, classCode) == 4);
static_assert(offsetof(FilterInfoBlock, typeCode) == 8);
static_assert(offsetof(FilterInfoBlock, thirdCode) == 12);
static_assert(offsetof(FilterInfoBlock, version) == 16);
static_assert(offsetof(FilterInfoBlock, pins) == 60);
static_assert(offsetof(FilterInfoBlock, pinCount) == 44860);
static_assert(offsetof(FilterInfoBlock, name) == 44864);

struct PinMemoryHeader {
    uint8_t reserved[220];  // not interpreted by this system
    uint32_t dataSize;      // bytes of data that follow the header
    uint32_t spare;
};
static_assert(sizeof(PinMemoryHeader) == 228);
static_assert(offsetof(PinMemoryHeader, dataSize) == 220);

}  // namespace corvanta
