#pragma once
// Whether a process recorded by its id still runs. An id alone does not say
// it: once a process has ended, the kernel gives its id to a new one, so the
// start time recorded with the id must match as well.

#include <cstdint>

namespace corvanta::platform {

// When the process `pid` started, in clock ticks after boot; 0 when there is
// no such process (or it cannot be read).
uint64_t ProcessStartTime(int32_t pid);

// The calling process's start time, read once.
uint64_t OwnProcessStartTime();

// True while the process that had `pid` and started at `startTime` runs.
// A start time of 0 (not recorded) checks the id alone. A process found
// running is remembered with a pidfd, so later checks of it cost one poll.
bool ProcessRunning(int32_t pid, uint64_t startTime);

}  // namespace corvanta::platform
