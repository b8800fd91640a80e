#include "platform/offline/OfflineHive.h"

#include <dirent.h>
#include <fcntl.h>
#include <hivex.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

// No hive or log this tool reads is larger: far above any real one.
const uint64_t kLargestHiveFile = kHiveBaseBlockSize + kHiveLargestBins;
// Seconds from 1601 (FILETIME's start) to 1970, and FILETIME's units per second.
const uint64_t kFiletimeEpoch = 11644473600ull;
const uint64_t kFiletimeUnits = 10000000ull;

uint64_t FiletimeNow() { return (static_cast<uint64_t>(time(nullptr)) + kFiletimeEpoch) * kFiletimeUnits; }

std::string FileNameOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A descriptor's whole content; null, or why it cannot be had.
const char* ReadDescriptor(int fd, HiveBytes* bytes) {
    struct stat info;
    if (fstat(fd, &info) != 0) return strerror(errno);
    if (!S_ISREG(info.st_mode)) return "not a regular file";
    if (static_cast<uint64_t>(info.st_size) > kLargestHiveFile) return "larger than any hive this tool reads";
    bytes->resize(static_cast<size_t>(info.st_size));
    for (size_t done = 0; done < bytes->size();) {
        ssize_t got = pread(fd, bytes->data() + done, bytes->size() - done, static_cast<off_t>(done));
        if (got <= 0) return got < 0 ? strerror(errno) : "shorter than it was";
        done += static_cast<size_t>(got);
    }
    return nullptr;
}

// A regular file's whole content; links are not followed and a special
// file is refused before it can block.
bool ReadWholeFile(const std::string& path, HiveBytes* bytes, std::string* error) {
    int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    const char* problem = fd < 0 ? strerror(errno) : ReadDescriptor(fd, bytes);
    if (problem != nullptr) *error = path + ": " + problem;
    if (fd >= 0) close(fd);
    return problem == nullptr;
}

bool WriteAll(int fd, const HiveBytes& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
        if (put <= 0) return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

std::string MemoryFilePath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

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
    if (memoryFile_ >= 0) close(memoryFile_);
}

std::string OfflineHive::NewFilePath(const std::string& hivePath) { return hivePath + ".cordafix-new"; }

// The logs beside the hive file: <name>.LOG, .LOG1, .LOG2 in any case.
bool OfflineHive::ReadLogs(std::vector<HiveLogFile>* logs, std::string* error) {
    std::string folder = FolderOf(path_), name = FileNameOf(path_);
    DIR* listing = opendir(folder.c_str());
    if (listing == nullptr) {
        *error = Failure("list the folder of", path_);
        return false;
    }
    bool read = true;
    while (dirent* entry = readdir(listing)) {
        HiveLogRole role = HiveLogRoleOf(name, entry->d_name);
        if (role == HiveLogRole::kNone) continue;
        for (const HiveLogFile& log : *logs)
            if (log.role == role) {
                *error = folder + ": two logs named " + log.name + " but for case";
                read = false;
            }
        std::string path = folder + "/" + entry->d_name;
        logs->push_back({role, entry->d_name, HiveBytes()});
        logPaths_.push_back(path);
        read = read && ReadWholeFile(path, &logs->back().bytes, error);
    }
    closedir(listing);
    return read;
}

bool OfflineHive::Open(std::string* error) {
    HiveBytes primary;
    std::vector<HiveLogFile> logs;
    if (!ReadWholeFile(path_, &primary, error) || !ReadLogs(&logs, error)) return false;
    state_ = PrepareHive(std::move(primary), logs);
    if (state_.outcome == HiveRecovery::kUnusable) {
        *error = path_ + ": " + state_.problem;
        return false;
    }
    image_.swap(state_.image);
    sequence_ = HiveRead32(image_.data(), kHivePrimarySequence);
    memoryFile_ = memfd_create("cordafix-hive", MFD_CLOEXEC);
    if (memoryFile_ < 0 || !Load()) {
        *error = path_ + ": cannot load the hive into memory (" + strerror(errno) + ")";
        return false;
    }
    return true;
}

// hivex reads the hive from a file in memory: what it reads is exactly what
// was checked, and nothing it does reaches the volume.
bool OfflineHive::Load() {
    if (handle_ != nullptr) hivex_close(handle_);
    handle_ = nullptr;
    if (ftruncate(memoryFile_, 0) != 0 || lseek(memoryFile_, 0, SEEK_SET) != 0 || !WriteAll(memoryFile_, image_))
        return false;
    handle_ = hivex_open(MemoryFilePath(memoryFile_).c_str(), HIVEX_OPEN_WRITE);
    return handle_ != nullptr;
}

bool OfflineHive::CanWriteBeside(std::string* error) const {
    if (dryRun_) return true;
    if (CanMakeFile(NewFilePath(path_))) return true;
    *error = Failure("write a new hive beside", path_);
    return false;
}

// The original hive file and its logs, byte for byte: <hive>.cordafix-<time>.bak
// and the logs as <that name>.LOG1 and so on, a set that can be put back as it was.
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
        bool taken = lstat(candidate.c_str(), &existing) == 0;
        for (const std::string& log : logPaths_)
            taken = taken || lstat((candidate + FileNameOf(log).substr(FileNameOf(path_).size())).c_str(), &existing) == 0;
        if (taken) continue;
        // A second name for the hive file costs nothing (the new hive takes
        // its name, the old file is never written again); where the file
        // system has no hard links, a full copy does the same. Windows
        // writes its logs in place, so they are copied.
        bool kept = link(path_.c_str(), candidate.c_str()) == 0 || CopyWhole(path_, candidate);
        for (const std::string& log : logPaths_)
            kept = kept && CopyWhole(log, candidate + FileNameOf(log).substr(FileNameOf(path_).size()));
        if (kept) {
            backupPath_ = candidate;
            return true;
        }
        *error = Failure("keep a backup of", path_);
        return false;
    }
    *error = "cannot find a free backup name beside " + path_;
    return false;
}

bool OfflineHive::WriteInPlace(const HiveBytes& bytes, std::string* error) {
    std::string newPath = NewFilePath(path_);
    int fd = open(newPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    bool written = fd >= 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
    if (fd >= 0 && close(fd) != 0) written = false;
    bool done = false;
    if (!written) {
        *error = Failure("write the new hive", newPath);
    } else if (backupPath_.empty() && !KeepBackup(error)) {
        // error filled
    } else {
        struct stat original;
        if (stat(path_.c_str(), &original) == 0) chmod(newPath.c_str(), original.st_mode & 07777);
        done = rename(newPath.c_str(), path_.c_str()) == 0;
        if (!done) *error = Failure("put the new hive in place of", path_);
    }
    if (!done) {
        unlink(newPath.c_str());
        return false;
    }
    SyncPath(FolderOf(path_), O_RDONLY | O_DIRECTORY);
    return true;
}

bool OfflineHive::Commit(const std::vector<HiveEdit>& edits, std::string* error) {
    if (dryRun_) return true;
    if (handle_ == nullptr) {
        *error = path_ + ": the hive could not be read again after a failed write";
        return false;
    }
    HiveBytes written;
    uint32_t sequence = 0;
    std::string problem;
    bool done = false;
    if (!NextHiveSequence(state_.highestSequence, sequence_, &sequence)) {
        *error = path_ + ": no sequence number is left above those of its logs";
    } else if (hivex_commit(handle_, MemoryFilePath(memoryFile_).c_str(), 0) != 0 ||
               ReadDescriptor(memoryFile_, &written) != nullptr) {
        *error = Failure("write the new hive of", path_);
    } else if (!FinishWrittenHive(image_, edits, sequence, FiletimeNow(), &written, &problem)) {
        *error = path_ + ": " + problem + "; it was not put in place";
    } else {
        done = WriteInPlace(written, error);
    }
    if (done) {
        image_.swap(written);
        sequence_ = sequence;
    }
    Load();  // hivex goes on from what the hive file holds
    return done;
}
