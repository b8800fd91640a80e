// A simulated Windows for the native tests: one object that is every concern
// of the seam (files and folders, registry, processes and services, session)
// over one shared state, with each concern's set-up calls for the tests.
#pragma once

#include <memory>

#include "platform/Platform.h"
#include "sim/SimFaults.h"
#include "sim/SimFileSystem.h"
#include "sim/SimProcesses.h"
#include "sim/SimRegistry.h"
#include "sim/SimSession.h"

// Owns the shared state; a base of SimPlatform so the state exists before the
// concerns that refer to it are made.
class SimStateOwner {
protected:
    SimStateOwner();
    ~SimStateOwner();
    std::unique_ptr<simdetail::SimState> ownedState_;
};

class SimPlatform : private SimStateOwner,
                    public SimFileSystem,
                    public SimRegistry,
                    public SimProcesses,
                    public SimSession {
public:
    SimPlatform();
    ~SimPlatform() override;

    // This sim as every concern, for a PlatformScope.
    Platform Parts() { return {this, this, this, this}; }

    // The nth call of this kind from now on (counting from 1) fails; 0: none.
    void FailNth(FaultKind kind, int n);
    // Calls of this kind made so far.
    int CallCount(FaultKind kind) const;
};
