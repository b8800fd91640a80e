// The registry, the performance data included. Results are Win32 error
// codes (0 = success).
#pragma once

#include <cstdint>

#include "platform/Errors.h"

typedef uintptr_t RegKey;
const RegKey kHkeyClassesRoot = 0x80000000u;
const RegKey kHkeyCurrentUser = 0x80000001u;
const RegKey kHkeyLocalMachine = 0x80000002u;
const RegKey kHkeyUsers = 0x80000003u;
const RegKey kHkeyPerformanceData = 0x80000004u;
const uint32_t kKeyRead = 0x20019;
const uint32_t kKeyAllAccess = 0xF003F;
const uint32_t kRegSz = 1;
const uint32_t kRegExpandSz = 2;
const uint32_t kRegBinary = 3;
const uint32_t kRegDword = 4;
const uint32_t kRegMultiSz = 7;

class Registry {
public:
    virtual ~Registry() {}

    virtual int32_t KeyOpen(RegKey root, const char* subKey, uint32_t access, RegKey* key) = 0;
    virtual int32_t KeyCreate(RegKey root, const char* subKey, RegKey* key) = 0;
    virtual int32_t KeyClose(RegKey key) = 0;
    virtual int32_t KeyValueCount(RegKey key, uint32_t* count) = 0;  // RegQueryInfoKeyA
    virtual int32_t KeyEnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameLength) = 0;
    virtual int32_t KeyQueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                                  uint32_t* size) = 0;
    virtual int32_t KeySetValue(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                                uint32_t size) = 0;
    virtual int32_t KeyDeleteValue(RegKey key, const char* name) = 0;
    virtual int32_t KeyDelete(RegKey root, const char* subKey) = 0;
};
