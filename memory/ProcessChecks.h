// The memory pass's checks of the running processes: each process's program
// file goes through the file checker, and an infected one is terminated and
// its file removed.
#pragma once

#include <cstddef>

// The 9x family: the tool-help listing; no services.
void CheckProcesses9x();
// The NT family: the process-status listing (with the debug privilege for
// processes that refuse access). On NT 4 and NT 5.x a process that survives
// its second termination has its service of the same name stopped and that
// service's keys removed, and MemoryRestartNeeded is set when the stop fails.
// Non-zero when at least one listed program file was found infected.
int CheckProcessesNt();

// The service of a program file: the text after its path's last backslash,
// cut at its last dot (D:\WINNT\SYSTEM32\EVIL.EXE gives EVIL).
void ServiceNameOf(const char* path, char* name, size_t size);
