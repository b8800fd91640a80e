#include "common/ProductKey.h"

#include <cstdint>

#include "platform/Platform.h"

namespace {

const char kProductKeyPath[] = "Software\\Quorvex\\Kestrova 2000";
const char kInstalledFolderValue[] = "Installed Folder";
const size_t kInstalledFolderSize = 300;

}  // namespace

bool IsProductInstalled() {
    RegKey key = 0;
    if (SysRegistry().KeyOpen(kHkeyLocalMachine, kProductKeyPath, kKeyRead, &key) != kErrorSuccess)
        return false;
    uint8_t folder[kInstalledFolderSize];
    uint32_t size = sizeof folder;
    uint32_t type = 0;
    int32_t result = SysRegistry().KeyQueryValue(key, kInstalledFolderValue, &type, folder, &size);
    SysRegistry().KeyClose(key);
    return result == kErrorSuccess || result == kErrorMoreData;
}
