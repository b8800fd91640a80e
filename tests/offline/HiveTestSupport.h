// Hive bytes for the tests: the real hives of tests/data/real-hives, small
// hives made with hivex, and transaction logs laid out as Windows writes them.
#pragma once

#include <hivex.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/offline/HiveImage.h"

HiveBytes ReadBytes(const std::string& path);
bool WriteBytes(const std::string& path, const HiveBytes& bytes);
// A file of tests/data/real-hives (its name without ".xz"), decompressed.
HiveBytes RealHive(const std::string& name);
// start (an empty hive when empty) changed through hivex; empty when a call failed.
HiveBytes HiveMadeWith(const std::function<bool(hive_h*)>& change, const HiveBytes& start = HiveBytes());
// Every key ("\A\B") and value ("\A\B<tab>name<tab>type<tab>data") of image, read through hivex.
std::vector<std::string> ListThroughHivex(const HiveBytes& image);
// The data of value in key (as the listing spells it); "(none)" when it has none.
std::string ValueOf(const HiveBytes& image, const std::string& key, const std::string& value);
// As a write that began and did not end leaves a base block.
void MakeDirty(HiveBytes* image);

// A log's first sector: hive's base block with the log's file type and sequence number.
HiveBytes LogHeader(const HiveBytes& hive, uint32_t type, uint32_t sequence);
struct LogPage {
    uint32_t offset;  // in the bins data
    HiveBytes bytes;
};
// The 4 KiB pages of after's bins that differ from before's.
std::vector<LogPage> ChangedPages(const HiveBytes& before, const HiveBytes& after);
// A new-format log entry at the end of log, its hashes right.
void AppendLogEntry(HiveBytes* log, uint32_t sequence, uint32_t binsSize, const std::vector<LogPage>& pages);
// An old-format log that turns before into after.
HiveBytes DirtyVectorLog(const HiveBytes& before, const HiveBytes& after);
