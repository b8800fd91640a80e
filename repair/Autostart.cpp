#include "repair/Autostart.h"

#include <cstring>

#include "common/Shared.h"
#include "repair/HostsCheck.h"

const char kRunKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunServicesKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices";

namespace {

const char kRemovedLine[] = "System Registry     %s removed";
const char kLeftLine[] = "System Registry     %s not removed as per user's selection";
const char kWalkDetectionName[] = "W32/Drovak.Trojan";

const uint32_t kValueNameSize = 16384;
const size_t kDataTextSize = kPathSize + 1;  // a path's worth of data and a zero
const uint32_t kExpandedSize = kPathSize + 1;

void LowerInPlace(char* text) {
    for (; *text; ++text)
        if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text - 'A' + 'a');
}

bool StartsWith(const char* text, const char* prefix, size_t length) { return strncmp(text, prefix, length) == 0; }

const char* SkipQuote(const char* text) { return text[0] == '"' ? text + 1 : text; }

bool InSystemFolder(const char* lowerPath) {
    return strstr(lowerPath, "\\system\\") != nullptr || strstr(lowerPath, "\\system32\\") != nullptr;
}

void ReportRemoved(const char* detectionName) {
    if (MainWindowHandle != 0) PostLogLine(kRemovedLine, detectionName);
}

// With the leave-alone action a launching value is reported and stays.
bool LeavingAlone() { return ActionCode == kActionLeave; }

bool ReportLeft() {
    if (MainWindowHandle != 0) PostLogLine(kLeftLine, kWalkDetectionName);
    return false;
}

// A bare value ("abc.exe", "\abc.exe") names the program without its folder,
// so it can only be tied to a file in the system folders, where Windows finds it.
// A name that does not fit whole is not remembered (a shortened one could
// later delete another program's value); the value itself still goes.
void Remember(const char* valueName) {
    if (strlen(valueName) < sizeof RememberedRunValue)
        CopyText(RememberedRunValue, sizeof RememberedRunValue, valueName);
}

bool RemoveBareValue(RegKey root, const char* keyPath, const char* valueName) {
    if (!InSystemFolder(CurrentFilePath)) return false;
    if (LeavingAlone()) return ReportLeft();
    if (DeleteRegistryValue(root, keyPath, valueName) != 1) return false;
    Remember(valueName);
    ReportRemoved(kWalkDetectionName);
    return true;
}

bool RemoveLaunchingValue(RegKey root, const char* keyPath, const char* valueName) {
    if (LeavingAlone()) return ReportLeft();
    Remember(valueName);
    if (DeleteRegistryValue(root, keyPath, valueName) != 1) return false;
    ReportRemoved(kWalkDetectionName);
    return true;
}

// Looks at one enumerated value; true when it was deleted.
bool CheckAutostartValue(RegKey root, const char* keyPath, const char* valueName, const char* fileName) {
    char data[kDataTextSize];
    if (ReadRegistryText(root, keyPath, valueName, data, sizeof data) != 1) return false;
    LowerInPlace(data);
    LowerInPlace(CurrentFilePath);

    char expanded[kExpandedSize];
    uint32_t expandedLength = SysFiles().ExpandEnvironment(data, expanded, sizeof expanded);
    if (expandedLength == 0 || expandedLength > sizeof expanded) return false;
    expanded[sizeof expanded - 1] = '\0';
    LowerInPlace(expanded);

    bool bare = strchr(data, '\\') == nullptr || data[0] == '\\';
    if (bare && strstr(data, fileName) != nullptr) return RemoveBareValue(root, keyPath, valueName);

    size_t length = strlen(CurrentFilePath);
    if (!StartsWith(SkipQuote(data), CurrentFilePath, length) &&
        !StartsWith(SkipQuote(expanded), CurrentFilePath, length))
        return false;
    return RemoveLaunchingValue(root, keyPath, valueName);
}

}  // namespace

int DeleteRegistryValue(RegKey root, const char* keyPath, const char* valueName) {
    RegKey key;
    if (SysRegistry().KeyOpen(root, keyPath, kKeyAllAccess, &key) != kErrorSuccess) return 0;
    bool deleted = SysRegistry().KeyDeleteValue(key, valueName) == kErrorSuccess;
    bool closed = SysRegistry().KeyClose(key) == kErrorSuccess;
    return deleted && closed ? 1 : 0;
}

int ReadRegistryText(RegKey root, const char* keyPath, const char* valueName, char* buffer, size_t size) {
    if (size == 0) return 0;
    RegKey key;
    if (SysRegistry().KeyOpen(root, keyPath, kKeyRead, &key) != kErrorSuccess) return 0;
    uint32_t type = 0;
    uint32_t length = 0;
    bool read = SysRegistry().KeyQueryValue(key, valueName, &type, nullptr, &length) == kErrorSuccess &&
                length < size &&
                SysRegistry().KeyQueryValue(key, valueName, &type, reinterpret_cast<uint8_t*>(buffer), &length) ==
                    kErrorSuccess &&
                length < size;
    bool closed = SysRegistry().KeyClose(key) == kErrorSuccess;
    if (!read || !closed) return 0;
    // Whatever the value's type, its bytes are taken as text; they need not end in a zero.
    buffer[length] = '\0';
    return 1;
}

void CleanAutostartKey(RegKey root, const char* keyPath) {
    RegKey key;
    if (SysRegistry().KeyOpen(root, keyPath, kKeyRead, &key) != kErrorSuccess) return;
    uint32_t valueCount = 0;
    if (SysRegistry().KeyValueCount(key, &valueCount) != kErrorSuccess) {
        SysRegistry().KeyClose(key);
        return;
    }
    char valueName[kValueNameSize];
    // Deleting a value moves the ones behind it up one index.
    uint32_t deleted = 0;
    for (uint32_t i = 0; i < valueCount; ++i) {
        // The whole buffer: the longest name a value may have (16,383
        // characters) lists only with room for its zero as well.
        uint32_t nameLength = kValueNameSize;
        valueName[0] = '\0';
        if (SysRegistry().KeyEnumValue(key, i - deleted, valueName, &nameLength) != kErrorSuccess) continue;
        const char* slash = strrchr(CurrentFilePath, '\\');
        // Without a file name every bare value would match.
        if (slash == nullptr || slash[1] == '\0') break;
        if (CheckAutostartValue(root, keyPath, valueName, slash + 1)) ++deleted;
    }
    SysRegistry().KeyClose(key);
}

int RepairAfterDetection(const char* detectionName) {
    // A hosts file left alone would be found again after every detection:
    // it is then checked at the run's first one only.
    if (!LeavingAlone() || FilesInfected == 1) CheckHostsFile();
    if (RememberedRunValue[0] != '\0' && !LeavingAlone()) {
        if (DeleteRegistryValue(kHkeyLocalMachine, kRunKeyPath, RememberedRunValue) == 1)
            ReportRemoved(detectionName);
        if (DeleteRegistryValue(kHkeyLocalMachine, kRunServicesKeyPath, RememberedRunValue) == 1)
            ReportRemoved(detectionName);
    }
    if (CurrentFilePath[0] != '\0') {
        CleanAutostartKey(kHkeyLocalMachine, kRunKeyPath);
        CleanAutostartKey(kHkeyLocalMachine, kRunServicesKeyPath);
    }
    return 1;
}
