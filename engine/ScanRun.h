// One scan: the memory pass, the walk over the fixed drives (or ScanTarget's
// folder), the statistics block, the final status and the restart question.
#pragma once

// Runs the whole scan on the calling (user-interface) thread; returns 1.
int ScanRun();

// Parts of the run, in the order ScanRun uses them.
// Walks every fixed drive from C: to Z:, each followed by the Program Files follow-up.
void WalkFixedDrives();
// The extra walk of a root's "Program Files" tree when the root walk saw the
// folder but no walk went into a "\Program Files\" path.
void ProgramFilesFollowUp();
// The statistics lines of the log list.
void PostScanStatistics();
// Asks whether to restart now and restarts on YES.
void AskForRestart();
extern const char kRestartQuestion[];
