#include "platform/offline/OfflineRegistry.h"

#include <strings.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/offline/HiveReader.h"

namespace {

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
hive_set_value SetValue(const std::string& name, uint32_t type, std::string& data) {
    hive_set_value value;
    value.key = const_cast<char*>(name.c_str());
    memcpy(&value.t, &type, sizeof type);
    value.len = data.size();
    value.value = &data[0];
    return value;
}

// Where a node or value handle's record lies in the hive bins data.
uint32_t CellOf(uint64_t handle) { return static_cast<uint32_t>(handle - kHiveBaseBlockSize); }

// Strings in NT hives are UTF-16LE; the ANSI registry calls hand them out as
// 8-bit text, here UTF-8, as the hive's names are (HiveNameText).
std::string Utf16ToUtf8(const std::string& data) {
    HiveName units;
    for (size_t i = 0; i + 1 < data.size(); i += 2)
        units += static_cast<char16_t>(static_cast<uint8_t>(data[i]) | (static_cast<uint8_t>(data[i + 1]) << 8));
    return HiveNameText(units);
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

// Value and key names compare as the registry compares them: without regard to case.
std::string Folded(const std::string& name) {
    std::string folded = name;
    for (char& c : folded) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return folded;
}

std::string Reason() { return errno != 0 ? strerror(errno) : "damaged"; }

}  // namespace

int32_t OfflineRegistry::Fail(int32_t error) {
    *lastError_ = static_cast<uint32_t>(error);
    return error;
}

void OfflineRegistry::NoteNotRead(const std::string& key, const std::string& value, const std::string& error) {
    if (notReadSeen_.insert(key + '\n' + value).second) notRead_.push_back({key, value, error});
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

// One step down from at to its sub-key part (made when create is set).
int32_t OfflineRegistry::Descend(OpenKey* at, const std::string& part, bool create) {
    hive_h* hive = at->hive->Handle();
    errno = 0;
    hive_node_h child = hivex_node_get_child(hive, at->node, part.c_str());
    if (child == 0 && errno != 0) {
        NoteNotRead(at->path, "", std::string("its sub-keys cannot be read: ") + Reason());
        return Fail(kErrorBadDatabase);
    }
    if (child == 0 && create) {
        hive_node_h parent = at->node;
        std::string name = part;
        if (Apply(at->hive, [parent, name](hive_h* h) { return hivex_node_add_child(h, parent, name.c_str()) != 0; },
                  {HiveEdit::kAddKey, CellOf(parent), 0, name}, at->path + "\\" + part, "", true, false) != kErrorSuccess)
            return *lastError_;
        hive = at->hive->Handle();
        child = hive ? hivex_node_get_child(hive, at->node, part.c_str()) : 0;
    }
    if (child == 0) return Fail(kErrorFileNotFound);
    at->node = child;
    // The report names the key as the hive spells it.
    HivexText stored(hivex_node_name(hive, child));
    at->path += "\\" + (stored ? std::string(stored.get()) : part);
    return kErrorSuccess;
}

int32_t OfflineRegistry::Locate(RegKey root, const char* subKey, bool create, OpenKey* found) {
    if (subKey && subKey[0] == '\\') return Fail(kErrorBadPathname);
    std::vector<std::string> parts = SplitKeyPath(subKey);
    OpenKey at = {nullptr, 0, "", false};
    size_t next = 0;
    std::string whole;
    if (root == kHkeyLocalMachine) {
        for (OfflineHive* hive : hives_)
            if (!parts.empty() && strcasecmp(parts[0].c_str(), hive->Name().c_str()) == 0) at.hive = hive;
        if (at.hive == nullptr) return Fail(kErrorFileNotFound);
        if (at.hive->Handle() == nullptr) return Fail(kErrorBadDatabase);
        for (const std::string& part : parts) whole += Folded(part) + "\\";
        auto known = located_.find(whole);
        if (!create && known != located_.end()) {
            *found = known->second;
            return kErrorSuccess;
        }
        at.node = hivex_root(at.hive->Handle());
        at.path = "HKLM\\" + at.hive->Name();  // as Windows shows it, whatever the root's own name
        next = 1;
    } else {
        OpenKey* open;
        if (int32_t error = Resolve(root, &open)) return error;
        at = *open;
    }
    for (; next < parts.size(); ++next)
        if (int32_t error = Descend(&at, parts[next], create)) return error;
    if (!whole.empty()) located_[whole] = at;
    *found = at;
    return kErrorSuccess;
}

void OfflineRegistry::ReadValues(const OpenKey& key, KeyValues* read) {
    hive_h* hive = key.hive->Handle();
    errno = 0;
    HivexValues list(hivex_node_values(hive, key.node));
    if (!list) {
        read->unreadable = std::string("its list of values cannot be read: ") + Reason();
        NoteNotRead(key.path, "", read->unreadable);
        return;
    }
    for (size_t index = 0; list.get()[index] != 0; ++index) {
        hive_value_h value = list.get()[index];
        errno = 0;
        HivexText name(hivex_value_key(hive, value));
        if (!name) {
            std::string number = "#" + std::to_string(index + 1);
            read->unreadable = "value " + number + ": its name cannot be read: " + Reason();
            NoteNotRead(key.path, number, std::string("its name cannot be read: ") + Reason());
            continue;
        }
        RawValue raw = {name.get(), 0, "", true, value};
        size_t length = 0;
        hive_type type;
        errno = 0;
        HivexText data(hivex_value_value(hive, value, &type, &length));
        if (data) {
            memcpy(&raw.type, &type, sizeof raw.type);
            raw.data.assign(data.get(), length);
        } else {
            raw.readable = false;
            read->unreadable = "value \"" + raw.name + "\": its data cannot be read: " + Reason();
            NoteNotRead(key.path, raw.name, std::string("its data cannot be read: ") + Reason());
        }
        read->byName.emplace(Folded(raw.name), read->values.size());  // the first of a name counts
        read->values.push_back(std::move(raw));
    }
}

const OfflineRegistry::KeyValues& OfflineRegistry::ValuesOf(const OpenKey& key) {
    auto slot = values_.emplace(std::make_pair(key.hive, key.node), KeyValues());
    if (slot.second) ReadValues(key, &slot.first->second);
    return slot.first->second;
}

// Every change goes through the hive as a whole (see OfflineHive); what was
// read of that hive may be out of date after it.
int32_t OfflineRegistry::Apply(OfflineHive* hive, const std::function<bool(hive_h*)>& edit, const HiveEdit& intended,
                               const std::string& key, const std::string& value, bool isKey, bool record) {
    std::string error;
    bool written = hive->Change(edit, {intended}, &error);
    for (auto it = values_.begin(); it != values_.end();)
        it = it->first.first == hive ? values_.erase(it) : std::next(it);
    for (auto it = located_.begin(); it != located_.end();)
        it = it->second.hive == hive ? located_.erase(it) : std::next(it);
    if (record || !written) changes_.push_back({key, value, isKey, written, error});
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
    // The values that can be listed, whatever the key's header claims.
    *count = static_cast<uint32_t>(ValuesOf(*open).values.size());
    return kErrorSuccess;
}

int32_t OfflineRegistry::KeyEnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameLength) {
    OpenKey* open;
    if (int32_t error = Resolve(key, &open)) return error;
    if (!name || !nameLength) return Fail(kErrorInvalidParameter);
    const KeyValues& read = ValuesOf(*open);
    if (index >= read.values.size()) return Fail(kErrorNoMoreItems);
    const std::string& valueName = read.values[index].name;
    if (valueName.size() >= *nameLength) return Fail(kErrorMoreData);
    memcpy(name, valueName.c_str(), valueName.size() + 1);
    *nameLength = static_cast<uint32_t>(valueName.size());
    return kErrorSuccess;
}

int32_t OfflineRegistry::KeyQueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                                       uint32_t* size) {
    OpenKey* open;
    if (int32_t error = Resolve(key, &open)) return error;
    if (data && !size) return Fail(kErrorInvalidParameter);
    const KeyValues& read = ValuesOf(*open);
    auto found = read.byName.find(Folded(name ? name : ""));
    if (found == read.byName.end()) return Fail(kErrorFileNotFound);
    const RawValue& value = read.values[found->second];
    if (!value.readable) return Fail(kErrorBadDatabase);
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

int32_t OfflineRegistry::KeySetValue(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                                     uint32_t size) {
    OpenKey* open;
    if (int32_t error = Resolve(key, &open)) return error;
    std::string bytes = IsTextType(type) ? Utf8ToUtf16(data, size)
                                         : std::string(reinterpret_cast<const char*>(data), data ? size : 0);
    std::string valueName = name ? name : "";
    hive_node_h node = open->node;
    auto edit = [node, valueName, type, bytes](hive_h* hive) {
        std::string copy = bytes;
        hive_set_value value = SetValue(valueName, type, copy);
        return hivex_node_set_value(hive, node, &value, 0) == 0;
    };
    return Apply(open->hive, edit, {HiveEdit::kSetValue, CellOf(node), 0, valueName}, open->path, valueName, false,
                 false);
}

int32_t OfflineRegistry::KeyDeleteValue(RegKey key, const char* name) {
    OpenKey* open;
    if (int32_t error = Resolve(key, &open)) return error;
    OpenKey target = *open;
    std::string valueName = name ? name : "";
    const KeyValues& read = ValuesOf(target);
    auto found = read.byName.find(Folded(valueName));
    if (found == read.byName.end()) return Fail(kErrorFileNotFound);
    // The key is written anew without the value: every other value must be
    // known whole, or it would be lost.
    std::string refusal = read.unreadable.empty() ? "" : "the key holds what cannot be read (" + read.unreadable + ")";
    for (const RawValue& value : read.values)
        if (refusal.empty() && value.data.size() > kLargestRewrittenValue)
            refusal = "the key holds a value too large to rewrite safely: " + value.name;
    if (!refusal.empty()) {
        changes_.push_back({target.path, valueName, false, false, refusal});
        return Fail(kErrorAccessDenied);
    }
    // The remaining values keep their order, so the ones behind the removed
    // value move up one index, as on Windows.
    std::vector<RawValue> kept;
    for (size_t index = 0; index < read.values.size(); ++index)
        if (index != found->second) kept.push_back(read.values[index]);
    auto edit = [&kept, &target](hive_h* hive) {
        std::vector<hive_set_value> values;
        for (RawValue& value : kept) values.push_back(SetValue(value.name, value.type, value.data));
        return hivex_node_set_values(hive, target.node, values.size(), values.data(), 0) == 0;
    };
    HiveEdit removal = {HiveEdit::kRemoveValue, CellOf(target.node), CellOf(read.values[found->second].handle), ""};
    return Apply(target.hive, edit, removal, target.path, valueName, false, true);
}

int32_t OfflineRegistry::KeyDelete(RegKey root, const char* subKey) {
    OpenKey target;
    if (int32_t error = Locate(root, subKey, false, &target)) return error;
    hive_h* hive = target.hive->Handle();
    // The NT family deletes single keys only, never a hive's root.
    errno = 0;
    size_t children = hivex_node_nr_children(hive, target.node);
    if (children == 0 && errno != 0) {
        NoteNotRead(target.path, "", std::string("its sub-keys cannot be read: ") + Reason());
        return Fail(kErrorBadDatabase);
    }
    if (target.node == hivex_root(hive) || children != 0) return Fail(kErrorAccessDenied);
    hive_node_h node = target.node;
    int32_t result = Apply(target.hive, [node](hive_h* h) { return hivex_node_delete_child(h, node) == 0; },
                           {HiveEdit::kRemoveKey, CellOf(node), 0, ""}, target.path, "", true, true);
    if (result == kErrorSuccess) {
        for (auto& open : keys_)
            if (open.second.hive == target.hive && open.second.node == target.node) open.second.deleted = true;
    }
    return result;
}
