// The check of a hive written back: read again from its bytes and compared
// with the hive it replaces, key by key and value by value, it must be the
// old one with the intended changes and nothing else. hivex writes the new
// hive; this reads both on its own, so a fault in either shows as a
// difference before the new hive takes the old one's place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/offline/HiveImage.h"

struct HiveEdit {
    enum Kind {
        kRemoveValue,  // key lost the value whose record was at value
        kRemoveKey,    // key (with what it held) is gone from its parent
        kSetValue,     // key has one value called name, added or with new data
        kAddKey,       // key has a new subkey called name, and below it keys without values
    };
    Kind kind;
    uint32_t key;    // the key's cell in the old hive
    uint32_t value;  // kRemoveValue: the value's cell in the old hive
    std::string name;  // kSetValue, kAddKey: as UTF-8, matched without regard to case
};

// Both images must have passed WalkHive. false with the first difference
// the edits do not explain, for the user.
bool CompareHives(const HiveBytes& before, const HiveBytes& after, const std::vector<HiveEdit>& edits,
                  std::string* difference);
