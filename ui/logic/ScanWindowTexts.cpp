#include "ui/logic/ScanWindowTexts.h"

#include <cstdio>

#include "common/Shared.h"

namespace {

bool Fits(int written, char* buffer, size_t size) {
    if (written >= 0 && static_cast<size_t>(written) < size) return true;
    if (size > 0) buffer[0] = '\0';
    return false;
}

}  // namespace

bool FormDescriptionText(char* buffer, size_t size) {
    return Fits(snprintf(buffer, size, "%s - Tool to detect and remove all the variants of %s Trojan",
                         kProgramCaption, kFamilyName),
                buffer, size);
}

bool FormFamilyLineText(char* buffer, size_t size) {
    return Fits(snprintf(buffer, size, "for %s Trojan", kFamilyName), buffer, size);
}

bool FormSearchingForText(char* buffer, size_t size) {
    return Fits(snprintf(buffer, size, "Searching for %s Trojan and its variants", kFamilyName),
                buffer, size);
}
