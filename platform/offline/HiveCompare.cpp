#include "platform/offline/HiveCompare.h"

#include <strings.h>

#include <algorithm>

#include "platform/offline/HiveReader.h"

namespace {

bool NamedAs(const HiveName& name, const std::string& text) {
    return strcasecmp(HiveNameText(name).c_str(), text.c_str()) == 0;
}

class Comparison {
public:
    Comparison(const HiveBytes& before, const HiveBytes& after, const std::vector<HiveEdit>& edits)
        : old_(before), new_(after), edits_(edits) {}

    bool Run(std::string* difference) {
        bool same = old_.Open(&problem_) && new_.Open(&problem_) && SameKey(old_.Root(), new_.Root(), "");
        if (!same) *difference = problem_;
        return same;
    }

private:
    bool Differ(const std::string& path, const std::string& what) {
        problem_ = (path.empty() ? std::string("the root key") : "key " + path) + ": " + what;
        return false;
    }

    const HiveEdit* EditOf(HiveEdit::Kind kind, uint32_t key) const {
        for (const HiveEdit& edit : edits_)
            if (edit.kind == kind && edit.key == key) return &edit;
        return nullptr;
    }

    struct Value {
        HiveName name;
        uint32_t type;
        std::string data;
    };

    // The key's values in order, without the one removed (its record at
    // removed) and those called set; how many of each it left out.
    bool ReadValues(const HiveReader& hive, const HiveKey& key, uint32_t removed, const HiveEdit* set,
                    std::vector<Value>* values, size_t* removedCount, size_t* setCount) {
        std::vector<uint32_t> offsets, cells;
        uint32_t list;
        if (!hive.Values(key, &offsets, &list, &problem_)) return false;
        *removedCount = *setCount = 0;
        for (uint32_t offset : offsets) {
            Value value;
            HiveValue record;
            if (!hive.Value(offset, &record, &problem_) || !hive.Data(record, &value.data, &cells, &problem_))
                return false;
            if (offset == removed) {
                ++*removedCount;
            } else if (set && NamedAs(record.name, set->name)) {
                ++*setCount;
            } else {
                value.name = record.name;
                value.type = record.type;
                values->push_back(value);
            }
        }
        return true;
    }

    bool SameValues(const HiveKey& before, const HiveKey& after, const std::string& path) {
        const HiveEdit* removed = EditOf(HiveEdit::kRemoveValue, before.offset);
        const HiveEdit* set = EditOf(HiveEdit::kSetValue, before.offset);
        std::vector<Value> old, now;
        size_t oldRemoved, oldSet, newRemoved, newSet;
        if (!ReadValues(old_, before, removed ? removed->value : kHiveNoCell, set, &old, &oldRemoved, &oldSet) ||
            !ReadValues(new_, after, kHiveNoCell, set, &now, &newRemoved, &newSet))
            return false;
        if (removed && oldRemoved != 1) return Differ(path, "the value to remove is not one of its values");
        if (set && newSet != 1) return Differ(path, "the value set is missing or doubled");
        if (old.size() != now.size()) return Differ(path, "values were lost or added");
        for (size_t i = 0; i < old.size(); ++i) {
            if (old[i].name != now[i].name) return Differ(path, "value \"" + HiveNameText(old[i].name) + "\" moved or renamed");
            if (old[i].type != now[i].type || old[i].data != now[i].data)
                return Differ(path, "value \"" + HiveNameText(old[i].name) + "\" changed");
        }
        return true;
    }

    // A key added by an edit: keys only, no values.
    bool OnlyEmptyKeys(const HiveKey& key, const std::string& path) {
        std::vector<HiveSubkey> subkeys;
        std::vector<uint32_t> lists;
        if (key.valueCount != 0) return Differ(path, "a key added with values");
        if (!new_.Subkeys(key, &subkeys, &lists, &problem_)) return false;
        for (const HiveSubkey& subkey : subkeys) {
            HiveKey child;
            if (!new_.Key(subkey.key, &child, &problem_) || !OnlyEmptyKeys(child, path + "\\" + HiveNameText(child.name)))
                return false;
        }
        return true;
    }

    bool ReadSubkeys(const HiveReader& hive, const HiveKey& key, std::vector<HiveKey>* keys) {
        std::vector<HiveSubkey> subkeys;
        std::vector<uint32_t> lists;
        if (!hive.Subkeys(key, &subkeys, &lists, &problem_)) return false;
        for (const HiveSubkey& subkey : subkeys) {
            HiveKey child;
            if (!hive.Key(subkey.key, &child, &problem_)) return false;
            keys->push_back(child);
        }
        return true;
    }

    bool SameSubkeys(const HiveKey& before, const HiveKey& after, const std::string& path) {
        std::vector<HiveKey> old, now;
        if (!ReadSubkeys(old_, before, &old) || !ReadSubkeys(new_, after, &now)) return false;
        old.erase(std::remove_if(old.begin(), old.end(),
                                 [this](const HiveKey& key) { return EditOf(HiveEdit::kRemoveKey, key.offset) != nullptr; }),
                  old.end());
        if (const HiveEdit* added = EditOf(HiveEdit::kAddKey, before.offset)) {
            auto found = std::find_if(now.begin(), now.end(), [added](const HiveKey& key) { return NamedAs(key.name, added->name); });
            if (found == now.end()) return Differ(path, "the key added is missing");
            if (!OnlyEmptyKeys(*found, path + "\\" + added->name)) return false;
            now.erase(found);
        }
        if (old.size() != now.size()) return Differ(path, "subkeys were lost or added");
        for (size_t i = 0; i < old.size(); ++i) {
            std::string childPath = path + "\\" + HiveNameText(old[i].name);
            if (old[i].name != now[i].name) return Differ(childPath, "missing, or renamed");
            if (!SameKey(old[i].offset, now[i].offset, childPath)) return false;
        }
        return true;
    }

    bool SameSecurity(const HiveKey& before, const HiveKey& after, const std::string& path) {
        HiveSecurity old, now;
        if (!old_.Security(before.security, &old, &problem_) || !new_.Security(after.security, &now, &problem_))
            return false;
        if (std::string(reinterpret_cast<const char*>(old.descriptor), old.descriptorLength) !=
            std::string(reinterpret_cast<const char*>(now.descriptor), now.descriptorLength))
            return Differ(path, "its security descriptor changed");
        return true;
    }

    bool SameKey(uint32_t before, uint32_t after, const std::string& path) {
        HiveKey old, now;
        std::string oldClass, newClass;
        if (!old_.Key(before, &old, &problem_) || !new_.Key(after, &now, &problem_) ||
            !old_.ClassName(old, &oldClass, &problem_) || !new_.ClassName(now, &newClass, &problem_))
            return false;
        if (old.name != now.name) return Differ(path, "renamed");
        if (oldClass != newClass) return Differ(path, "its class name changed");
        return SameSecurity(old, now, path) && SameValues(old, now, path) && SameSubkeys(old, now, path);
    }

    HiveReader old_, new_;
    const std::vector<HiveEdit>& edits_;
    std::string problem_;
};

}  // namespace

bool CompareHives(const HiveBytes& before, const HiveBytes& after, const std::vector<HiveEdit>& edits,
                  std::string* difference) {
    Comparison comparison(before, after, edits);
    return comparison.Run(difference);
}
