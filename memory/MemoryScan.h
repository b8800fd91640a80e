// Memory cleaning: the entry points the scan engine calls.
#pragma once

// First step of every scan run: cleans the running processes.
void RunMemoryPass();
// Terminates the process that runs the file; 1 when the delete may be tried again.
int KillProcessOfFile(const char* path);
