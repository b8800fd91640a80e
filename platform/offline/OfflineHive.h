// One registry hive file of a Windows volume that is not running, read and
// changed through hivex.
//
// Before hivex sees it, the hive is brought up to date from its transaction
// logs when it was not closed cleanly, and its structure is checked whole
// (HiveGate); the hive file and its logs are only read. hivex works on a
// copy in memory.
//
// A hive is the system's registry: a half-written one can leave Windows
// unable to start. So every change is written at once and whole: the complete
// new hive, checked against the old one, goes into a file beside the old
// one, which is then renamed over it. It is closed cleanly and numbered
// above every entry of the logs left beside it, so Windows never applies
// them to it. Before the first change the original and its logs are kept
// beside it as a backup. A change that cannot be written is undone in memory
// as well, so what the caller is told always matches the disk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/offline/HiveGate.h"

typedef struct hive_h hive_h;

// Whether a file can be made at path (it is made and removed again); errno
// tells why not.
bool CanMakeFile(const std::string& path);

class OfflineHive {
public:
    // name: the key it is mounted as ("SOFTWARE"); dryRun: changes stay in memory.
    OfflineHive(const std::string& name, const std::string& path, bool dryRun);
    ~OfflineHive();
    OfflineHive(const OfflineHive&) = delete;
    OfflineHive& operator=(const OfflineHive&) = delete;

    // Reads the file and its logs, recovers and checks the hive, and loads
    // it; false with a message for the user.
    bool Open(std::string* error);
    // Whether a new hive could be written beside this one and renamed over it.
    bool CanWriteBeside(std::string* error) const;

    // Writes the hive as it is in memory after edits. false: the file is as
    // it was and the memory holds the file's content again.
    bool Commit(const std::vector<HiveEdit>& edits, std::string* error);

    // How the hive was found: closed cleanly, recovered from its logs (which,
    // how many entries), or not usable (why).
    const HiveRecovery& State() const { return state_; }

    hive_h* Handle() const { return handle_; }
    const std::string& Name() const { return name_; }
    const std::string& Path() const { return path_; }
    const std::string& BackupPath() const { return backupPath_; }
    // The log files found beside the hive, by the path of each.
    const std::vector<std::string>& LogPaths() const { return logPaths_; }
    bool DryRun() const { return dryRun_; }

    // Where a new hive is written before it replaces the old one.
    static std::string NewFilePath(const std::string& hivePath);

private:
    bool ReadLogs(std::vector<HiveLogFile>* logs, std::string* error);
    bool KeepBackup(std::string* error);
    bool Load();
    bool WriteInPlace(const HiveBytes& bytes, std::string* error);

    std::string name_;
    std::string path_;
    std::string backupPath_;
    std::vector<std::string> logPaths_;
    bool dryRun_;
    HiveRecovery state_;
    HiveBytes image_;          // what the hive file holds (recovered), as hivex was given it
    uint32_t sequence_ = 0;    // the sequence number of the last hive written
    int memoryFile_ = -1;      // hivex reads and writes here, never on the volume
    hive_h* handle_ = nullptr;
};
