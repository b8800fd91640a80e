// The Win32 implementation of each concern, one object each for the
// program's life. Internal to platform/win32.
#pragma once

#include "platform/Platform.h"

FileSystem& Win32FileSystemPart();
Registry& Win32RegistryPart();
Processes& Win32ProcessesPart();
Session& Win32SessionPart();

// The prompt handler the user interface installed, or null.
typedef int (*PromptHandler)(const char* text, const char* caption, int style);
PromptHandler InstalledPromptHandler();

// The message-box and end-of-program handlers of an unattended run, or null.
typedef int (*MessageBoxHandler)(uintptr_t owner, const char* text, const char* caption, uint32_t style);
typedef uint32_t (*EndProgramHandler)(uint32_t exitCode);
MessageBoxHandler InstalledMessageBoxHandler();
EndProgramHandler InstalledEndProgramHandler();
