#include "sim/SimPlatform.h"

#include "sim/SimState.h"

SimStateOwner::SimStateOwner() : ownedState_(new simdetail::SimState) {}
SimStateOwner::~SimStateOwner() {}

SimPlatform::SimPlatform()
    : SimFileSystem(*ownedState_),
      SimRegistry(*ownedState_),
      SimProcesses(*ownedState_, *this),
      SimSession(*ownedState_) {}

SimPlatform::~SimPlatform() {}

void SimPlatform::FailNth(FaultKind kind, int n) {
    SimFaults& faults = ownedState_->faults;
    faults.failAt[static_cast<int>(kind)] = n > 0 ? faults.calls[static_cast<int>(kind)] + n : 0;
}

int SimPlatform::CallCount(FaultKind kind) const { return ownedState_->faults.calls[static_cast<int>(kind)]; }

const char* FaultKindName(FaultKind kind) {
    static const char* const kNames[] = {"open", "read", "write", "seek", "close", "delete", "move",
                                         "copy", "attribute set", "registry open", "registry set",
                                         "registry delete", "short path", "version"};
    static_assert(sizeof kNames / sizeof kNames[0] == static_cast<int>(FaultKind::Count), "one name per kind");
    return kNames[static_cast<int>(kind)];
}
