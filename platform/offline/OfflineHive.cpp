#include "platform/offline/OfflineHive.h"

#include <fcntl.h>
#include <hivex.h>
#include <sys/stat.h>
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

uint32_t Word(const uint8_t* bytes, size_t at) {
    return static_cast<uint32_t>(bytes[at]) | (static_cast<uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<uint32_t>(bytes[at + 2]) << 16) | (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

bool ReadAt(int fd, void* buffer, size_t count, off_t at) {
    return pread(fd, buffer, count, at) == static_cast<ssize_t>(count);
}

std::string Describe(const char* what, const std::string& path) { return path + ": " + what; }

HiveState CheckBaseBlock(int fd, off_t fileSize, const std::string& path, std::string* detail) {
    uint8_t block[kHiveBaseBlockSize];
    if (fileSize < static_cast<off_t>(kHiveBaseBlockSize) || !ReadAt(fd, block, sizeof block, 0)) {
        *detail = Describe("shorter than a hive's base block", path);
        return fileSize < static_cast<off_t>(kHiveBaseBlockSize) ? HiveState::kTruncated : HiveState::kUnreadable;
    }
    if (memcmp(block, "regf", 4) != 0) {
        *detail = Describe("not a registry hive (no regf signature)", path);
        return HiveState::kNotAHive;
    }
    if (Word(block, kChecksum) != HiveHeaderChecksum(block)) {
        *detail = Describe("damaged hive (the base block's checksum is wrong)", path);
        return HiveState::kDamaged;
    }
    if (Word(block, kFileType) != 0) {
        *detail = Describe("a transaction log, not a primary hive file", path);
        return HiveState::kNotAHive;
    }
    if (Word(block, kMajorVersion) != 1 || Word(block, kMinorVersion) > kHighestMinorVersion ||
        Word(block, kFileFormat) != 1) {
        *detail = Describe("a hive format version this tool does not know", path);
        return HiveState::kUnsupported;
    }
    uint32_t binsSize = Word(block, kBinsSize);
    if (binsSize == 0 || binsSize % kHiveBaseBlockSize != 0) {
        *detail = Describe("damaged hive (impossible size of its bins)", path);
        return HiveState::kDamaged;
    }
    if (static_cast<off_t>(kHiveBaseBlockSize) + binsSize > fileSize) {
        *detail = Describe("truncated hive (shorter than its base block says)", path);
        return HiveState::kTruncated;
    }
    char bin[4];
    if (!ReadAt(fd, bin, sizeof bin, kHiveBaseBlockSize) || memcmp(bin, "hbin", 4) != 0) {
        *detail = Describe("damaged hive (no hive bin after the base block)", path);
        return HiveState::kDamaged;
    }
    if (Word(block, kPrimarySequence) != Word(block, kSecondarySequence)) {
        *detail = Describe("not closed cleanly: some of its changes wait in its transaction logs, "
                           "which this tool does not apply",
                           path);
        return HiveState::kNotClosedCleanly;
    }
    return HiveState::kSound;
}

bool SyncPath(const std::string& path, int flags) {
    int fd = open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return false;
    bool synced = fsync(fd) == 0;
    return close(fd) == 0 && synced;
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool CopyWhole(const std::string& from, const std::string& to) {
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0) {
        close(in);
        return false;
    }
    bool ok = true;
    char buffer[65536];
    for (;;) {
        ssize_t got = read(in, buffer, sizeof buffer);
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        if (write(out, buffer, static_cast<size_t>(got)) != got) {
            ok = false;
            break;
        }
    }
    ok = fsync(out) == 0 && ok;
    ok = close(out) == 0 && ok;
    close(in);
    if (!ok) unlink(to.c_str());
    return ok;
}

std::string Failure(const char* what, const std::string& path) {
    return "cannot " + std::string(what) + " " + path + ": " + strerror(errno);
}

}  // namespace

HiveState CheckHiveFile(const std::string& path, std::string* detail) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        *detail = path + ": " + (fd < 0 ? strerror(errno) : "not a regular file");
        if (fd >= 0) close(fd);
        return HiveState::kUnreadable;
    }
    HiveState state = CheckBaseBlock(fd, info.st_size, path, detail);
    close(fd);
    return state;
}

bool CanMakeFile(const std::string& path) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    close(fd);
    unlink(path.c_str());
    return true;
}

OfflineHive::OfflineHive(const std::string& name, const std::string& path, bool dryRun)
    : name_(name), path_(path), dryRun_(dryRun) {}

OfflineHive::~OfflineHive() {
    if (handle_ != nullptr) hivex_close(handle_);
}

std::string OfflineHive::NewFilePath(const std::string& hivePath) { return hivePath + ".cordafix-new"; }

bool OfflineHive::Open(std::string* error) {
    if (CheckHiveFile(path_, error) != HiveState::kSound) return false;
    // Loaded into memory (not mapped), so renaming a new file over it later
    // cannot pull the content from under the reader.
    handle_ = hivex_open(path_.c_str(), HIVEX_OPEN_WRITE);
    if (handle_ == nullptr) {
        *error = path_ + ": damaged hive (" + strerror(errno) + ")";
        return false;
    }
    if (hivex_root(handle_) == 0) {
        *error = path_ + ": damaged hive (no root key)";
        return false;
    }
    return true;
}

bool OfflineHive::CanWriteBeside(std::string* error) const {
    if (dryRun_) return true;
    if (CanMakeFile(NewFilePath(path_))) return true;
    *error = Failure("write a new hive beside", path_);
    return false;
}

bool OfflineHive::KeepBackup(std::string* error) {
    char stamp[32];
    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    for (int attempt = 1; attempt < 100; ++attempt) {
        char suffix[64];
        snprintf(suffix, sizeof suffix, attempt == 1 ? ".cordafix-%s.bak" : ".cordafix-%s-%d.bak", stamp, attempt);
        std::string candidate = path_ + suffix;
        struct stat existing;
        if (lstat(candidate.c_str(), &existing) == 0) continue;
        // A second name for the same file costs nothing; where the file
        // system has no hard links, a full copy does the same.
        if (link(path_.c_str(), candidate.c_str()) == 0 || CopyWhole(path_, candidate)) {
            backupPath_ = candidate;
            return true;
        }
        *error = Failure("keep a backup of", path_);
        return false;
    }
    *error = "cannot find a free backup name beside " + path_;
    return false;
}

bool OfflineHive::Reload() {
    if (handle_ != nullptr) hivex_close(handle_);
    handle_ = hivex_open(path_.c_str(), HIVEX_OPEN_WRITE);
    return handle_ != nullptr;
}

bool OfflineHive::Commit(std::string* error) {
    if (dryRun_) return true;
    if (handle_ == nullptr) {
        *error = path_ + ": the hive could not be read again after a failed write";
        return false;
    }
    std::string newPath = NewFilePath(path_);
    std::string detail;
    bool done = false;
    if (hivex_commit(handle_, newPath.c_str(), 0) != 0 || !SyncPath(newPath, O_RDONLY)) {
        *error = Failure("write the new hive", newPath);
    } else if (CheckHiveFile(newPath, &detail) != HiveState::kSound) {
        *error = "the new hive did not come out whole: " + detail;
    } else if (backupPath_.empty() && !KeepBackup(error)) {
        // error filled
    } else {
        struct stat original;
        if (stat(path_.c_str(), &original) == 0) chmod(newPath.c_str(), original.st_mode & 07777);
        done = rename(newPath.c_str(), path_.c_str()) == 0;
        if (!done) *error = Failure("put the new hive in place of", path_);
    }
    if (done) {
        SyncPath(FolderOf(path_), O_RDONLY | O_DIRECTORY);
        return true;
    }
    unlink(newPath.c_str());
    Reload();
    return false;
}
