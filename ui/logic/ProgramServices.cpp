#include "ui/logic/ProgramServices.h"

#include "memory/MemoryScan.h"
#include "repair/Autostart.h"
#include "repair/Restart.h"
#include "repair/RestartDelete.h"

const ScanServices ProgramScanServices = {
    RunMemoryPass, KillProcessOfFile, RepairAfterDetection, ScheduleDeleteAtRestart, RestartMachine,
};
