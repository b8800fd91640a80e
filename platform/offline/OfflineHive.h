// One registry hive file of a Windows volume that is not running, read and
// changed through hivex.
//
// The hive's bytes come from the volume's hive folder (HiveFolder.h), at
// most kHiveSizeLimit of them, with its transaction logs. Before anything
// relies on them the hive is brought up to date from its logs when it was
// not closed cleanly, and its structure is checked whole (HiveGate.h); the
// hive file and its logs are only read. hivex then works on a private copy
// on this system (PrivateFolder.h): it never opens a file on the volume.
//
// A hive is the system's registry: a half-written one can leave Windows
// unable to start. So every change is made whole: hivex applies it and
// writes the complete new hive in a process of its own (a library abort on a
// hostile hive ends only that process), the result is checked whole and
// compared with the old hive, numbered above every entry of the logs left
// beside it (so Windows never applies them to it), written into a new file
// beside the old one and put in its place in one step. Before the first
// change the original and its logs are kept beside it as a backup. A change
// that cannot be written leaves both the file and the hive in memory as they
// were, so what the caller is told always matches the disk.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/offline/HiveFolder.h"
#include "platform/offline/HiveGate.h"
#include "platform/offline/PrivateFolder.h"

typedef struct hive_h hive_h;

// How the hive came to be used, for the output.
enum class HiveUse {
    kClean,      // closed cleanly: used as the file holds it
    kRecovered,  // brought up to date from its transaction logs
    kNotUsed,    // left as it is, see NotUsedReason
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
    // hive is checked (it must be the old one with intended and nothing else)
    // and (unless a dry run) put on the volume, and from then on Handle()
    // shows it. false with a message: nothing changed, neither on the volume
    // nor in Handle(). Handles of keys stay valid across a change.
    bool Change(const std::function<bool(hive_h*)>& edit, const std::vector<HiveEdit>& intended, std::string* error);

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
    // them: recovered from the logs, walked whole (sets use_, recovery_ and
    // image_); false: the hive is not used, error says why.
    bool PrepareForUse(std::vector<uint8_t>* bytes, std::string* error);
    bool ReadLogs(std::vector<HiveLogFile>* logs, std::string* error);
    // The changed hive, made ready for the volume and checked against image_
    // (the hive as it was); false: not written.
    bool CheckBeforeWriting(std::vector<uint8_t>* changed, const std::vector<HiveEdit>& intended, std::string* error);
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
    HiveRecovery recovery_;            // its image moved to image_
    std::vector<uint8_t> image_;       // the hive as hivex was last given it
    uint32_t sequence_ = 0;            // the sequence number of the hive last written
    std::vector<std::string> logNames_;  // the logs found beside it, as the folder spells them
};
