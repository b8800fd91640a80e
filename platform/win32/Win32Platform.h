// The real Windows behind the platform seam: each call is its Win32 or C
// runtime namesake with the arguments passed through unchanged.
#pragma once

#include "platform/Platform.h"

// Installs the Win32 implementation of every concern; called once at program start.
void InstallWin32Platform();

// The user interface installs its skinned prompt dialog here. Without a
// handler, prompts fall back to the system's MessageBoxA.
void SetPromptHandler(int (*handler)(const char* text, const char* caption, int style));

// An unattended run takes over the system's message boxes (they go to its
// log, and are shown only when a person watches) and the end of the program
// (which settles its exit status: the handler answers the status to end with).
// Without them, MessageBoxA and ExitProcess as asked.
void SetMessageBoxHandler(int (*handler)(uintptr_t owner, const char* text, const char* caption,
                                         uint32_t style));
void SetEndProgramHandler(uint32_t (*handler)(uint32_t exitCode));
