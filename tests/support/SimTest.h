// Test fixture: a fresh process state on a fresh simulated Windows.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "common/Shared.h"
#include "engine/FileMatcher.h"
#include "engine/ScanServices.h"
#include "engine/WalkTree.h"
#include "platform/sim/SimPlatform.h"
#include "repair/HostsCheck.h"

// Everything as a new process has it: the shared state, and the tables,
// counters and patterns the engine and the hosts check keep, which tests
// replace.
inline void ResetProcessState() {
    ClearProcessState();
    ActiveSignatureTable = SignatureTable;
    ListedFileLength = -1;
    ActiveScanServices = ProgramScanServices;
    ActiveFileCheckerList = FileCheckerList;
    std::memset(ProgramFilesPattern, 0, sizeof ProgramFilesPattern);
    ProgramFilesPending = 0;
    ProgramFilesVisited = 0;
    ActiveAttachmentTable = AttachmentTable;
    ActiveAttachmentCount = kAttachmentTableSize;
}

class SimTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProcessState();
        InstallPlatform(sim.Parts());
        sim.SetVersion(2, 5, 1);  // Windows XP unless a test says otherwise
        MainWindowHandle = sim.mainWindow;
    }
    void TearDown() override { ResetProcessState(); }

    SimPlatform sim;
};
