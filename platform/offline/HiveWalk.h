// The structural check of a whole hive image, before anything else reads
// it: a hive comes from a disk that malware wrote, and hivex trusts much of
// what it reads (two values sharing one data cell make it abort when it
// frees them; a wrong parent pointer makes it unlink the wrong key).
//
// The walk visits every key from the root, with every list, value, data
// cell and security record it uses, and requires: every record in an
// allocated cell of its own (no cell used twice, except a security record
// shared by the keys it counts), counts within the cells that hold them,
// each key's parent pointer naming the key that lists it, subkey lists
// ordered and their hashes right as Windows looks keys up, security
// records linked to each other both ways, and at most kDeepestKey levels.
// A hive that passes reads the same through hivex as through Windows.
#pragma once

#include <cstdint>
#include <string>

#include "platform/offline/HiveImage.h"

const int kDeepestKey = 512;

struct HiveWalkCounts {
    uint32_t keys = 0;
    uint32_t values = 0;
};

// false with the first problem found, for the user.
bool WalkHive(const HiveBytes& image, std::string* problem, HiveWalkCounts* counts = nullptr);
