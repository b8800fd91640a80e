// A run with command-line switches, for deployment systems: the refusals,
// the log, the one-copy rule, the scan with or without the window, and the
// exit status. Without switches none of this is used.
#pragma once

#include "ui/logic/Switches.h"

// The switches given; all clear in a run without switches.
const RunSwitches& GivenSwitches();

// Runs the program with the switches of commandLine; answers the exit status.
int RunWithSwitches(const char* commandLine);

// ScanRun has returned: a run with switches settles its exit status here (and
// with /reboot restarts first when a restart is needed) and ends its log.
// Without switches nothing happens.
void ConcludeScan();
