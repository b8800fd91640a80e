// Terminating the processes that run a given program file.
#pragma once

#include <cstdint>

#include "platform/Processes.h"

// The access a process is opened with to terminate it (the performance-data
// road asks for kProcessTerminate alone).
const uint32_t kTerminateAccess = kProcessTerminate | kProcessQueryInformation;

// Opens the process with access, terminates it with exit code 0 and closes
// it; true when it was terminated.
bool TerminateById(uint32_t processId, uint32_t access);

// The tool-help snapshot, by the program file's name (the text after the
// last backslash, ignoring case): only the first match is terminated. 1 when
// it was, else 0.
int KillByNameToolhelp(const char* path);
// The performance data, by instance name: every process whose instance name
// begins with the file's name without its extension is terminated. 1 when at
// least one was, else 0.
int KillByNamePerfData(const char* path);
// The process-status library, by the full path (ignoring case): every match
// is terminated. True once the processes could be listed, whatever matched.
bool KillByPathPsapi(const char* path);
