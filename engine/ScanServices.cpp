#include "engine/ScanServices.h"

#include "memory/MemoryScan.h"
#include "repair/Repair.h"

const ScanServices ProgramScanServices = {
    RunMemoryPass, KillProcessOfFile, RepairAfterDetection, ScheduleDeleteAtRestart, RestartMachine,
};
ScanServices ActiveScanServices = ProgramScanServices;
