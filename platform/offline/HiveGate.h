// The two passages of a hive's bytes, from the volume to hivex and back:
// what hivex reads is the hive brought up to date from its logs and walked
// whole; what replaces the hive file is what hivex wrote, numbered so that
// Windows never applies the old log entries to it, walked whole and
// compared with the hive it replaces.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/offline/HiveCompare.h"
#include "platform/offline/HiveLogs.h"

// The hive file (primary) and its logs, as read: the image hivex may read,
// or kUnusable with the reason (not closed cleanly without a usable log,
// damaged).
HiveRecovery PrepareHive(HiveBytes primary, const std::vector<HiveLogFile>& logs);

// What a recovery did, for the user: "recovered from its transaction logs:
// 23 log entries from SYSTEM.LOG1", with where a log stopped early and why.
std::string HiveRecoveryText(const HiveRecovery& recovery);

// The sequence number a hive written back carries: above every one in the
// hive and its logs (highest), and above the last one written (current);
// false when none is left.
bool NextHiveSequence(uint32_t highest, uint32_t current, uint32_t* sequence);

// written (what hivex wrote after edits to the hive whose bytes were
// before) made the hive file's next content: a base block closed cleanly
// with sequence and timestamp (a FILETIME), its structure sound, and equal
// to before but for the edits. false with the reason when it must not
// replace the hive file.
bool FinishWrittenHive(const HiveBytes& before, const std::vector<HiveEdit>& edits, uint32_t sequence,
                       uint64_t timestamp, HiveBytes* written, std::string* problem);
