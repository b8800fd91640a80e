// Test fixture: a fresh process state on a fresh simulated Windows.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "common/Shared.h"
#include "engine/FileMatcher.h"
#include "engine/ScanServices.h"
#include "engine/WalkTree.h"
#include "repair/HostsCheck.h"
#include "sim/SimPlatform.h"
#include "ui/logic/ProgramServices.h"

// Everything as a new process has it: the shared state, and the tables and
// services the engine and the hosts check use, which tests replace.
inline void ResetProcessState() {
    ClearProcessState();
    ActiveSignatureTable = SignatureTable;
    ActiveScanServices = ProgramScanServices;
    ActiveFileCheckerList = FileCheckerList;
    ActiveAttachmentTable = AttachmentTable;
    ActiveAttachmentCount = kAttachmentTableSize;
}

class SimTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProcessState();
        sim.SetVersion(2, 5, 1);  // Windows XP unless a test says otherwise
        Shared.MainWindowHandle = sim.mainWindow;
    }
    void TearDown() override { ResetProcessState(); }

    SimPlatform sim;
    PlatformScope seam{sim.Parts()};
};
