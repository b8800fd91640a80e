#include "ui/logic/MakerSite.h"

#include "res/resource.h"

const char* PageForCommand(int commandId) {
    switch (commandId) {
    case IDC_DOWNLOAD:
    case IDC_DLINK:
        return kDownloadPage;
    case IDC_ULINK:
        return kUtilityPage;
    default:
        return nullptr;
    }
}
