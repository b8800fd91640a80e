// Recovery of a registry hive from its transaction logs, in memory, as
// Windows recovers a hive that was not closed cleanly when it loads it.
//
// Windows writes a hive's changes to its logs first and to the hive file
// later (from Windows 8.1 on up to an hour later), so the hive file of a
// machine that crashed, lost power or shut down with Fast Startup often
// lacks its latest changes. Two log formats exist:
// - the new one (Windows 8.1 and later, <HIVE>.LOG1 and <HIVE>.LOG2): a
//   series of "HvLE" log entries, each a set of pages with its sequence
//   number, checked by two Marvin32 hashes;
// - the old one (Windows XP to 8, <HIVE>.LOG, or .LOG1/.LOG2 from Vista
//   on): a "DIRT" bitmap of the 512-byte pages that changed, then the pages.
// The rules below are those of the public description of the format; every
// offset and size in a log is checked against the bytes read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/offline/HiveImage.h"

// Which of a hive's logs a file is, by its name beside the hive file
// (SYSTEM: SYSTEM.LOG, SYSTEM.LOG1, SYSTEM.LOG2), compared without regard to
// case as Windows compares file names.
enum class HiveLogRole { kNone, kLog, kLog1, kLog2 };
HiveLogRole HiveLogRoleOf(const std::string& hiveFileName, const std::string& fileName);

struct HiveLogFile {
    HiveLogRole role;
    std::string name;  // as the volume spells it, for the report
    HiveBytes bytes;
};

// A log entry of the new format ("HvLE"): its header, then the references
// of its pages (each the page's offset in the bins data, then its size),
// then the pages themselves; its size a multiple of kHiveSectorSize.
const size_t kLogEntryHeaderSize = 40;
const size_t kLogEntrySize = 0x04;
const size_t kLogEntryFlags = 0x08;
const size_t kLogEntrySequence = 0x0C;
const size_t kLogEntryBinsSize = 0x10;
const size_t kLogEntryPageCount = 0x14;
const size_t kLogEntryHash1 = 0x18;         // of all after the header
const size_t kLogEntryHash2 = 0x20;         // of the header's first kLogEntryHashedHeader bytes
const size_t kLogEntryHashedHeader = 32;
const size_t kLogPageReferenceSize = 8;
// The old format's unit: a bit of the "DIRT" vector marks one such page.
const size_t kLogDirtyPageSize = 512;

// The seed of the log entries' hashes, and the 64-bit Marvin32 hash.
const uint64_t kHiveLogEntrySeed = 0x82EF4D887A4E55C5ull;
uint64_t Marvin32(const uint8_t* data, size_t length, uint64_t seed);

// What one log gave to a recovery.
struct HiveLogUse {
    std::string name;
    uint32_t applied = 0;  // log entries (new format) or 512-byte pages (old format)
    std::string stop;      // why it stopped before its last entry; empty when it did not
};

struct HiveRecovery {
    enum Outcome {
        kClean,      // closed cleanly: the hive file as it is (its logs are not looked at)
        kRecovered,  // not closed cleanly, brought up to date from its logs
        kUnusable,   // not closed cleanly and no log to bring it up to date, or no hive
    };
    Outcome outcome = kUnusable;
    std::string problem;  // kUnusable: why, for the user
    // kClean and kRecovered: the base block and the hive bins data, nothing
    // after them; a recovered base block is that of a hive closed cleanly.
    HiveBytes image;
    bool newFormat = false;
    std::vector<HiveLogUse> logs;  // the logs applied, in the order applied
    std::string baseBlockFrom;     // the log whose base block replaced a damaged one; empty: none did
    // The highest sequence number in the hive file and in every log's base
    // block and log entries, applied or not. A hive written back with higher
    // ones can never have these entries applied to it again.
    uint32_t highestSequence = 0;
    // The latest last-written time (a FILETIME) in the hive file and its
    // logs' base blocks: an old-format log applies only to a hive written at
    // its own time, so a hive written back later than all never matches one.
    uint64_t latestTimestamp = 0;

    uint32_t Applied() const;
};

// Recovers the hive whose file holds primary (whole, as read) with its logs
// (any of .LOG, .LOG1, .LOG2, as read; missing ones left out). A hive whose
// bins would grow past largestBins is not recovered.
HiveRecovery RecoverHive(HiveBytes primary, const std::vector<HiveLogFile>& logs,
                         uint64_t largestBins = kHiveLargestBins);
