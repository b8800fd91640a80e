// System repair: what follows every detection, deletion at restart, restart.
#pragma once

// Hosts check and autostart cleanup after a detection; always returns 1.
int RepairAfterDetection(const char* detectionName);
// 1 when the file will be deleted at the next start, 0 otherwise.
int ScheduleDeleteAtRestart(const char* path);
// Restarts the machine; see the implementation for the result codes.
int RestartMachine();
