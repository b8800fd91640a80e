// Process-wide state and helpers shared by every subsystem.
// One instance each, touched only by the user-interface thread.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

extern const char kProgramCaption[];  // "Cordafix Ver 1.0"
extern const char kFamilyName[];      // "W32/Drovak"

// Log line and status line: the two notifications to the main window.
extern char LogLine[500];
extern char StatusText[kPathSize];
extern uintptr_t MainWindowHandle;

// Formats one line into LogLine (bounded) and hands it to the main window.
void PostLogLine(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// Copies text into StatusText (unless it already is StatusText) and shows it.
void PostStatusText(const char* text);

// What the scan walks: kEveryFixedDrive, or a folder whose tree is walked.
extern char ScanTarget[kPathSize];
extern const char kEveryFixedDrive[];  // "!:"

// Disinfection action: 100 delete, 101 rename, 102 delete, 103 leave alone.
extern int32_t ActionCode;
const int32_t kActionDelete = 100;
const int32_t kActionRename = 101;
const int32_t kActionDeleteToo = 102;
const int32_t kActionLeave = 103;
extern int32_t KillActionCode;

extern int32_t FilesScanned;
extern int32_t FilesInfected;
extern int32_t FilesRenamed;
extern int32_t FilesRemoved;
// Infected files whose deletion waits for the restart.
extern int32_t FilesScheduled;

extern uint8_t ScanCancelled;
extern uint8_t StatisticsShown;
extern int32_t RestartNeeded;
extern int32_t MemoryPassActive;
extern int32_t MemoryHit;
extern int32_t MemoryRestartNeeded;
// The system accepted the restart of the computer.
extern uint8_t RestartStarted;

extern char CurrentFilePath[kPathSize + 1];
extern int32_t CurrentFileLength;
extern char LastDetectionName[kPathSize];
extern char RememberedRunValue[128];

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

// Puts every item above back to its start value, as in a new process.
// The tests use it between cases; the program never calls it.
void ClearProcessState();
