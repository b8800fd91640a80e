#include "common/Shared.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

const char kProgramCaption[] = "Cordafix Ver 1.0";
const char kFamilyName[] = "W32/Drovak";
const char kEveryFixedDrive[] = "!:";

namespace {

// The major version numbers of NT 4 and of NT 5.x.
const uint32_t kNt4Major = 4;
const uint32_t kNt5Major = 5;

}  // namespace

char LogLine[500];
char StatusText[kPathSize];
uintptr_t MainWindowHandle;
char ScanTarget[kPathSize];
int32_t ActionCode;
int32_t KillActionCode;
int32_t FilesScanned;
int32_t FilesInfected;
int32_t FilesRenamed;
int32_t FilesRemoved;
int32_t FilesScheduled;
uint8_t ScanCancelled;
uint8_t StatisticsShown;
int32_t RestartNeeded;
int32_t MemoryPassActive;
int32_t MemoryHit;
int32_t MemoryRestartNeeded;
uint8_t RestartStarted;
char CurrentFilePath[kPathSize + 1];
int32_t CurrentFileLength;
char LastDetectionName[kPathSize];
char RememberedRunValue[128];

void PostLogLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vsnprintf(LogLine, sizeof LogLine, format, args);
    va_end(args);
    SysSession().SendToWindow(MainWindowHandle, kNotifyLogLine, 0, 0);
}

void PostStatusText(const char* text) {
    if (text != StatusText) snprintf(StatusText, sizeof StatusText, "%s", text);
    SysSession().SendToWindow(MainWindowHandle, kNotifyStatusText, 0, 0);
}

int ShowPrompt(const char* text, const char* caption, int style) {
    return SysSession().Prompt(text, caption, style);
}

int GetPlatformFamily() {
    OsVersion version;
    if (!SysSession().Version(&version)) return kFamilyUnknown;
    if (version.platformId == kPlatformIdNineX) return kFamilyNineX;
    if (version.platformId == kPlatformIdNt) return kFamilyNt;
    return kFamilyOther;
}

int GetNtGeneration() {
    OsVersion version;
    if (!SysSession().Version(&version) || version.platformId != kPlatformIdNt) return kGenerationNone;
    if (version.major <= kNt4Major) return kGenerationNt4;
    if (version.major == kNt5Major) return kGenerationNt5;
    return kGenerationNone;
}

bool CopyText(char* destination, size_t size, const char* source) {
    size_t length = strlen(source);
    if (size == 0) return false;
    if (length >= size) {
        destination[0] = '\0';
        return false;
    }
    memcpy(destination, source, length + 1);
    return true;
}

bool AppendText(char* destination, size_t size, const char* source) {
    size_t used = strnlen(destination, size);
    size_t length = strlen(source);
    if (used + length >= size) return false;
    memcpy(destination + used, source, length + 1);
    return true;
}

void ClearProcessState() {
    memset(LogLine, 0, sizeof LogLine);
    memset(StatusText, 0, sizeof StatusText);
    MainWindowHandle = 0;
    memset(ScanTarget, 0, sizeof ScanTarget);
    ActionCode = 0;
    KillActionCode = 0;
    FilesScanned = FilesInfected = FilesRenamed = FilesRemoved = FilesScheduled = 0;
    ScanCancelled = StatisticsShown = 0;
    RestartNeeded = MemoryPassActive = MemoryHit = MemoryRestartNeeded = 0;
    RestartStarted = 0;
    memset(CurrentFilePath, 0, sizeof CurrentFilePath);
    CurrentFileLength = 0;
    memset(LastDetectionName, 0, sizeof LastDetectionName);
    memset(RememberedRunValue, 0, sizeof RememberedRunValue);
}
