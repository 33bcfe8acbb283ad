#pragma once
// A test with its own instance and queue manager, so its filters are found by name.

#include <gtest/gtest.h>

#include <string>

#include "framework/CMessageQueueManager.h"
#include "support/Instance.h"
#include "support/WaitFor.h"

namespace corvanta::test {

class InstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        instance = UseOwnInstance();
        manager.Start();
    }
    // True once a queue of this name is in the directory.
    static bool Registered(const std::string& name) {
        return WaitFor([&] { return CMessageQueueManager::FindQueue(name) != 0; }, 3000);
    }

    int instance = 0;
    CMessageQueueManager manager;
};

}  // namespace corvanta::test
