// One registry hive file of a Windows volume that is not running, read and
// changed through hivex.
//
// The hive's bytes come from the volume's hive folder (HiveFolder.h), at
// most kHiveSizeLimit of them, and are checked before anything relies on
// them. hivex then works on a private copy on this system (PrivateFolder.h):
// it never opens a file on the volume.
//
// A hive is the system's registry: a half-written one can leave Windows
// unable to start. So every change is made whole: hivex applies it and
// writes the complete new hive in a process of its own (a library abort on a
// hostile hive ends only that process), the result is checked, written into
// a new file beside the old one and put in its place in one step. Before the
// first change the original is kept beside it as a backup. A change that
// cannot be written leaves both the file and the hive in memory as they
// were, so what the caller is told always matches the disk.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/offline/HiveFolder.h"
#include "platform/offline/PrivateFolder.h"

typedef struct hive_h hive_h;

const size_t kHiveBaseBlockSize = 4096;
// Far above any real hive (system hives are seldom more than a few hundred
// MiB) and half of what the format's 32-bit offsets reach; it bounds the
// memory a hive can take (about twice this while a change is written).
const uint64_t kHiveSizeLimit = 1ull << 30;

// The base block's checksum: the exclusive-or of its first 127 32-bit words,
// with 0xFFFFFFFF stored as 0xFFFFFFFE and 0 as 1.
uint32_t HiveHeaderChecksum(const uint8_t* baseBlock);

// What the base block says about a hive, before any reader relies on it.
enum class HiveState {
    kSound,
    kNotAHive,           // no "regf" signature, or not a primary hive file
    kDamaged,            // bad checksum, or its bins do not start where they must
    kTruncated,          // shorter than its base block says
    kUnsupported,        // a format version this tool does not know
    kNotClosedCleanly,   // changes still wait in the transaction logs
};
// where: the hive's name for the message in detail.
HiveState CheckHiveBytes(const std::vector<uint8_t>& bytes, const std::string& where, std::string* detail);

// How the hive came to be used, for the output.
enum class HiveUse {
    kClean,      // closed cleanly: used as the file holds it
    kRecovered,  // brought up to date from its transaction logs
    kNotUsed,    // left as it is, see NotUsedReason
};

// What log recovery applied (filled in where the hive is prepared).
struct HiveRecovery {
    int entries = 0;
    std::vector<std::string> logs;  // the log files' names, in the order applied
};

class OfflineHive {
public:
    // name: the hive's file name and the key it is mounted as ("SOFTWARE");
    // folder: where it lies; scratch: this system's folder for hivex's
    // copies; dryRun: changes are made on the copy only.
    OfflineHive(const std::string& name, HiveFolder* folder, PrivateFolder* scratch, bool dryRun);
    ~OfflineHive();
    OfflineHive(const OfflineHive&) = delete;
    OfflineHive& operator=(const OfflineHive&) = delete;

    // Reads, checks and loads the hive; false (and the hive not used) with
    // the reason.
    bool Open(std::string* error);
    // Whether a new hive could be written beside this one.
    bool CanWriteBeside(std::string* error);
    // Leaves the hive as it is on the volume from now on.
    void MarkNotUsed(const std::string& reason);

    // One change: edit runs on the hive in a process of its own, the changed
    // hive is checked and (unless a dry run) put on the volume, and from then
    // on Handle() shows it. false with a message: nothing changed, neither on
    // the volume nor in Handle(). Handles of keys stay valid across a change.
    bool Change(const std::function<bool(hive_h*)>& edit, std::string* error);

    // The loaded hive; null when it is not used.
    hive_h* Handle() const { return handle_; }
    const std::string& Name() const { return name_; }
    // The hive file's path, for messages.
    std::string Path() const { return folder_->Where() + "/" + fileName_; }
    const std::string& BackupPath() const { return backupPath_; }
    bool DryRun() const { return dryRun_; }
    HiveUse Use() const { return use_; }
    const std::string& NotUsedReason() const { return notUsedReason_; }
    const HiveRecovery& Recovery() const { return recovery_; }

private:
    // The primary file's bytes, checked and made ready before hivex sees
    // them (the place for log recovery and a walk of the whole hive: it sets
    // use_ and recovery_); false: the hive is not used, error says why.
    bool PrepareForUse(std::vector<uint8_t>* bytes, std::string* error);
    // The changed hive, checked before it goes to the volume (handle_ still
    // holds the hive as it was, for a comparison); false: not written.
    bool CheckBeforeWriting(const std::vector<uint8_t>& changed, std::string* error);
    bool Load(std::vector<uint8_t>* bytes, std::string* error);
    bool LoadFile(const std::string& path, std::string* error);
    bool ReadBack(const std::string& committed, std::vector<uint8_t>* bytes, std::string* error);
    bool CommitInIsolation(const std::function<bool(hive_h*)>& edit, const std::string& committed,
                           std::string* error);
    bool PutOnVolume(const std::vector<uint8_t>& bytes, std::string* error);
    bool KeepBackup(std::string* error);

    std::string name_;
    std::string fileName_;  // as the folder spells it
    HiveFolder* folder_;
    PrivateFolder* scratch_;
    bool dryRun_;
    hive_h* handle_ = nullptr;
    std::string backupPath_;
    HiveUse use_ = HiveUse::kNotUsed;
    std::string notUsedReason_ = "not read";
    HiveRecovery recovery_;
};
