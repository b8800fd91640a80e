#include "platform/sim/SimPlatform.h"

#include "platform/sim/SimState.h"

SimStateOwner::SimStateOwner() : ownedState_(new simdetail::SimState) {}
SimStateOwner::~SimStateOwner() {}

SimPlatform::SimPlatform()
    : SimFileSystem(*ownedState_),
      SimRegistry(*ownedState_),
      SimProcesses(*ownedState_, *this),
      SimSession(*ownedState_) {}

SimPlatform::~SimPlatform() {}
