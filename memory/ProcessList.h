// Listings of the running processes with the program file each one runs.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

// One listed process. A listing is a chain of these in listing order; its
// caller frees it with FreeProcessList.
struct ProcessRecord {
    uint32_t processId;
    char path[340];  // zero-ended; filled from a source of at most kPathSize characters
    ProcessRecord* next;
};

void FreeProcessList(ProcessRecord* list);

// A snapshot of the processes through the tool-help function looked up in
// kernel; kNoSnapshot when the function is missing or the snapshot fails.
SnapshotHandle TakeProcessSnapshot(LibraryHandle kernel);

// The tool-help snapshot, as the 9x family lists its processes (full paths
// there; NT's tool-help gives file names only). Null when the listing fails
// at any point, or when no process is listed.
ProcessRecord* ListProcesses9x();

// The process-status library, as the NT family lists its processes. False
// when the library or one of its functions is missing or no process id comes
// back; otherwise *list holds every process whose program file could be
// named (possibly none). With withDebugPrivilege, a process that refuses to
// be opened is tried once more after the debug privilege has been enabled.
// A record that cannot be allocated ends the listing with an empty list.
bool ListProcessesNt(bool withDebugPrivilege, ProcessRecord** list);
