#pragma once
// An instance per test process, so parallel tests never share a queue directory.

#include <unistd.h>

#include "framework/InstanceNames.h"

namespace corvanta::test {

inline int UseOwnInstance() {
    int n = 40000 + (getpid() % 20000);
    InstanceNames::SetInstanceNumber(n);
    return n;
}

}  // namespace corvanta::test
