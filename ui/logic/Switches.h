// The command-line switches of an unattended run. Without any, the program is
// the interactive tool it always was: it opens its window and waits for SCAN.
#pragma once

#include <cstddef>

#include "platform/FileSystem.h"

struct RunSwitches {
    bool given;    // anything on the command line: the run keeps a result and an exit status
    bool silent;   // no window, no prompt, no message box; scans at once
    bool noFix;    // finds and reports, changes nothing
    bool reboot;   // restarts the computer when a restart is needed to finish
    bool usage;    // shows the usage text instead of scanning
    char logPath[kPathSize];  // empty: no log
};

// The usage text, as the message box of /? shows it.
extern const char kUsageText[];

// True when the command line (the part after the program's name) holds
// anything but blanks.
bool HasSwitches(const char* commandLine);

// Reads the command line into *switches. Switches are separated by blanks,
// begin with "/" or "-" and are matched without regard to case; double quotes
// keep blanks inside one switch and are dropped ("/log=C:\My Logs\a.log" in
// quotes, or only its path). Every word is read, so that /silent counts even
// after a refused word. False when a word is refused or the switches do not
// go together; refusal then holds the reason, as the log and the message
// box give it.
bool ParseSwitches(const char* commandLine, RunSwitches* switches, char* refusal, size_t refusalSize);
