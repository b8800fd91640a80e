#include "platform/offline/OfflineHive.h"

#include <hivex.h>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

const int kBackupAttempts = 100;

void Release(std::vector<uint8_t>* bytes) { std::vector<uint8_t>().swap(*bytes); }

// Runs work in a child process, so that a library that aborts on a hive it
// cannot handle ends that process only. True when work ran to the end and
// returned true; else why not.
bool RunIsolated(const std::function<bool()>& work, std::string* why) {
    pid_t child = fork();
    if (child < 0) {
        *why = std::string("cannot start a process for the change: ") + strerror(errno);
        return false;
    }
    if (child == 0) _exit(work() ? 0 : 1);
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            *why = std::string("lost the process of the change: ") + strerror(errno);
            return false;
        }
    }
    if (WIFSIGNALED(status)) {
        *why = "the registry library stopped on this hive (signal " + std::to_string(WTERMSIG(status)) + ")";
        return false;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    *why = "the registry library could not make the change";
    return false;
}

std::string TimeStamp() {
    char stamp[32];
    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return stamp;
}

}  // namespace

OfflineHive::OfflineHive(const std::string& name, HiveFolder* folder, PrivateFolder* scratch, bool dryRun)
    : name_(name), fileName_(name), folder_(folder), scratch_(scratch), dryRun_(dryRun) {}

OfflineHive::~OfflineHive() {
    if (handle_ != nullptr) hivex_close(handle_);
}

void OfflineHive::MarkNotUsed(const std::string& reason) {
    if (handle_ != nullptr) hivex_close(handle_);
    handle_ = nullptr;
    use_ = HiveUse::kNotUsed;
    notUsedReason_ = reason;
}

bool OfflineHive::Open(std::string* error) {
    std::vector<uint8_t> bytes;
    bool opened = folder_->Read(name_, kHiveSizeLimit, &bytes, &fileName_, error) &&
                  PrepareForUse(&bytes, error) && Load(&bytes, error);
    if (!opened) MarkNotUsed(*error);
    return opened;
}

// The one place where the primary file's bytes are checked, and made ready,
// before hivex sees them: whatever passes here is what the scan reads and
// what a change starts from. A hive not closed cleanly is brought up to
// date from its logs; every hive is walked whole.
bool OfflineHive::PrepareForUse(std::vector<uint8_t>* bytes, std::string* error) {
    std::vector<HiveLogFile> logs;
    if (!ReadLogs(&logs, error)) return false;
    recovery_ = PrepareHive(std::move(*bytes), logs);
    if (recovery_.outcome == HiveRecovery::kUnusable) {
        *error = Path() + ": " + recovery_.problem;
        return false;
    }
    use_ = recovery_.outcome == HiveRecovery::kRecovered ? HiveUse::kRecovered : HiveUse::kClean;
    image_.swap(recovery_.image);
    sequence_ = HiveRead32(image_.data(), kHivePrimarySequence);
    *bytes = image_;
    return true;
}

// The logs beside the hive file: <name>.LOG, .LOG1, .LOG2 in any case, read
// whole. One that cannot be read leaves the hive unused: without it, what
// Windows would make of the hive, and of a hive written back, is unknown.
bool OfflineHive::ReadLogs(std::vector<HiveLogFile>* logs, std::string* error) {
    std::vector<std::string> names;
    if (!folder_->List(&names, error)) return false;
    for (const std::string& name : names) {
        HiveLogRole role = HiveLogRoleOf(fileName_, name);
        if (role == HiveLogRole::kNone) continue;
        for (const HiveLogFile& log : *logs)
            if (log.role == role) {
                *error = Path() + ": two logs named " + log.name + " but for letter case";
                return false;
            }
        logs->push_back({role, name, {}});
        std::string actual;
        if (!folder_->Read(name, kHiveSizeLimit, &logs->back().bytes, &actual, error)) return false;
        logNames_.push_back(actual);
    }
    return true;
}

// The one place where a changed hive is checked before it goes to the
// volume: closed cleanly, numbered above every log entry and dated after the
// hive file and its logs (by the least step, so the same change always
// makes the same hive), whole, and the hive as it was (image_) with the
// intended edits and nothing else.
bool OfflineHive::CheckBeforeWriting(std::vector<uint8_t>* changed, const std::vector<HiveEdit>& intended,
                                     std::string* error) {
    uint32_t sequence;
    std::string problem;
    if (!NextHiveSequence(recovery_.highestSequence, sequence_, &sequence)) {
        *error = Path() + ": no sequence number is left above those of its logs";
        return false;
    }
    uint64_t timestamp = std::max(recovery_.latestTimestamp, HiveRead64(image_.data(), kHiveTimestamp));
    if (!FinishWrittenHive(image_, intended, sequence, timestamp + (timestamp != UINT64_MAX), changed, &problem)) {
        *error = Path() + ": " + problem + "; it was not written";
        return false;
    }
    sequence_ = sequence;
    return true;
}

// Hands bytes to hivex through a private file (hivex reads it whole into
// memory; the file goes at once). bytes are released.
bool OfflineHive::Load(std::vector<uint8_t>* bytes, std::string* error) {
    std::string copy = scratch_->NewPath(name_.c_str());
    bool written = scratch_->WriteFile(copy, *bytes);
    int reason = errno;
    Release(bytes);
    bool loaded = written && LoadFile(copy, error);
    if (!written) *error = "cannot copy the hive to " + copy + ": " + strerror(reason);
    unlink(copy.c_str());
    return loaded;
}

bool OfflineHive::LoadFile(const std::string& path, std::string* error) {
    hive_h* loaded = hivex_open(path.c_str(), HIVEX_OPEN_WRITE);
    int reason = errno;
    if (loaded == nullptr || hivex_root(loaded) == 0) {
        *error = Path() + ": damaged hive (" + (loaded == nullptr ? strerror(reason) : "no root key") + ")";
        if (loaded != nullptr) hivex_close(loaded);
        return false;
    }
    if (handle_ != nullptr) hivex_close(handle_);
    handle_ = loaded;
    return true;
}

bool OfflineHive::CanWriteBeside(std::string* error) { return dryRun_ || folder_->CanWrite(error); }

bool OfflineHive::CommitInIsolation(const std::function<bool(hive_h*)>& edit, const std::string& committed,
                                    std::string* error) {
    hive_h* hive = handle_;
    return RunIsolated([&] { return edit(hive) && hivex_commit(hive, committed.c_str(), 0) == 0; }, error);
}

bool OfflineHive::ReadBack(const std::string& committed, std::vector<uint8_t>* bytes, std::string* error) {
    if (scratch_->ReadFile(committed, bytes)) return true;
    *error = std::string("cannot read back the changed hive: ") + strerror(errno);
    return false;
}

bool OfflineHive::Change(const std::function<bool(hive_h*)>& edit, const std::vector<HiveEdit>& intended,
                         std::string* error) {
    if (handle_ == nullptr) {
        *error = Path() + ": not used (" + notUsedReason_ + ")";
        return false;
    }
    std::string committed = scratch_->NewPath(name_.c_str());
    std::vector<uint8_t> bytes;
    bool done = CommitInIsolation(edit, committed, error) && ReadBack(committed, &bytes, error) &&
                CheckBeforeWriting(&bytes, intended, error) && (dryRun_ || PutOnVolume(bytes, error));
    unlink(committed.c_str());
    if (!done) return false;
    image_ = bytes;
    std::string ignored;
    // The volume holds the change now; should the hive not load again, it is not used further.
    if (!Load(&bytes, &ignored)) MarkNotUsed("could not be read again after a change");
    return true;
}

bool OfflineHive::PutOnVolume(const std::vector<uint8_t>& bytes, std::string* error) {
    if (!folder_->StillInPlace(error)) return false;
    if (backupPath_.empty() && !KeepBackup(error)) return false;
    std::string newName;
    if (!folder_->WriteNew(fileName_, bytes, &newName, error)) return false;
    std::string ignored;
    if (!folder_->Replace(newName, fileName_, error)) {
        folder_->Remove(newName, &ignored);
        return false;
    }
    folder_->Sync(&ignored);
    return true;
}

// The original, beside it under a name that was free: never over an existing one.
bool OfflineHive::KeepBackup(std::string* error) {
    std::vector<std::string> names;
    if (!folder_->List(&names, error)) return false;
    std::string stamp = TimeStamp();
    for (int attempt = 1; attempt <= kBackupAttempts; ++attempt) {
        std::string candidate = fileName_ + ".cordafix-" + stamp +
                                (attempt == 1 ? std::string() : "-" + std::to_string(attempt)) + ".bak";
        bool taken = false;
        for (const std::string& name : names) {
            taken = taken || strcasecmp(name.c_str(), candidate.c_str()) == 0;
            for (const std::string& log : logNames_)
                taken = taken || strcasecmp(name.c_str(), (candidate + log.substr(fileName_.size())).c_str()) == 0;
        }
        if (taken) continue;
        // The logs too, each a copy of its own (Windows writes them in place):
        // hive file and logs make a set that can be put back as it was.
        if (!folder_->KeepCopy(fileName_, candidate, error)) return false;
        for (const std::string& log : logNames_)
            if (!folder_->CopyNew(log, candidate + log.substr(fileName_.size()), error)) return false;
        backupPath_ = folder_->Where() + "/" + candidate;
        return true;
    }
    *error = "cannot find a free backup name beside " + Path();
    return false;
}
