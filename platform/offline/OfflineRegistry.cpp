#include "platform/offline/OfflineRegistry.h"

#include <strings.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

const int32_t kErrorWriteFault = 29;
const int32_t kErrorInvalidParameter = 87;
const int32_t kErrorBadPathname = 161;
const int32_t kErrorBadDatabase = 1009;
const int32_t kErrorKeyDeleted = 1018;
// Data longer than this live in chains of big-data cells that a rewrite of
// the key's values would not reproduce; such a key is left as it is.
const size_t kLargestRewrittenValue = 16344;

struct FreeDeleter {
    void operator()(void* block) const { free(block); }
};
typedef std::unique_ptr<char, FreeDeleter> HivexText;
typedef std::unique_ptr<hive_value_h, FreeDeleter> HivexValues;

std::vector<std::string> SplitKeyPath(const char* path) {
    std::vector<std::string> parts;
    std::string current;
    for (const char* c = path ? path : ""; *c; ++c) {
        if (*c == '\\') {
            if (!current.empty()) parts.push_back(current);
            current.clear();
        } else {
            current += *c;
        }
    }
    if (!current.empty()) parts.push_back(current);
    return parts;
}

bool IsTextType(uint32_t type) { return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz; }

// A value's type is any 32-bit number, most of them beyond hive_type's
// names: it passes to and from hivex byte for byte, never as that enum.
static_assert(sizeof(hive_type) == sizeof(uint32_t), "hivex keeps a value's type in 32 bits");
hive_set_value SetValue(const char* name, uint32_t type, std::string& data) {
    hive_set_value value;
    value.key = const_cast<char*>(name);
    memcpy(&value.t, &type, sizeof type);
    value.len = data.size();
    value.value = &data[0];
    return value;
}

void AppendUtf8(uint32_t code, std::string* out) {
    if (code < 0x80) {
        *out += static_cast<char>(code);
    } else if (code < 0x800) {
        *out += static_cast<char>(0xC0 | (code >> 6));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        *out += static_cast<char>(0xE0 | (code >> 12));
        *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        *out += static_cast<char>(0xF0 | (code >> 18));
        *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Strings in NT hives are UTF-16LE; the ANSI registry calls hand them out as
// 8-bit text, here UTF-8. A lone surrogate becomes "?".
std::string Utf16ToUtf8(const std::string& data) {
    std::string out;
    size_t count = data.size() / 2;
    auto unit = [&](size_t i) {
        return static_cast<uint32_t>(static_cast<uint8_t>(data[2 * i])) |
               (static_cast<uint32_t>(static_cast<uint8_t>(data[2 * i + 1])) << 8);
    };
    for (size_t i = 0; i < count; ++i) {
        uint32_t code = unit(i);
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < count && unit(i + 1) >= 0xDC00 && unit(i + 1) < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code < 0xE000) {
            code = '?';
        }
        AppendUtf8(code, &out);
    }
    return out;
}

// The reverse for values written through the seam; bytes that are no UTF-8
// are taken as Latin-1.
std::string Utf8ToUtf16(const uint8_t* text, size_t length) {
    std::string out;
    auto put = [&](uint32_t unit) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    };
    for (size_t i = 0; i < length;) {
        uint8_t lead = text[i];
        int extra = lead >= 0xF0 && lead < 0xF8 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        uint32_t code = lead;
        bool valid = extra > 0 && i + extra < length;
        for (int k = 1; valid && k <= extra; ++k) valid = (text[i + k] & 0xC0) == 0x80;
        if (valid) {
            code = lead & (0x3F >> extra);
            for (int k = 1; k <= extra; ++k) code = (code << 6) | (text[i + k] & 0x3F);
            i += extra + 1;
        } else {
            ++i;
        }
        if (code >= 0x10000) {
            put(0xD800 + ((code - 0x10000) >> 10));
            put(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            put(code);
        }
    }
    return out;
}

struct RawValue {
    hive_value_h handle;
    std::string name;
    uint32_t type;
    std::string data;
};

// Where a node or value handle's record lies in the hive bins data.
uint32_t CellOf(uint64_t handle) { return static_cast<uint32_t>(handle - kHiveBaseBlockSize); }

bool ReadValue(hive_h* hive, hive_value_h value, RawValue* raw) {
    raw->handle = value;
    HivexText name(hivex_value_key(hive, value));
    size_t length = 0;
    hive_type type;
    HivexText data(hivex_value_value(hive, value, &type, &length));
    if (!name || !data) return false;
    memcpy(&raw->type, &type, sizeof raw->type);
    raw->name = name.get();
    raw->data.assign(data.get(), length);
    return true;
}

bool ReadValues(hive_h* hive, hive_node_h node, std::vector<RawValue>* values) {
    HivexValues list(hivex_node_values(hive, node));
    if (!list) return false;
    for (hive_value_h* value = list.get(); *value != 0; ++value) {
        RawValue raw;
        if (!ReadValue(hive, *value, &raw)) return false;
        values->push_back(raw);
    }
    return true;
}

// Value names compare as the registry compares them: without regard to case.
bool SameName(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b ? b : "") == 0; }

}  // namespace

int32_t OfflineRegistry::Fail(int32_t error) {
    *lastError_ = static_cast<uint32_t>(error);
    return error;
}

RegKey OfflineRegistry::Remember(const OpenKey& key) {
    RegKey handle = nextKey_;
    nextKey_ += 4;
    keys_[handle] = key;
    return handle;
}

int32_t OfflineRegistry::Resolve(RegKey key, OpenKey** open) {
    auto found = keys_.find(key);
    if (found == keys_.end()) return Fail(kErrorInvalidHandle);
    if (found->second.deleted) return Fail(kErrorKeyDeleted);
    if (found->second.hive->Handle() == nullptr) return Fail(kErrorBadDatabase);
    *open = &found->second;
    return kErrorSuccess;
}

int32_t OfflineRegistry::Locate(RegKey root, const char* subKey, bool create, OpenKey* found) {
    if (subKey && subKey[0] == '\\') return Fail(kErrorBadPathname);
    std::vector<std::string> parts = SplitKeyPath(subKey);
    OpenKey at = {nullptr, 0, "", false};
    size_t next = 0;
    if (root == kHkeyLocalMachine) {
        for (OfflineHive* hive : hives_)
            if (!parts.empty() && strcasecmp(parts[0].c_str(), hive->Name().c_str()) == 0) at.hive = hive;
        if (at.hive == nullptr) return Fail(kErrorFileNotFound);
        if (at.hive->Handle() == nullptr) return Fail(kErrorBadDatabase);
        at.node = hivex_root(at.hive->Handle());
        at.path = "HKLM\\" + at.hive->Name();  // as Windows shows it, whatever the root's own name
        next = 1;
    } else {
        OpenKey* open;
        if (int32_t error = Resolve(root, &open)) return error;
        at = *open;
    }
    hive_h* hive = at.hive->Handle();
    std::vector<HiveEdit> created;
    for (; next < parts.size(); ++next) {
        errno = 0;
        hive_node_h child = hivex_node_get_child(hive, at.node, parts[next].c_str());
        if (child == 0 && errno != 0) return Fail(kErrorBadDatabase);
        if (child == 0 && create) {
            // The first key made; those below it are new as well.
            if (created.empty()) created.push_back({HiveEdit::kAddKey, CellOf(at.node), 0, parts[next]});
            child = hivex_node_add_child(hive, at.node, parts[next].c_str());
            if (child == 0) return Fail(kErrorAccessDenied);
        }
        if (child == 0) return Fail(kErrorFileNotFound);
        at.node = child;
        // The report names the key as the hive spells it.
        HivexText stored(hivex_node_name(hive, child));
        at.path += "\\" + (stored ? std::string(stored.get()) : parts[next]);
    }
    if (!created.empty()) {
        std::string error;
        if (!at.hive->Commit(created, &error)) return Fail(kErrorWriteFault);
    }
    *found = at;
    return kErrorSuccess;
}

int32_t OfflineRegistry::CommitChange(OfflineHive* hive, const std::string& key, const std::string& value,
                                      const HiveEdit& edit) {
    std::string error;
    bool written = hive->Commit({edit}, &error);
    bool isKey = edit.kind == HiveEdit::kRemoveKey;
    changes_.push_back({key, value, isKey, written, error});
    return written ? kErrorSuccess : Fail(kErrorWriteFault);
}

int32_t OfflineRegistry::KeyOpen(RegKey root, const char* subKey, uint32_t, RegKey* key) {
    OpenKey found;
    if (int32_t error = Locate(root, subKey, false, &found)) return error;
    *key = Remember(found);
    return kErrorSuccess;
}

int32_t OfflineRegistry::KeyCreate(RegKey root, const char* subKey, RegKey* key) {
    OpenKey found;
    if (int32_t error = Locate(root, subKey, true, &found)) return error;
    *key = Remember(found);
    return kErrorSuccess;
}

int32_t OfflineRegistry::KeyClose(RegKey key) {
    if (key == kHkeyLocalMachine) return kErrorSuccess;
    return keys_.erase(key) ? kErrorSuccess : Fail(kErrorInvalidHandle);
}

int32_t OfflineRegistry::KeyValueCount(RegKey key, uint32_t* count) {
    OpenKey* open;
    if (int32_t error = Resolve(key, &open)) return error;
    errno = 0;
    size_t values = hivex_node_nr_values(open->hive->Handle(), open->node);
    if (values == 0 && errno != 0) return Fail(kErrorBadDatabase);
    *count = static_cast<uint32_t>(values);
    return kErrorSuccess;
}

int32_t OfflineRegistry::KeyEnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameLength) {
    OpenKey* open;
    if (int32_t error = Resolve(key, &open)) return error;
    if (!name || !nameLength) return Fail(kErrorInvalidParameter);
    hive_h* hive = open->hive->Handle();
    HivexValues list(hivex_node_values(hive, open->node));
    if (!list) return Fail(kErrorBadDatabase);
    size_t count = 0;
    while (list.get()[count] != 0) ++count;
    if (index >= count) return Fail(kErrorNoMoreItems);
    HivexText valueName(hivex_value_key(hive, list.get()[index]));
    if (!valueName) return Fail(kErrorBadDatabase);
    size_t length = strlen(valueName.get());
    if (length >= *nameLength) return Fail(kErrorMoreData);
    memcpy(name, valueName.get(), length + 1);
    *nameLength = static_cast<uint32_t>(length);
    return kErrorSuccess;
}

int32_t OfflineRegistry::KeyQueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                                       uint32_t* size) {
    OpenKey* open;
    if (int32_t error = Resolve(key, &open)) return error;
    if (data && !size) return Fail(kErrorInvalidParameter);
    std::vector<RawValue> values;
    if (!ReadValues(open->hive->Handle(), open->node, &values)) return Fail(kErrorBadDatabase);
    for (const RawValue& value : values) {
        if (!SameName(value.name, name)) continue;
        bool asText = IsTextType(value.type) && value.data.size() % 2 == 0;
        std::string bytes = asText ? Utf16ToUtf8(value.data) : value.data;
        uint32_t length = static_cast<uint32_t>(bytes.size());
        if (data && *size < length) {
            *size = length;
            return Fail(kErrorMoreData);
        }
        if (data && length) memcpy(data, bytes.data(), length);
        if (size) *size = length;
        if (type) *type = value.type;
        return kErrorSuccess;
    }
    return Fail(kErrorFileNotFound);
}

int32_t OfflineRegistry::KeySetValue(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                                     uint32_t size) {
    OpenKey* open;
    if (int32_t error = Resolve(key, &open)) return error;
    std::string bytes = IsTextType(type) ? Utf8ToUtf16(data, size)
                                         : std::string(reinterpret_cast<const char*>(data), data ? size : 0);
    hive_set_value value = SetValue(name ? name : "", type, bytes);
    if (hivex_node_set_value(open->hive->Handle(), open->node, &value, 0) != 0) return Fail(kErrorAccessDenied);
    std::string error;
    return open->hive->Commit({{HiveEdit::kSetValue, CellOf(open->node), 0, value.key}}, &error)
               ? kErrorSuccess
               : Fail(kErrorWriteFault);
}

int32_t OfflineRegistry::KeyDeleteValue(RegKey key, const char* name) {
    OpenKey* open;
    if (int32_t error = Resolve(key, &open)) return error;
    hive_h* hive = open->hive->Handle();
    std::vector<RawValue> values;
    if (!ReadValues(hive, open->node, &values)) return Fail(kErrorBadDatabase);
    std::vector<hive_set_value> kept;
    hive_value_h removed = 0;
    for (RawValue& value : values) {
        if (removed == 0 && SameName(value.name, name)) {
            removed = value.handle;
            continue;
        }
        if (value.data.size() > kLargestRewrittenValue) {
            changes_.push_back({open->path, name ? name : "", false, false,
                                "the key holds a value too large to rewrite safely: " + value.name});
            return Fail(kErrorAccessDenied);
        }
        kept.push_back(SetValue(value.name.c_str(), value.type, value.data));
    }
    if (removed == 0) return Fail(kErrorFileNotFound);
    // The remaining values keep their order, so the ones behind the removed
    // value move up one index, as on Windows.
    if (hivex_node_set_values(hive, open->node, kept.size(), kept.data(), 0) != 0) return Fail(kErrorAccessDenied);
    return CommitChange(open->hive, open->path, name ? name : "",
                        {HiveEdit::kRemoveValue, CellOf(open->node), CellOf(removed), ""});
}

int32_t OfflineRegistry::KeyDelete(RegKey root, const char* subKey) {
    OpenKey target;
    if (int32_t error = Locate(root, subKey, false, &target)) return error;
    hive_h* hive = target.hive->Handle();
    // The NT family deletes single keys only, never a hive's root.
    if (target.node == hivex_root(hive) || hivex_node_nr_children(hive, target.node) != 0)
        return Fail(kErrorAccessDenied);
    if (hivex_node_delete_child(hive, target.node) != 0) return Fail(kErrorAccessDenied);
    int32_t result = CommitChange(target.hive, target.path, "", {HiveEdit::kRemoveKey, CellOf(target.node), 0, ""});
    if (result == kErrorSuccess) {
        for (auto& open : keys_)
            if (open.second.hive == target.hive && open.second.node == target.node) open.second.deleted = true;
    }
    return result;
}
