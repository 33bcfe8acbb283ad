#pragma once
// An output pin: data published in a shared PinMemory region, and the queue
// windows of the consumers to tell about it. No filter of this system makes
// one; a pin owner adds its pins to its filter with CFilter::AddPin.

#include <atomic>
#include <cstdint>
#include <string>

#include "framework/FilterInfoBlock.h"
#include "stores/CLockedPtrArray.h"
#include "stores/CRWSMemory.h"

namespace corvanta {

class CPin {
public:
    explicit CPin(uint32_t pinNumber);
    CPin(const CPin&) = delete;
    CPin& operator=(const CPin&) = delete;

    // Releases what the pin holds for its consumers; the base keeps its
    // memory (it goes with the pin) and returns 1.
    virtual int Release();
    // Given the word published at PinInfo offset 8, when it is not 0, just
    // before the pin is published. The base returns 1.
    virtual int OnPublishWord(uint32_t word);
    virtual ~CPin();

    // Makes the pin's PinMemory "<owner> PIN <n> PINMemory <instance>" with
    // room for `dataSize` bytes behind the 228-byte header, and writes the
    // size into the header. 0 when the region cannot be made.
    int CreateMemory(const std::string& ownerName, uint32_t dataSize);
    // Copies `size` bytes (at most the data size) into the data under the
    // writer lock. 0 without memory.
    int Write(const void* bytes, uint32_t size);
    CRWSMemory& Memory() { return m_memory; }
    uint32_t DataSize() const { return m_dataSize; }

    // Fills a PinInfo entry from the pin.
    void Describe(PinInfo& info) const;

    CLockedPtrArray targets;     // PinTarget*, owned; use under its lock
    uint32_t pinNumber;
    std::atomic<bool> ready{false};
    uint32_t targetCount = 0;
    std::string text1;           // up to 43 characters
    std::string text2;           // up to 50 characters: what consumers keep as the pin's name
    std::string text3;           // up to 100 characters
    uint32_t word8 = 0;          // published at PinInfo offsets 8, 12, 60 and 64
    uint32_t word12 = 0;
    uint32_t word60 = 0;
    uint32_t word64 = 0;

private:
    CRWSMemory m_memory;
    uint32_t m_dataSize = 0;
};

}  // namespace corvanta
