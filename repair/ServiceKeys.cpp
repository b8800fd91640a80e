#include "repair/ServiceKeys.h"

#include <cstdio>
#include <cstring>

#include "platform/Platform.h"

namespace {

const size_t kKeyPathSize = 512;

const char* const kControlSets[] = {
    "SYSTEM\\ControlSet001\\Services\\",
    "SYSTEM\\ControlSet002\\Services\\",
};

// The sub-keys go first: on the NT family a key with sub-keys cannot be deleted.
const char* const kSuffixes[] = {"\\Enum", "\\Security", ""};

// Longest name whose every key path fits the buffer with its terminating zero.
size_t LongestServiceName() {
    return kKeyPathSize - 1 - strlen(kControlSets[0]) - strlen("\\Security");
}

}  // namespace

int DeleteMachineKey(const char* keyPath) {
    return SysRegistry().KeyDelete(kHkeyLocalMachine, keyPath) == kErrorSuccess ? 1 : 0;
}

int RemoveServiceKeys(const char* serviceName) {
    // An empty name would make the last path the Services key itself.
    size_t length = serviceName ? strlen(serviceName) : 0;
    if (length == 0 || length > LongestServiceName()) return 0;
    int removed = 0;
    char keyPath[kKeyPathSize];
    for (const char* controlSet : kControlSets) {
        for (const char* suffix : kSuffixes) {
            snprintf(keyPath, sizeof keyPath, "%s%s%s", controlSet, serviceName, suffix);
            if (DeleteMachineKey(keyPath) == 1) removed = 1;
        }
    }
    return removed;
}
