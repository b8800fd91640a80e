// One registry hive file of a Windows volume that is not running, read and
// changed through hivex.
//
// A hive is the system's registry: a half-written one can leave Windows
// unable to start. So every change is written at once and whole: the complete
// new hive goes into a file beside the old one, which is then renamed over
// it. Before the first change the original is kept beside it as a backup. A
// change that cannot be written is undone in memory as well, so what the
// caller is told always matches the disk.
#pragma once

#include <cstdint>
#include <string>

#include "platform/offline/HiveImage.h"

typedef struct hive_h hive_h;

// What the base block says about a hive file, before any reader relies on it.
enum class HiveState {
    kSound,
    kUnreadable,         // cannot be opened or read
    kNotAHive,           // no "regf" signature, or not a primary hive file
    kDamaged,            // bad checksum, or its bins do not start where they must
    kTruncated,          // shorter than its base block says
    kUnsupported,        // a format version this tool does not know
    kNotClosedCleanly,   // changes still wait in the transaction logs
};
HiveState CheckHiveFile(const std::string& path, std::string* detail);

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

    // Checks the file and loads it; false with a message for the user.
    bool Open(std::string* error);
    // Whether a new hive could be written beside this one and renamed over it.
    bool CanWriteBeside(std::string* error) const;

    // Writes the hive as it is in memory (after a change). false: the file is
    // as it was and the memory holds the file's content again.
    bool Commit(std::string* error);

    hive_h* Handle() const { return handle_; }
    const std::string& Name() const { return name_; }
    const std::string& Path() const { return path_; }
    const std::string& BackupPath() const { return backupPath_; }
    bool DryRun() const { return dryRun_; }

    // Where a new hive is written before it replaces the old one.
    static std::string NewFilePath(const std::string& hivePath);

private:
    bool KeepBackup(std::string* error);
    bool Reload();

    std::string name_;
    std::string path_;
    std::string backupPath_;
    bool dryRun_;
    hive_h* handle_ = nullptr;
};
