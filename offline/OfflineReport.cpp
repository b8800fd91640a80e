#include "offline/OfflineReport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>

#include "engine/SignatureTable.h"
#include "offline/OfflineOptions.h"
#include "platform/offline/OfflineHive.h"

namespace {

using nlohmann::json;

json DetectionsJson(const OfflineReport& report) {
    json list = json::array();
    for (const Detection& detection : report.detections) {
        std::string result = detection.result;
        if (report.dryRun && detection.removed) result = "would be " + result;
        list.push_back({{"path", detection.path},
                        {"record", detection.record},
                        {"action", report.action},
                        {"result", result},
                        {"removed", detection.removed && !report.dryRun}});
    }
    return list;
}

json RegistryJson(const OfflineReport& report) {
    json values = json::array(), keys = json::array(), failed = json::array(), unread = json::array();
    for (const OfflineRegistry::Change& change : report.registryChanges) {
        if (!change.written) {
            failed.push_back({{"key", change.key}, {"value", change.value}, {"error", change.error}});
        } else if (change.isKey) {
            keys.push_back({{"key", change.key}});
        } else {
            values.push_back({{"key", change.key}, {"value", change.value}});
        }
    }
    for (const OfflineRegistry::Unread& item : report.registryNotRead)
        unread.push_back({{"key", item.key}, {"value", item.value}, {"error", item.error}});
    const char* removed = report.dryRun ? "wouldRemove" : "removed";
    return {{std::string(removed) + "Values", values},
            {std::string(removed) + "Keys", keys},
            {"notWritten", failed},
            {"notRead", unread}};
}

// The logs a hive was recovered from, in the order applied, with how many
// log entries (new format) or dirty pages (old format) each gave, and where
// one stopped before its end and why (a wrong hash, a truncated entry...).
json RecoveredJson(const HiveRecovery& recovery) {
    json logs = json::array();
    for (const HiveLogUse& log : recovery.logs) {
        logs.push_back({{"name", log.name}, {recovery.newFormat ? "logEntries" : "dirtyPages", log.applied}});
        if (!log.stop.empty()) logs.back()["stoppedAt"] = log.stop;
    }
    json recovered = {{"logs", logs}};
    if (!recovery.baseBlockFrom.empty()) recovered["baseBlockFrom"] = recovery.baseBlockFrom;
    return recovered;
}

json HivesJson(const OfflineReport& report) {
    json hives = json::array();
    for (const HiveReport& hive : report.hives) {
        json entry = {{"name", hive.name}, {"path", hive.path}, {"state", HiveUseName(hive.use)}};
        if (hive.use == HiveUse::kNotUsed) entry["reason"] = hive.reason;
        if (hive.use == HiveUse::kRecovered) entry["recovered"] = RecoveredJson(hive.recovery);
        hives.push_back(entry);
    }
    return hives;
}

json ReportJson(const OfflineReport& report) {
    json drives = json::object();
    for (const auto& drive : report.drives) drives[std::string(1, drive.first) + ":"] = drive.second;
    return {
        {"program", "cordafix-offline"},
        {"version", OfflineVersionLine()},
        {"signatureRecords", kSignatureCount},
        {"volume", report.volume},
        {"drives", drives},
        {"dryRun", report.dryRun},
        {"detections", DetectionsJson(report)},
        {"hives", HivesJson(report)},
        {"registry", RegistryJson(report)},
        {"hives", HivesJson(report)},
        {"hiveBackups", report.hiveBackups},
        {"counters",
         {{"filesScanned", report.filesScanned},
          {"filesInfected", report.filesInfected},
          {"filesRemoved", report.filesRemoved},
          {"filesRenamed", report.filesRenamed},
          {"pathsNotChecked", report.notChecked.size()}}},
        {"notChecked", report.notChecked},
        {"interrupted", report.interrupted},
        {"vanishedDrives", report.vanishedDrives},
        {"messages", report.messages},
        {"exitStatus", report.exitStatus},
    };
}

// The report's folder and its name there.
UniqueFd OpenReportFolder(const std::string& path, const std::vector<FolderId>& volumes, std::string* name,
                          std::string* error) {
    size_t slash = path.find_last_of('/');
    *name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    if (name->empty() || *name == "." || *name == "..") {
        *error = "the report " + path + " names a folder, not a file";
        return UniqueFd();
    }
    std::string why;
    UniqueFd opened = OpenFolderAvoidingVolumeLinks(folder, volumes, &why);
    if (!opened.Valid()) *error = "cannot write the report " + path + ": " + why;
    return opened;
}

}  // namespace

const char* HiveUseName(HiveUse use) {
    switch (use) {
        case HiveUse::kClean: return "clean";
        case HiveUse::kRecovered: return "recovered";
        default: return "not used";
    }
}

bool CanWriteReport(const std::string& path, const std::vector<FolderId>& volumes, std::string* error) {
    std::string name, probe;
    UniqueFd folder = OpenReportFolder(path, volumes, &name, error);
    if (!folder.Valid()) return false;
    struct stat existing;
    if (fstatat(folder.Get(), name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(existing.st_mode)) {
        *error = "cannot write the report " + path + ": a folder of that name exists";
        return false;
    }
    UniqueFd file = CreateUnpredictableFile(folder.Get(), name + ".cordafix-", ".tmp", &probe);
    if (!file.Valid()) {
        *error = "cannot write the report " + path + ": " + strerror(errno);
        return false;
    }
    unlinkat(folder.Get(), probe.c_str(), 0);
    return true;
}

bool WriteOfflineReport(const OfflineReport& report, const std::string& path, const std::vector<FolderId>& volumes,
                        std::string* error) {
    // Names and data from the volume need not be UTF-8: such bytes are
    // replaced rather than failing the whole report.
    std::string text = ReportJson(report).dump(2, ' ', false, json::error_handler_t::replace) + "\n";
    std::string name, temporary;
    UniqueFd folder = OpenReportFolder(path, volumes, &name, error);
    if (!folder.Valid()) return false;
    UniqueFd file = CreateUnpredictableFile(folder.Get(), name + ".cordafix-", ".tmp", &temporary);
    bool written = file.Valid() && fchmod(file.Get(), 0644) == 0 &&
                   WriteWhole(file.Get(), reinterpret_cast<const uint8_t*>(text.data()), text.size()) &&
                   fsync(file.Get()) == 0 && close(file.Release()) == 0 &&
                   renameat(folder.Get(), temporary.c_str(), folder.Get(), name.c_str()) == 0;
    if (written) return true;
    *error = "cannot write the report " + path + ": " + strerror(errno);
    if (!temporary.empty()) unlinkat(folder.Get(), temporary.c_str(), 0);
    return false;
}
