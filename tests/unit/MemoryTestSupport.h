// Shared set-up of the memory-cleaning tests: a drive C:, the scan engine's
// two-record detection table, and running programs whose files match it.
#pragma once

#include <string>
#include <vector>

#include "memory/ProcessList.h"
#include "unit/ScanTestSupport.h"

class MemoryTest : public ScanTest {
protected:
    void SetUp() override {
        ScanTest::SetUp();
        sim.AddDrive('C');
        sim.PublishCounterNames();
        Shared.ActionCode = kActionDelete;
    }

    // A running program whose file is infected (record 0) or clean (-1).
    uint32_t Run(const std::string& path, int record = 0, SimPlatform::ProcessSpec spec = {}) {
        if (record >= 0)
            WriteInfected(path, record);
        else
            WriteClean(path);
        spec.path = path;
        return sim.AddProcess(spec);
    }

    static std::vector<std::string> Paths(ProcessRecord* list) {
        std::vector<std::string> paths;
        for (ProcessRecord* record = list; record != nullptr; record = record->next) paths.push_back(record->path);
        FreeProcessList(list);
        return paths;
    }

    // Every process, snapshot, token and service handle was closed, each once.
    void ExpectHandlesClosed() {
        EXPECT_EQ(0, sim.OpenProcessHandles());
        EXPECT_EQ(0, sim.OpenSnapshotHandles());
        EXPECT_EQ(0, sim.OpenServiceHandles());
        EXPECT_EQ(0, sim.openHandles);
        EXPECT_EQ(0, sim.FailedCloses());
    }
};
