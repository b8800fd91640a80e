#include "repair/Repair.h"

// Placeholders until the repair subsystem lands.
int RepairAfterDetection(const char*) { return 1; }
int ScheduleDeleteAtRestart(const char*) { return 0; }
int RestartMachine() { return 0; }
