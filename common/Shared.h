// Process-wide state and helpers shared by every subsystem.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

extern const char kProgramCaption[];  // "Cordafix Ver 1.0"
extern const char kFamilyName[];      // "W32/Drovak"
extern const char kEveryFixedDrive[];  // "!:", ScanTarget for every fixed drive

// Disinfection action: 100 delete, 101 rename, 102 delete, 103 leave alone.
const int32_t kActionDelete = 100;
const int32_t kActionRename = 101;
const int32_t kActionDeleteToo = 102;
const int32_t kActionLeave = 103;

// Every item of the process-wide state, under the name the subsystems know it
// by. One instance (Shared), touched only by the user-interface thread; the
// start values are the ones given here, so a new item is added in this one
// place and ClearProcessState resets it with the others.
struct ProcessState {
    // Log line and status line: the two notifications to the main window.
    char LogLine[500] = {};
    char StatusText[kPathSize] = {};
    uintptr_t MainWindowHandle = 0;

    // What the scan walks: kEveryFixedDrive, or a folder whose tree is walked.
    char ScanTarget[kPathSize] = {};
    // The disinfection action (kAction...), and the copy of it that turns the
    // file checker into its kill confirmation (0 = off).
    int32_t ActionCode = 0;
    int32_t KillActionCode = 0;

    int32_t FilesScanned = 0;
    int32_t FilesInfected = 0;
    int32_t FilesRenamed = 0;
    int32_t FilesRemoved = 0;
    // Infected files whose deletion waits for the restart.
    int32_t FilesScheduled = 0;

    uint8_t ScanCancelled = 0;
    uint8_t StatisticsShown = 0;
    int32_t RestartNeeded = 0;
    int32_t MemoryPassActive = 0;
    int32_t MemoryHit = 0;
    int32_t MemoryRestartNeeded = 0;
    // The system accepted the restart of the computer.
    uint8_t RestartStarted = 0;

    // The extra walk of a drive's "Program Files" tree (see ScanRun).
    char ProgramFilesPattern[kPathSize] = {};
    int32_t ProgramFilesPending = 0;
    int32_t ProgramFilesVisited = 0;

    // The file being matched: its path and length as the matcher read them,
    // and its length as the folder listing reported it (-1: unknown), set by
    // the walk just before the file checkers run.
    char CurrentFilePath[kPathSize + 1] = {};
    int32_t CurrentFileLength = 0;
    int64_t ListedFileLength = -1;
    char LastDetectionName[kPathSize] = {};
    char RememberedRunValue[128] = {};
};
extern ProcessState Shared;

// Puts every item of Shared back to its start value, as in a new process:
// cordafix-offline and the benchmark before each scan, the tests between cases.
void ClearProcessState();

// Formats one line into LogLine (bounded) and hands it to the main window.
void PostLogLine(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// Copies text into StatusText (unless it already is StatusText) and shows it.
void PostStatusText(const char* text);

// The program's one prompt: message-box-like style in, pressed button's code out.
int ShowPrompt(const char* text, const char* caption, int style);

// Platform families, as GetPlatformFamily gives them.
const int kFamilyUnknown = 0;  // the version query failed
const int kFamilyOther = 1;
const int kFamilyNineX = 4;
const int kFamilyNt = 5;
int GetPlatformFamily();

// NT generations, as GetNtGeneration gives them.
const int kGenerationNone = 0;  // not NT, major version 6 or later, or the query failed
const int kGenerationNt4 = 5;   // major version 4 or lower
const int kGenerationNt5 = 6;   // major version 5 (2000, XP, Server 2003)
int GetNtGeneration();

// Bounded copy: always zero-ends, returns false (and writes "") when source
// does not fit. Never cuts a text short.
bool CopyText(char* destination, size_t size, const char* source);
// Bounded append with the same rule; destination is unchanged when it does not fit.
bool AppendText(char* destination, size_t size, const char* source);
