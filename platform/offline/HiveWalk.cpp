#include "platform/offline/HiveWalk.h"

#include <cstdio>
#include <map>
#include <set>
#include <vector>

#include "platform/offline/HiveReader.h"

namespace {

const uint32_t kNameHashFactor = 37;
const int kUnknownOrder = 2;

char16_t AsciiUpper(char16_t unit) { return unit >= 'a' && unit <= 'z' ? static_cast<char16_t>(unit - 'a' + 'A') : unit; }

// How Windows orders two names in a subkey list (by their upper-case code
// units): -1, 0 or 1; kUnknownOrder where that depends on upper-casing
// beyond ASCII, which is left unchecked.
int CompareNames(const HiveName& a, const HiveName& b) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        char16_t x = AsciiUpper(a[i]), y = AsciiUpper(b[i]);
        if (x == y) continue;
        if (a[i] >= 0x80 || b[i] >= 0x80) return kUnknownOrder;
        return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool Ascii(const HiveName& name, size_t count) {
    for (size_t i = 0; i < count && i < name.size(); ++i)
        if (name[i] >= 0x80) return false;
    return true;
}

// Whether the hint or hash a list keeps for a key matches its name, where
// it can be told without upper-casing beyond ASCII: Windows passes over a
// key whose hash does not match the name it looks for.
bool HintMatches(const HiveSubkey& subkey, const HiveName& name) {
    if (subkey.leaf == 'h') {
        if (!Ascii(name, name.size())) return true;
        uint32_t hash = 0;
        for (char16_t unit : name) hash = hash * kNameHashFactor + AsciiUpper(unit);
        return hash == subkey.hint;
    }
    if (subkey.leaf == 'f' && (subkey.hint & 0xFF) != 0 && Ascii(name, 4)) {
        for (size_t i = 0; i < 4 && i < name.size(); ++i)
            if (AsciiUpper(static_cast<char16_t>((subkey.hint >> (8 * i)) & 0xFF)) != AsciiUpper(name[i])) return false;
    }
    return true;
}

class Walk {
public:
    explicit Walk(const HiveReader& hive)
        : hive_(hive), claimed_(hive.BinsSize() / kCellAlignment, false) {}

    bool Run(std::string* problem, HiveWalkCounts* counts) {
        bool sound = WalkKey(hive_.Root(), kHiveNoCell, 0) && CheckSecurity();
        if (!sound) *problem = problem_;
        *counts = counts_;
        return sound;
    }

private:
    bool Fail(const std::string& what) {
        problem_ = what;
        return false;
    }
    bool Fail(const char* what, uint32_t offset) {
        char text[160];
        snprintf(text, sizeof text, "%s (cell 0x%X)", what, offset);
        return Fail(std::string(text));
    }

    // Marks the allocated cell at offset as used by one record.
    bool Claim(uint32_t offset) {
        const uint8_t* data;
        uint32_t length;
        if (!hive_.Cell(offset, &data, &length)) return Fail("a reference to no allocated cell", offset);
        if (claimed_[offset / kCellAlignment]) return Fail("a cell used twice", offset);
        claimed_[offset / kCellAlignment] = true;
        return true;
    }

    bool WalkValues(const HiveKey& key) {
        std::vector<uint32_t> values, cells;
        uint32_t list;
        if (!hive_.Values(key, &values, &list, &problem_)) return false;
        if (list != kHiveNoCell && !Claim(list)) return false;
        std::string data;
        for (uint32_t offset : values) {
            HiveValue value;
            if (!hive_.Value(offset, &value, &problem_) || !Claim(offset) ||
                !hive_.Data(value, &data, &cells, &problem_))
                return false;
            // hivex frees the data cell of every value it rewrites.
            if (!(value.dataSize & 0x80000000u) && cells.empty()) return Fail("a value without its data cell", offset);
            for (uint32_t cell : cells)
                if (!Claim(cell)) return false;
            ++counts_.values;
        }
        return true;
    }

    bool WalkSubkeys(const HiveKey& key, int depth) {
        std::vector<HiveSubkey> subkeys;
        std::vector<uint32_t> lists;
        if (!hive_.Subkeys(key, &subkeys, &lists, &problem_)) return false;
        for (uint32_t list : lists)
            if (!Claim(list)) return false;
        HiveName previous;
        for (size_t i = 0; i < subkeys.size(); ++i) {
            HiveKey child;
            if (!hive_.Key(subkeys[i].key, &child, &problem_)) return false;
            int order = i == 0 ? -1 : CompareNames(previous, child.name);
            if (order == 0) return Fail("two subkeys of one name", subkeys[i].key);
            if (order == 1) return Fail("a subkey list out of order", key.subkeyList);
            if (!HintMatches(subkeys[i], child.name)) return Fail("a subkey whose name hash is wrong", subkeys[i].key);
            previous = child.name;
        }
        for (const HiveSubkey& subkey : subkeys)
            if (!WalkKey(subkey.key, key.offset, depth + 1)) return false;
        return true;
    }

    bool WalkKey(uint32_t offset, uint32_t parent, int depth) {
        if (depth > kDeepestKey) return Fail("keys nested deeper than Windows allows", offset);
        HiveKey key;
        if (!hive_.Key(offset, &key, &problem_) || !Claim(offset)) return false;
        if (parent != kHiveNoCell && key.parent != parent)
            return Fail("a key whose parent pointer names another key than the one listing it", offset);
        std::string className;
        if (!hive_.ClassName(key, &className, &problem_) || (key.className != kHiveNoCell && !Claim(key.className)))
            return false;
        if (key.security == kHiveNoCell) return Fail("a key without a security record", offset);
        ++securityUsers_[key.security];
        ++counts_.keys;
        return WalkValues(key) && WalkSubkeys(key, depth);
    }

    // Security records are shared: each once in the hive, referenced by at
    // least as many keys as it counts, and linked both ways with its
    // neighbours (hivex relinks those when it frees one). A neighbour no
    // key uses must still be a security record no other structure uses.
    bool CheckSecurity() {
        std::set<uint32_t> records;
        std::vector<uint32_t> pending;
        for (const auto& user : securityUsers_) {
            HiveSecurity security;
            if (!hive_.Security(user.first, &security, &problem_) || !Claim(user.first)) return false;
            if (security.references < user.second) return Fail("a security record counting fewer keys than use it", user.first);
            records.insert(user.first);
            pending.push_back(user.first);
        }
        while (!pending.empty()) {
            uint32_t offset = pending.back();
            pending.pop_back();
            HiveSecurity security, next, previous;
            hive_.Security(offset, &security, &problem_);
            for (uint32_t neighbour : {security.next, security.previous}) {
                if (records.count(neighbour)) continue;
                if (!hive_.Security(neighbour, &next, &problem_) || !Claim(neighbour)) return false;
                records.insert(neighbour);
                pending.push_back(neighbour);
            }
            hive_.Security(security.next, &next, &problem_);
            hive_.Security(security.previous, &previous, &problem_);
            if (next.previous != offset || previous.next != offset)
                return Fail("a security record badly linked with the others", offset);
        }
        return true;
    }

    const HiveReader& hive_;
    std::vector<bool> claimed_;
    std::map<uint32_t, uint32_t> securityUsers_;  // security record -> keys using it
    HiveWalkCounts counts_;
    std::string problem_;
};

}  // namespace

bool WalkHive(const HiveBytes& image, std::string* problem, HiveWalkCounts* counts) {
    HiveReader hive(image);
    if (!hive.Open(problem)) return false;
    HiveWalkCounts ignored;
    Walk walk(hive);
    return walk.Run(problem, counts ? counts : &ignored);
}
