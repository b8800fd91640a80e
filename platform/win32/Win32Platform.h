// The real Windows behind the platform seam: each call is its Win32 or C
// runtime namesake with the arguments passed through unchanged.
#pragma once

#include "platform/Platform.h"

// Installs the Win32 implementation of every concern; called once at program start.
void InstallWin32Platform();

// The user interface installs its skinned prompt dialog here. Without a
// handler, prompts fall back to the system's MessageBoxA.
void SetPromptHandler(int (*handler)(const char* text, const char* caption, int style));
