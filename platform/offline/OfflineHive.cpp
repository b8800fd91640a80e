#include "platform/offline/OfflineHive.h"

#include <hivex.h>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

// Base block fields (little-endian 32-bit words at these offsets).
const size_t kPrimarySequence = 0x04;
const size_t kSecondarySequence = 0x08;
const size_t kMajorVersion = 0x14;
const size_t kMinorVersion = 0x18;
const size_t kFileType = 0x1C;
const size_t kFileFormat = 0x20;
const size_t kBinsSize = 0x28;
const size_t kChecksum = 0x1FC;
const uint32_t kHighestMinorVersion = 6;
const int kBackupAttempts = 100;

uint32_t Word(const uint8_t* bytes, size_t at) {
    return static_cast<uint32_t>(bytes[at]) | (static_cast<uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<uint32_t>(bytes[at + 2]) << 16) | (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

std::string Describe(const char* what, const std::string& where) { return where + ": " + what; }

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

uint32_t HiveHeaderChecksum(const uint8_t* baseBlock) {
    uint32_t sum = 0;
    for (size_t at = 0; at < kChecksum; at += 4) sum ^= Word(baseBlock, at);
    if (sum == 0xFFFFFFFFu) return 0xFFFFFFFEu;
    if (sum == 0) return 1;
    return sum;
}

HiveState CheckHiveBytes(const std::vector<uint8_t>& bytes, const std::string& where, std::string* detail) {
    const uint8_t* block = bytes.data();
    if (bytes.size() < kHiveBaseBlockSize) {
        *detail = Describe("shorter than a hive's base block", where);
        return HiveState::kTruncated;
    }
    if (memcmp(block, "regf", 4) != 0) {
        *detail = Describe("not a registry hive (no regf signature)", where);
        return HiveState::kNotAHive;
    }
    if (Word(block, kChecksum) != HiveHeaderChecksum(block)) {
        *detail = Describe("damaged hive (the base block's checksum is wrong)", where);
        return HiveState::kDamaged;
    }
    if (Word(block, kFileType) != 0) {
        *detail = Describe("a transaction log, not a primary hive file", where);
        return HiveState::kNotAHive;
    }
    if (Word(block, kMajorVersion) != 1 || Word(block, kMinorVersion) > kHighestMinorVersion ||
        Word(block, kFileFormat) != 1) {
        *detail = Describe("a hive format version this tool does not know", where);
        return HiveState::kUnsupported;
    }
    uint32_t binsSize = Word(block, kBinsSize);
    if (binsSize == 0 || binsSize % kHiveBaseBlockSize != 0) {
        *detail = Describe("damaged hive (impossible size of its bins)", where);
        return HiveState::kDamaged;
    }
    if (kHiveBaseBlockSize + binsSize > bytes.size()) {
        *detail = Describe("truncated hive (shorter than its base block says)", where);
        return HiveState::kTruncated;
    }
    if (memcmp(block + kHiveBaseBlockSize, "hbin", 4) != 0) {
        *detail = Describe("damaged hive (no hive bin after the base block)", where);
        return HiveState::kDamaged;
    }
    if (Word(block, kPrimarySequence) != Word(block, kSecondarySequence)) {
        *detail = Describe("not closed cleanly: some of its changes wait in its transaction logs, "
                           "which this tool does not apply",
                           where);
        return HiveState::kNotClosedCleanly;
    }
    return HiveState::kSound;
}

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
// what a change starts from.
bool OfflineHive::PrepareForUse(std::vector<uint8_t>* bytes, std::string* error) {
    if (CheckHiveBytes(*bytes, Path(), error) != HiveState::kSound) return false;
    use_ = HiveUse::kClean;
    return true;
}

// The one place where a changed hive is checked before it goes to the
// volume; Handle() still shows the hive as it was before the change.
bool OfflineHive::CheckBeforeWriting(const std::vector<uint8_t>& changed, std::string* error) {
    std::string detail;
    if (CheckHiveBytes(changed, Path(), &detail) == HiveState::kSound) return true;
    *error = "the changed hive did not come out whole: " + detail;
    return false;
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

bool OfflineHive::Change(const std::function<bool(hive_h*)>& edit, std::string* error) {
    if (handle_ == nullptr) {
        *error = Path() + ": not used (" + notUsedReason_ + ")";
        return false;
    }
    std::string committed = scratch_->NewPath(name_.c_str());
    std::vector<uint8_t> bytes;
    bool done = CommitInIsolation(edit, committed, error) && ReadBack(committed, &bytes, error) &&
                CheckBeforeWriting(bytes, error) && (dryRun_ || PutOnVolume(bytes, error));
    Release(&bytes);
    std::string ignored;
    // The volume holds the change now; should the hive not load again, it is not used further.
    if (done && !LoadFile(committed, &ignored)) MarkNotUsed("could not be read again after a change");
    unlink(committed.c_str());
    return done;
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
        for (const std::string& name : names) taken = taken || strcasecmp(name.c_str(), candidate.c_str()) == 0;
        if (taken) continue;
        if (!folder_->KeepCopy(fileName_, candidate, error)) return false;
        backupPath_ = folder_->Where() + "/" + candidate;
        return true;
    }
    *error = "cannot find a free backup name beside " + Path();
    return false;
}
