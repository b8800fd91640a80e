// The program's scan services: its memory pass and repairs, wired into the
// engine's table at start.
#pragma once

#include "engine/ScanServices.h"

// RunMemoryPass, KillProcessOfFile, RepairAfterDetection,
// ScheduleDeleteAtRestart and RestartMachine.
extern const ScanServices ProgramScanServices;
