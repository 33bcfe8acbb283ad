#pragma once
// The consumer side of a pin: one per pin a filter reads, made when the
// filter is told to connect (PIN_FORCED_RECONNECTION), opened when the pin
// owner confirms with PIN_CONNECT.

#include <cstdint>
#include <string>

#include "framework/FilterInfoBlock.h"
#include "platform/WindowTypes.h"
#include "stores/CRWSMemory.h"

namespace corvanta {

class CPinConnection {
public:
    CPinConnection();
    virtual ~CPinConnection();
    CPinConnection(const CPinConnection&) = delete;
    CPinConnection& operator=(const CPinConnection&) = delete;

    // Maps the pin's PinMemory: its header first, to learn the data size,
    // then header and data. 0 when the region is not there or its size is
    // not believable.
    int Map();
    // Releases the PinMemory when open; with `notice`, asks the pin owner (if
    // its window still exists) to drop this consumer, waiting at most 20 s
    // and not at all for a hung owner.
    void Close(bool notice);

    // The pin's data behind the header, or null while not open. Read it under
    // a read lock of Memory().
    const uint8_t* Data() const;

    uint32_t sequenceNumber;           // from a process-wide counter
    uint32_t pinNumber = 0;            // low 8 bits of the pin word
    std::string remoteFilterName;      // the pin owner's queue window title
    std::string pinName;               // the pin's second text from the owner's PinInfo
    platform::Hwnd ownerWindow = 0;
    uint32_t dataSize = 0;
    CRWSMemory& Memory() { return m_memory; }
    platform::Hwnd ownWindow = 0;
    bool open = false;
    bool keep = false;                 // kept (not deleted) when the pin disconnects
    bool smallPin = false;             // the pin word was below 256; not read
    uint32_t disconnectionRequestMessage;

private:
    CRWSMemory m_memory;
};

}  // namespace corvanta
