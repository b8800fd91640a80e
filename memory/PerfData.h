// Reading the system's performance data: the counter names of Perflib\009
// and the process instances of a returned data block. Both come from outside
// the program, so every offset and length is checked against the bytes
// actually at hand before anything is read.
#pragma once

#include <cstddef>
#include <cstdint>

// One process instance of the performance data.
struct PerfProcessEntry {
    uint32_t processId;  // 0 is kept as kNoProcessId, so that process 0 is never opened
    char name[17];       // up to 16 characters, zero-ended; empty when the name is longer
};
const uint32_t kNoProcessId = 0xFFFFFFFEu;
const int kPerfEntrySlots = 255;
const int kPerfEntriesUsed = 254;

// In the "Counters" list (index and name, alternately, zero-ended strings, an
// empty one at the end), the index text of the object named "process" and the
// number of the counter named "id process", ignoring case; a later occurrence
// of a name replaces an earlier one. False unless both were found. The list is
// never read past length bytes.
bool FindProcessCounterIndexes(const char* list, size_t length, char* objectIndex, size_t indexSize,
                               uint32_t* idProcessIndex);

// The process instances of the first object of a data block of length bytes:
// at most capacity entries, in order. -1 when the block cannot be used at all
// (no signature, its headers or counter definitions do not fit, or no counter
// definition has idProcessIndex); otherwise the number of entries filled, the
// instances before the first one that does not fit.
int ReadPerfProcesses(const uint8_t* block, size_t length, uint32_t idProcessIndex, PerfProcessEntry* entries,
                      int capacity);
