// The JSON report of an offline scan (--report FILE).
#pragma once

#include <string>
#include <vector>

#include "offline/OfflineConsole.h"
#include "platform/offline/OfflineRegistry.h"

// How one hive was found (its state without its bytes).
struct HiveOutcome {
    std::string name;
    std::string path;
    HiveRecovery state;
};

struct OfflineReport {
    std::string volume;
    std::vector<std::pair<char, std::string>> drives;  // letter, host folder
    bool dryRun = false;
    std::string action;  // "delete", "rename", "leave alone"
    std::vector<Detection> detections;
    std::vector<OfflineRegistry::Change> registryChanges;
    std::vector<HiveOutcome> hives;
    std::vector<std::string> hiveBackups;
    std::vector<std::string> messages;
    int filesScanned = 0, filesInfected = 0, filesRemoved = 0, filesRenamed = 0;
    bool interrupted = false;
    std::string vanishedDrives;
    int exitStatus = 0;
};

// Writes the report to path (a new file renamed into place); false with a
// message when it cannot.
bool WriteOfflineReport(const OfflineReport& report, const std::string& path, std::string* error);
// Whether a report could be written to path at all (tried before the scan).
bool CanWriteReport(const std::string& path, std::string* error);
