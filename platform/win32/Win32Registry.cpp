// The real registry: each call is its Win32 namesake.
#include <windows.h>

#include "platform/win32/Win32Parts.h"

namespace {

HKEY AsKey(RegKey key) { return reinterpret_cast<HKEY>(key); }

class Win32Registry : public Registry {
public:
    int32_t KeyOpen(RegKey root, const char* subKey, uint32_t access, RegKey* key) override {
        HKEY opened = NULL;
        LONG result = RegOpenKeyExA(AsKey(root), subKey, 0, access, &opened);
        if (result == ERROR_SUCCESS) *key = reinterpret_cast<RegKey>(opened);
        return result;
    }
    int32_t KeyCreate(RegKey root, const char* subKey, RegKey* key) override {
        HKEY created = NULL;
        DWORD disposition = 0;
        LONG result = RegCreateKeyExA(AsKey(root), subKey, 0, NULL, REG_OPTION_NON_VOLATILE,
                                      KEY_ALL_ACCESS, NULL, &created, &disposition);
        if (result == ERROR_SUCCESS) *key = reinterpret_cast<RegKey>(created);
        return result;
    }
    int32_t KeyClose(RegKey key) override { return RegCloseKey(AsKey(key)); }
    int32_t KeyValueCount(RegKey key, uint32_t* count) override {
        DWORD values = 0;
        LONG result = RegQueryInfoKeyA(AsKey(key), NULL, NULL, NULL, NULL, NULL, NULL, &values, NULL,
                                       NULL, NULL, NULL);
        if (result == ERROR_SUCCESS) *count = values;
        return result;
    }
    int32_t KeyEnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameLength) override {
        DWORD length = *nameLength;
        LONG result = RegEnumValueA(AsKey(key), index, name, &length, NULL, NULL, NULL, NULL);
        if (result == ERROR_SUCCESS) *nameLength = length;
        return result;
    }
    int32_t KeyQueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                          uint32_t* size) override {
        DWORD valueType = 0;
        DWORD length = size ? *size : 0;
        LONG result = RegQueryValueExA(AsKey(key), name, NULL, &valueType, data, size ? &length : NULL);
        if (size) *size = length;
        if (type && result == ERROR_SUCCESS) *type = valueType;
        return result;
    }
    int32_t KeySetValue(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                        uint32_t size) override {
        return RegSetValueExA(AsKey(key), name, 0, type, data, size);
    }
    int32_t KeyDeleteValue(RegKey key, const char* name) override { return RegDeleteValueA(AsKey(key), name); }
    int32_t KeyDelete(RegKey root, const char* subKey) override { return RegDeleteKeyA(AsKey(root), subKey); }
};

}  // namespace

Registry& Win32RegistryPart() {
    static Win32Registry part;
    return part;
}
