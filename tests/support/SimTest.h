// Test fixture: a fresh process state on a fresh simulated Windows.
#pragma once

#include <gtest/gtest.h>

#include "common/Shared.h"
#include "platform/sim/SimPlatform.h"

class SimTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearProcessState();
        InstallPlatform(sim.Parts());
        sim.SetVersion(2, 5, 1);  // Windows XP unless a test says otherwise
        MainWindowHandle = sim.mainWindow;
    }
    void TearDown() override { ClearProcessState(); }

    SimPlatform sim;
};
