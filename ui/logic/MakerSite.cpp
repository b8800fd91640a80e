#include "ui/logic/MakerSite.h"

#include <cstdint>

#include "platform/Platform.h"

bool IsProductInstalled() {
    RegKey key = 0;
    if (SysRegistry().KeyOpen(kHkeyLocalMachine, "Software\\Quorvex\\Kestrova 2000", kKeyRead, &key) !=
        kErrorSuccess)
        return false;
    uint8_t folder[300];
    uint32_t size = sizeof folder;
    uint32_t type = 0;
    int32_t result = SysRegistry().KeyQueryValue(key, "Installed Folder", &type, folder, &size);
    SysRegistry().KeyClose(key);
    return result == kErrorSuccess || result == kErrorMoreData;
}

const char* PageForCommand(int commandId) {
    switch (commandId) {
    case 1053:  // DOWNLOAD
    case 1077:  // DLINK
        return kDownloadPage;
    case 1080:  // ULINK
        return kUtilityPage;
    default:
        return nullptr;
    }
}
