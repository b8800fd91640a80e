// The operations of the memory and repair subsystems that the scan engine
// calls, reached through one table so that the engine's own tests can stand
// in for them (as ActiveSignatureTable stands in for the detection table).
#pragma once

struct ScanServices {
    void (*runMemoryPass)();
    int (*killProcessOfFile)(const char* path);
    int (*repairAfterDetection)(const char* detectionName);
    int (*scheduleDeleteAtRestart)(const char* path);
    int (*restartMachine)();
};

// RunMemoryPass, KillProcessOfFile, RepairAfterDetection,
// ScheduleDeleteAtRestart and RestartMachine.
extern const ScanServices ProgramScanServices;
// The table in use; ProgramScanServices unless a test installs another.
extern ScanServices ActiveScanServices;
