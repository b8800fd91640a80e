// The operations of the memory and repair subsystems that the scan engine
// calls, reached through one table that the front end wires: the engine
// includes neither folder, and the engine's own tests stand in for them (as
// ActiveSignatureTable stands in for the detection table).
#pragma once

struct ScanServices {
    void (*runMemoryPass)();
    int (*killProcessOfFile)(const char* path);
    int (*repairAfterDetection)(const char* detectionName);
    int (*scheduleDeleteAtRestart)(const char* path);
    int (*restartMachine)();
};

// The table in use. Empty until the front end wires it before the scan: the
// program its ProgramScanServices (ui/logic/ProgramServices.h),
// cordafix-offline a table of its own.
extern ScanServices ActiveScanServices;
