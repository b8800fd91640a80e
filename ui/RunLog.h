// The log file of a run with /log=PATH: the lines the log list shows and the
// run's own, each line on the disk before the program takes its next step,
// so a run that is killed leaves what it did. 8-bit text, CR LF line ends.
#pragma once

#include <cstddef>

// Room for every line of the program (a log line holds 499 characters) and
// its CR LF; a longer line is cut.
const size_t kRunLogLineSize = 1024;

// Opens PATH for appending (creates it when missing); false when it cannot be
// written. Another program may read it meanwhile.
bool OpenRunLog(const char* path);
bool RunLogIsOpen();
// Appends the line and CR LF; nothing happens without an open log.
void WriteRunLogLine(const char* line);
