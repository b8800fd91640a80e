// Memory cleaning: the entry points the scan engine calls.
#pragma once

// First step of every scan run: cleans the running processes. On the NT
// family a pass that found an infected program ends the program (after the
// restart question when a service could not be stopped). With the
// leave-alone action there is nothing to do.
void RunMemoryPass();
// Asked before the program ends when a service of an infected program could not be stopped.
extern const char kMemoryRestartQuestion[];
// Terminates the process that runs the file (reporting a failure in the
// system's box where the platform's method can tell); 1 when the delete may
// be tried again.
int KillProcessOfFile(const char* path);
