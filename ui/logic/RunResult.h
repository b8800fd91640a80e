// What an unattended run tells the deployment system that started it: the
// exit status, the answers it gives in place of a person, and the lines its
// log adds to the log list's own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/ExitStatus.h"
#include "platform/Session.h"
#include "ui/logic/Switches.h"

// The statuses of a run that ends in a restart, after the shared ones.
const int kExitRestartNeeded = 3010;   // ERROR_SUCCESS_REBOOT_REQUIRED
const int kExitRestartStarted = 1641;  // ERROR_SUCCESS_REBOOT_INITIATED

// How a scan ended, from the process-wide counters and flags.
struct ScanOutcome {
    bool scanRan;
    int32_t filesInfected;
    int32_t filesRemoved;
    int32_t filesScheduled;      // deletions left for the restart
    bool cancelled;
    bool endedAfterMemoryPass;   // NT: an infected program was in memory
    bool restartStarted;
};

// A restart started outranks everything (the machine is going down); then a
// scan that did not run, anything found and neither removed nor scheduled (so
// every /nofix run that found something) or a terminated scan, then a
// restart still needed, then found-and-removed, then nothing found.
int ExitStatusOf(const ScanOutcome& outcome);

// The answer given in place of the person, or 0 when the prompt is to be
// shown: with /reboot a restart question is answered so that the computer
// restarts; otherwise, with /silent, every prompt gets the answer that keeps
// the machine as it runs (NO, Cancel, or the lone OK).
int UnattendedAnswer(const RunSwitches& switches, const char* text, int style);

// The log's lines beyond the list's. Line breaks (and the blanks around them)
// of the shown texts become one blank.
//   "Question: TEXT -> YES" (NO, OK, Cancel)
void FormatQuestionLine(char* line, size_t size, const char* text, int answer);
//   "Message: TEXT (CAPTION)", for the system's message boxes
void FormatMessageLine(char* line, size_t size, const char* text, const char* caption);
//   "Windows 5.1 build 2600 (NT family)"
void FormatWindowsLine(char* line, size_t size, bool known, const OsVersion& version);
//   "Exit status 2: Found and something left"; reason explains kExitCouldNotRun
void FormatResultLine(char* line, size_t size, int status, const ScanOutcome& outcome, const char* reason);
