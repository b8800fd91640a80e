// The one seam between the cleaner's logic and the operating system.
//
// Engine, memory and repair code (and the pure rules of the user interface)
// reach Windows only through the four concerns below. The cross-built program
// installs the thin Win32 implementation, cordafix-offline the offline one,
// the native tests the simulated Windows. Method names avoid the A/W macros
// of <windows.h> on purpose.
#pragma once

#include "platform/FileSystem.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/Session.h"

// One implementation of every concern.
struct Platform {
    FileSystem* files;
    Registry* registry;
    Processes* processes;
    Session* session;
};

// The implementation in use; valid once one has been installed.
FileSystem& SysFiles();
Registry& SysRegistry();
Processes& SysProcesses();
Session& SysSession();

// Installs an implementation for as long as this object lives, and puts
// back the one installed before when it ends: the seam never refers to an
// implementation that is gone. The program holds one for its whole run,
// cordafix-offline for each scan, each test in its fixture.
class PlatformScope {
public:
    explicit PlatformScope(const Platform& platform);
    ~PlatformScope();
    PlatformScope(const PlatformScope&) = delete;
    PlatformScope& operator=(const PlatformScope&) = delete;

private:
    Platform previous_;
};
