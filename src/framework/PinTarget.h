#pragma once
#include <cstdint>

#include "platform/WindowTypes.h"

namespace corvanta {

// One consumer of an output pin: the queue window told about the pin.
class PinTarget {
public:
    PinTarget(platform::Hwnd window_, bool local_) : local(local_), window(window_) {}
    virtual ~PinTarget() = default;

    bool notified = false;       // PIN_CONNECT was posted to it
    bool local = false;          // bit 15 of the request was clear; not read
    platform::Hwnd window = 0;   // the target queue window
};

}  // namespace corvanta
