#include "offline/OfflineReport.h"

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
    json values = json::array(), keys = json::array(), failed = json::array();
    for (const OfflineRegistry::Change& change : report.registryChanges) {
        if (!change.written) {
            failed.push_back({{"key", change.key}, {"value", change.value}, {"error", change.error}});
        } else if (change.isKey) {
            keys.push_back({{"key", change.key}});
        } else {
            values.push_back({{"key", change.key}, {"value", change.value}});
        }
    }
    const char* removed = report.dryRun ? "wouldRemove" : "removed";
    return {{std::string(removed) + "Values", values}, {std::string(removed) + "Keys", keys}, {"notWritten", failed}};
}

// Per hive: "clean", "recovered" (from which logs, how many log entries
// or dirty pages each) or "not used" (why).
json HivesJson(const OfflineReport& report) {
    json hives = json::array();
    for (const HiveOutcome& hive : report.hives) {
        const HiveRecovery& state = hive.state;
        json entry = {{"name", hive.name}, {"path", hive.path}};
        if (state.outcome == HiveRecovery::kClean) entry["state"] = "clean";
        if (state.outcome == HiveRecovery::kUnusable) entry["state"] = "not used";
        if (state.outcome == HiveRecovery::kUnusable) entry["why"] = state.problem;
        if (state.outcome == HiveRecovery::kRecovered) {
            json logs = json::array();
            for (const HiveLogUse& log : state.logs)
                logs.push_back({{"name", log.name}, {state.newFormat ? "logEntries" : "dirtyPages", log.applied}});
            entry["state"] = "recovered";
            entry["logs"] = logs;
            if (!state.baseBlockFrom.empty()) entry["baseBlockFrom"] = state.baseBlockFrom;
        }
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
        {"registry", RegistryJson(report)},
        {"hives", HivesJson(report)},
        {"hiveBackups", report.hiveBackups},
        {"counters",
         {{"filesScanned", report.filesScanned},
          {"filesInfected", report.filesInfected},
          {"filesRemoved", report.filesRemoved},
          {"filesRenamed", report.filesRenamed}}},
        {"interrupted", report.interrupted},
        {"vanishedDrives", report.vanishedDrives},
        {"messages", report.messages},
        {"exitStatus", report.exitStatus},
    };
}

std::string Problem(const std::string& path) { return path + ": " + strerror(errno); }

}  // namespace

bool CanWriteReport(const std::string& path, std::string* error) {
    std::string probe = path + ".new";
    if (CanMakeFile(probe)) return true;
    *error = "cannot write the report " + Problem(probe);
    return false;
}

bool WriteOfflineReport(const OfflineReport& report, const std::string& path, std::string* error) {
    // Names and data from the volume need not be UTF-8: such bytes are
    // replaced rather than failing the whole report.
    std::string text = ReportJson(report).dump(2, ' ', false, json::error_handler_t::replace) + "\n";
    std::string newPath = path + ".new";
    FILE* file = fopen(newPath.c_str(), "wb");
    bool written = file != nullptr && fwrite(text.data(), 1, text.size(), file) == text.size();
    if (file != nullptr && fclose(file) != 0) written = false;
    if (written && rename(newPath.c_str(), path.c_str()) == 0) return true;
    *error = "cannot write the report " + Problem(written ? path : newPath);
    unlink(newPath.c_str());
    return false;
}
