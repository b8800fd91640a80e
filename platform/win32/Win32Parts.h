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
