// The JSON report of an offline scan (--report FILE).
#pragma once

#include <string>
#include <vector>

#include "offline/OfflineConsole.h"
#include "platform/offline/HostFolder.h"
#include "platform/offline/OfflineHive.h"
#include "platform/offline/OfflineRegistry.h"

// One hive as the scan used it.
struct HiveReport {
    std::string name;  // "SOFTWARE"
    std::string path;
    HiveUse use = HiveUse::kNotUsed;
    std::string reason;  // why it was not used
    HiveRecovery recovery;
};

struct OfflineReport {
    std::string volume;
    std::vector<std::pair<char, std::string>> drives;  // letter, host folder
    bool dryRun = false;
    std::string action;  // "delete", "rename", "leave alone"
    std::vector<Detection> detections;
    std::vector<HiveReport> hives;
    std::vector<OfflineRegistry::Change> registryChanges;
    std::vector<OfflineRegistry::Unread> registryNotRead;
    std::vector<std::string> hiveBackups;
    std::vector<std::string> notChecked;  // paths too long (or unnamable) to check
    std::vector<std::string> messages;
    int filesScanned = 0, filesInfected = 0, filesRemoved = 0, filesRenamed = 0;
    bool interrupted = false;
    std::string vanishedDrives;
    int exitStatus = 0;
};

// Writes the report to path: into a new file of its folder, then renamed
// over path. The folder is reached as named, but never through a symbolic
// link that lies in one of volumes; false with a message when it cannot.
bool WriteOfflineReport(const OfflineReport& report, const std::string& path, const std::vector<FolderId>& volumes,
                        std::string* error);
// Whether a report could be written to path at all (tried before the scan).
bool CanWriteReport(const std::string& path, const std::vector<FolderId>& volumes, std::string* error);
// "clean", "recovered" or "not used".
const char* HiveUseName(HiveUse use);
