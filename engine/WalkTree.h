// The directory walk: one folder tree (or, during the memory pass, one
// program file) handed entry by entry to the file checkers, with the window
// kept alive between entries.
#pragma once

#include <cstdint>

#include "platform/FileSystem.h"

// A file checker: non-zero when it has dealt with the file, which keeps the
// later checkers from seeing it.
typedef int (*FileChecker)(const char* tag, const char* path);

struct FileCheckerEntry {
    const char* tag;  // null ends the list
    FileChecker checker;
};

// The checkers every file is handed to, in order: "W32/Drovak.Trojan" with
// CheckAndCleanFile.
extern const FileCheckerEntry FileCheckerList[];
// The list the walk uses; FileCheckerList unless a test installs another.
extern const FileCheckerEntry* ActiveFileCheckerList;

// The extra walk of a drive's "Program Files" tree (see ScanRun).
extern char ProgramFilesPattern[kPathSize];
extern int32_t ProgramFilesPending;
extern int32_t ProgramFilesVisited;

// Walks a folder pattern ("C:\*.*", "C:\Windows\*.*"): first every entry of
// the folder, then each subfolder depth-first. While MemoryPassActive is set
// the pattern is the full path of one program file, which alone is examined
// (and not counted). Returns -1 for a pattern without ".", 0 when the scan was
// cancelled, otherwise FilesScanned. Entries whose full path would not fit in
// 260 bytes are passed over: a path cut short could name another file.
int WalkTree(const char* pattern);

// Told of each entry passed over for its length: its folder (as in the
// pattern, "C:\Windows\"), its name, and whether it is a folder (then
// nothing below it was looked at either). Null, as in the program, whose
// window has no place for it: nothing is told.
extern void (*OnPathTooLong)(const char* folder, const char* name, bool isFolder);

// Handles at most one queued window message. Escape (on any message) asks
// whether to terminate; WM_QUIT and WM_DESTROY terminate. May set ScanCancelled.
void PumpScanMessages();
