#include "platform/ntfs/NtfsHandles.h"

#include <cstdlib>

bool ToNtfsName(const std::string& text, NtfsName* name) {
    ntfschar* converted = nullptr;
    int length = ntfs_mbstoucs(text.c_str(), &converted);
    bool usable = length > 0 && length <= NTFS_MAX_NAME_LEN;
    if (usable) name->assign(converted, converted + length);
    free(converted);
    return usable;
}

bool FromNtfsName(const ntfschar* name, int length, std::string* text) {
    char* converted = nullptr;
    if (ntfs_ucstombs(name, length, &converted, 0) < 0) return false;
    text->assign(converted);
    free(converted);
    return true;
}
