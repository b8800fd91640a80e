// System repair: what follows every detection, deletion at restart, restart.
#pragma once

// Checks the hosts file, then removes the autostart values (Run and
// RunServices) that launch CurrentFilePath or carry the name remembered from
// an earlier infected file, each with a log line. Always returns 1.
int RepairAfterDetection(const char* detectionName);
// 1 when the system will delete the file at its next start (NT: a delayed
// deletion it accepted; 9x: an entry in wininit.ini), 0 otherwise.
int ScheduleDeleteAtRestart(const char* path);
// Restarts the machine at once, closing programs by force. 0 when the
// process's token cannot be opened; the system's error code when the shutdown
// privilege cannot be enabled (ERROR_NOT_ALL_ASSIGNED without the right);
// otherwise non-zero once the restart has begun, 0 when it was refused.
int RestartMachine();
