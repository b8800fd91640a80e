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

ProcessState Shared;

void ClearProcessState() { Shared = ProcessState(); }

void PostLogLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vsnprintf(Shared.LogLine, sizeof Shared.LogLine, format, args);
    va_end(args);
    SysSession().Notify(Shared.MainWindowHandle, kNotifyLogLine, Shared.LogLine);
}

void PostStatusText(const char* text) {
    if (text != Shared.StatusText) snprintf(Shared.StatusText, sizeof Shared.StatusText, "%s", text);
    SysSession().Notify(Shared.MainWindowHandle, kNotifyStatusText, Shared.StatusText);
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
