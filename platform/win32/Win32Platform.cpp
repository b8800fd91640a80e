#include "platform/win32/Win32Platform.h"

#include "platform/win32/Win32Parts.h"

namespace {
PromptHandler promptHandler = nullptr;
MessageBoxHandler messageBoxHandler = nullptr;
EndProgramHandler endProgramHandler = nullptr;
}  // namespace

void InstallWin32Platform() {
    InstallPlatform({&Win32FileSystemPart(), &Win32RegistryPart(), &Win32ProcessesPart(),
                     &Win32SessionPart()});
}

void SetPromptHandler(PromptHandler handler) { promptHandler = handler; }

PromptHandler InstalledPromptHandler() { return promptHandler; }

void SetMessageBoxHandler(MessageBoxHandler handler) { messageBoxHandler = handler; }

MessageBoxHandler InstalledMessageBoxHandler() { return messageBoxHandler; }

void SetEndProgramHandler(EndProgramHandler handler) { endProgramHandler = handler; }

EndProgramHandler InstalledEndProgramHandler() { return endProgramHandler; }
