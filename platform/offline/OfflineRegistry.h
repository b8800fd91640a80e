// The registry of a Windows volume that is not running: its hive files
// mounted under HKEY_LOCAL_MACHINE (SOFTWARE, SYSTEM), read and changed as
// the registry calls of the NT family would.
//
// Text comes and goes as UTF-8, the host's form of the names on the volume,
// so registry data compare with the paths the walk finds. Every change is on
// disk before the call returns success (see OfflineHive).
#pragma once

#include <hivex.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "platform/offline/OfflineHive.h"

class OfflineRegistry : public Registry {
public:
    explicit OfflineRegistry(uint32_t* lastError) : lastError_(lastError) {}

    // Makes hive reachable as HKEY_LOCAL_MACHINE\<hive.Name()>.
    void Mount(OfflineHive* hive) { hives_.push_back(hive); }

    // One removal the registry carried out (or, in a dry run, would have),
    // or one it could not write.
    struct Change {
        std::string key;    // "HKLM\SOFTWARE\...\Run"
        std::string value;  // the value's name; empty for a removed key
        bool isKey;
        bool written;       // false: refused or not written, see error
        std::string error;
    };
    const std::vector<Change>& Changes() const { return changes_; }

    int32_t KeyOpen(RegKey root, const char* subKey, uint32_t access, RegKey* key) override;
    int32_t KeyCreate(RegKey root, const char* subKey, RegKey* key) override;
    int32_t KeyClose(RegKey key) override;
    int32_t KeyValueCount(RegKey key, uint32_t* count) override;
    int32_t KeyEnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameLength) override;
    int32_t KeyQueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data, uint32_t* size) override;
    int32_t KeySetValue(RegKey key, const char* name, uint32_t type, const uint8_t* data, uint32_t size) override;
    int32_t KeyDeleteValue(RegKey key, const char* name) override;
    int32_t KeyDelete(RegKey root, const char* subKey) override;

private:
    struct OpenKey {
        OfflineHive* hive;
        hive_node_h node;
        std::string path;  // for the report
        bool deleted;
    };
    int32_t Locate(RegKey root, const char* subKey, bool create, OpenKey* found);
    int32_t Resolve(RegKey key, OpenKey** open);
    RegKey Remember(const OpenKey& key);
    int32_t CommitChange(OfflineHive* hive, const std::string& key, const std::string& value, const HiveEdit& edit);
    int32_t Fail(int32_t error);

    uint32_t* lastError_;
    std::vector<OfflineHive*> hives_;
    std::map<RegKey, OpenKey> keys_;
    RegKey nextKey_ = 0x1000;
    std::vector<Change> changes_;
};
