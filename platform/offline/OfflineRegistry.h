// The registry of a Windows volume that is not running: its hive files
// mounted under HKEY_LOCAL_MACHINE (SOFTWARE, SYSTEM), read and changed as
// the registry calls of the NT family would.
//
// Text comes and goes as UTF-8, the host's form of the names on the volume,
// so registry data compare with the paths the walk finds. Every change is on
// disk before the call returns success (see OfflineHive). What cannot be read
// (a damaged value, a key whose list of sub-keys is damaged) is answered as
// damaged (ERROR_BADDB) and listed in NotRead(); a key whose values cannot all
// be read is never rewritten, so none of them is lost.
#pragma once

#include <hivex.h>

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "platform/offline/OfflineHive.h"

class OfflineRegistry : public Registry {
public:
    explicit OfflineRegistry(uint32_t* lastError) : lastError_(lastError) {}

    // Makes hive reachable as HKLM\<hive.Name()>; a hive that is not used
    // answers every call as damaged.
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

    // A value or key that could not be read, each named once.
    struct Unread {
        std::string key;    // "HKLM\SOFTWARE\...\Run"
        std::string value;  // the value's name ("#3": the third, whose name is unreadable); empty: the key
        std::string error;
    };
    const std::vector<Unread>& NotRead() const { return notRead_; }

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
    struct RawValue {
        std::string name;
        uint32_t type;  // any 32-bit number, as Windows allows
        std::string data;
        bool readable;  // false: its data could not be read
        hive_value_h handle;
    };
    // A key's values, read once (so a walk over them costs one reading, not
    // one per value) and kept until its hive changes.
    struct KeyValues {
        std::vector<RawValue> values;          // in the key's order; names that could be read
        std::map<std::string, size_t> byName;  // upper-case name -> index
        std::string unreadable;                // what could not be read; empty: everything was
    };
    int32_t Locate(RegKey root, const char* subKey, bool create, OpenKey* found);
    int32_t Descend(OpenKey* at, const std::string& part, bool create);
    int32_t Resolve(RegKey key, OpenKey** open);
    RegKey Remember(const OpenKey& key);
    const KeyValues& ValuesOf(const OpenKey& key);
    void ReadValues(const OpenKey& key, KeyValues* read);
    // intended: what edit does, for the check of the hive it writes.
    int32_t Apply(OfflineHive* hive, const std::function<bool(hive_h*)>& edit, const HiveEdit& intended,
                  const std::string& key, const std::string& value, bool isKey, bool record);
    void NoteNotRead(const std::string& key, const std::string& value, const std::string& error);
    int32_t Fail(int32_t error);

    uint32_t* lastError_;
    std::vector<OfflineHive*> hives_;
    std::map<RegKey, OpenKey> keys_;
    RegKey nextKey_ = 0x1000;
    std::vector<Change> changes_;
    std::vector<Unread> notRead_;
    std::set<std::string> notReadSeen_;
    std::map<std::pair<OfflineHive*, hive_node_h>, KeyValues> values_;
    std::map<std::string, OpenKey> located_;  // upper-case "HIVE\PATH" -> key
};
