#include "platform/ntfs/VolumeSource.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <mntent.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/ntfs/PartitionTable.h"

namespace {

enum class MountState { kNotMounted, kReadOnly, kReadWrite };

MountState Stronger(MountState a, MountState b) { return a > b ? a : b; }

bool SameFile(const struct stat& a, const struct stat& b) {
    if (S_ISBLK(a.st_mode) || S_ISBLK(b.st_mode))
        return S_ISBLK(a.st_mode) && S_ISBLK(b.st_mode) && a.st_rdev == b.st_rdev;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// How the system's mount table has a file (a device or an image) mounted;
// without a file, the mounts of the device named sourcePrefix and of its
// partitions.
MountState MountStateOf(const struct stat* file, const std::string& sourcePrefix) {
    MountState state = MountState::kNotMounted;
    FILE* table = setmntent("/proc/self/mounts", "r");
    if (table == nullptr) return state;
    while (struct mntent* mount = getmntent(table)) {
        bool matches;
        if (file != nullptr) {
            struct stat source;
            matches = stat(mount->mnt_fsname, &source) == 0 && SameFile(source, *file);
        } else {
            std::string name = mount->mnt_fsname;
            matches = name.compare(0, sourcePrefix.size(), sourcePrefix) == 0 &&
                      (name.size() == sourcePrefix.size() || name[sourcePrefix.size()] == 'p');
        }
        if (matches)
            state = Stronger(state, hasmntopt(mount, "ro") ? MountState::kReadOnly : MountState::kReadWrite);
    }
    endmntent(table);
    return state;
}

// How an image attached to a loop device is mounted through it.
MountState LoopMountState(const struct stat& image) {
    MountState state = MountState::kNotMounted;
    DIR* devices = opendir("/sys/block");
    if (devices == nullptr) return state;
    while (dirent* device = readdir(devices)) {
        if (strncmp(device->d_name, "loop", 4) != 0) continue;
        char backing[4096] = {};
        std::string file = std::string("/sys/block/") + device->d_name + "/loop/backing_file";
        FILE* in = fopen(file.c_str(), "re");
        if (in == nullptr) continue;
        bool read = fgets(backing, sizeof backing, in) != nullptr;
        fclose(in);
        backing[strcspn(backing, "\n")] = '\0';
        struct stat attached;
        if (read && stat(backing, &attached) == 0 && SameFile(attached, image))
            state = Stronger(state, MountStateOf(nullptr, std::string("/dev/") + device->d_name));
    }
    closedir(devices);
    return state;
}

std::string Because(const std::string& path, const char* why) { return path + ": " + why; }

// The lock ntfs-3g takes on an image. An ntfs-3g just unmounted may take a
// moment to end and let go of it: a few seconds are waited for that.
bool LockWhole(int fd, bool writable) {
    struct flock lock = {};
    lock.l_type = writable ? F_WRLCK : F_RDLCK;
    lock.l_whence = SEEK_SET;
    for (int attempt = 0; attempt < 30; ++attempt) {
        if (fcntl(fd, F_SETLK, &lock) == 0) return true;
        if (errno != EAGAIN && errno != EACCES) return false;
        usleep(100000);
    }
    return false;
}

// This process's own locks do not keep it from opening a source twice.
VolumeSource* openSources = nullptr;

}  // namespace

VolumeSource::~VolumeSource() { Close(); }

void VolumeSource::Close() {
    for (VolumeSource** link = &openSources; *link != nullptr; link = &(*link)->nextOpen_) {
        if (*link == this) {
            *link = nextOpen_;
            break;
        }
    }
    if (fd_ >= 0) close(fd_);  // also releases the lock
    fd_ = -1;
}

bool VolumeSource::OpenAlready() const {
    for (const VolumeSource* other = openSources; other != nullptr; other = other->nextOpen_)
        if (other->device_ == device_ && other->inode_ == inode_ && offset_ < other->offset_ + other->length_ &&
            other->offset_ < offset_ + length_)
            return true;
    return false;
}

bool VolumeSource::Open(const std::string& path, int partition, bool writable, std::string* error) {
    Close();
    writable_ = writable;
    offset_ = 0;
    if (!OpenExclusively(path, error) || !FindFileSystem(path, partition, error)) {
        Close();
        return false;
    }
    if (OpenAlready()) {
        *error = Because(path, "the same file system as another drive of this scan");
        Close();
        return false;
    }
    nextOpen_ = openSources;
    openSources = this;
    return true;
}

bool VolumeSource::OpenExclusively(const std::string& path, std::string* error) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        *error = Because(path, strerror(errno));
        return false;
    }
    if (!S_ISBLK(info.st_mode) && !S_ISREG(info.st_mode)) {
        *error = Because(path, "neither a folder, a block device nor an image file");
        return false;
    }
    blockDevice_ = S_ISBLK(info.st_mode);
    device_ = blockDevice_ ? info.st_rdev : info.st_dev;
    inode_ = blockDevice_ ? 0 : info.st_ino;
    int flags = (writable_ ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOCTTY;
    MountState mounted = MountStateOf(&info, "");
    if (!blockDevice_) mounted = Stronger(mounted, LoopMountState(info));
    if (mounted == MountState::kReadWrite || (writable_ && mounted == MountState::kReadOnly)) {
        *error = Because(path, mounted == MountState::kReadWrite
                                   ? "mounted read-write on this system: unmount it first"
                                   : "mounted read-only on this system: unmount it first (or scan with --dry-run)");
        return false;
    }
    if (blockDevice_) {
        // Exclusive: the kernel refuses while the device (or a partition of
        // it) is mounted or held. A read-only mount elsewhere may stay.
        fd_ = open(path.c_str(), flags | O_EXCL);
        if (fd_ < 0 && errno == EBUSY && mounted == MountState::kReadOnly) fd_ = open(path.c_str(), flags);
    } else {
        fd_ = open(path.c_str(), flags);
    }
    if (fd_ < 0) {
        *error = Because(path, errno == EBUSY ? "in use: mounted or held by another program" : strerror(errno));
        return false;
    }
    struct stat opened;
    if (fstat(fd_, &opened) != 0 || !SameFile(opened, info) || (opened.st_mode & S_IFMT) != (info.st_mode & S_IFMT)) {
        *error = Because(path, "changed while it was being opened");
        return false;
    }
    if (!blockDevice_ && !LockWhole(fd_, writable_)) {
        *error = Because(path, "in use by another program (mounted with ntfs-3g?)");
        return false;
    }
    return true;
}

bool VolumeSource::FindFileSystem(const std::string& path, int partition, std::string* error) {
    uint64_t size = 0;
    int logicalSector = 0;
    if (blockDevice_) {
        if (ioctl(fd_, BLKGETSIZE64, &size) != 0) size = 0;
        if (ioctl(fd_, BLKSSZGET, &logicalSector) != 0) logicalSector = 0;
        if (logicalSector > 0) sectorSize_ = static_cast<uint32_t>(logicalSector);
    } else {
        struct stat info;
        if (fstat(fd_, &info) == 0) size = static_cast<uint64_t>(info.st_size);
    }
    int fd = fd_;
    DiskReader read = [fd](uint64_t at, void* buffer, size_t count) {
        return pread(fd, buffer, count, static_cast<off_t>(at)) == static_cast<ssize_t>(count);
    };
    name_ = path;
    if (HoldsNtfs(read, 0)) {
        if (partition != 0) {
            *error = Because(path, "holds an NTFS file system itself, not a partition table: leave out --partition");
            return false;
        }
        length_ = size;
        return true;
    }
    std::vector<DiskPartition> partitions;
    if (!ReadPartitionTable(read, size, static_cast<uint32_t>(logicalSector), &partitions)) {
        *error = Because(path, "holds neither an NTFS file system nor a partition table");
        return false;
    }
    std::string ntfs = NtfsPartitionNumbers(partitions);
    std::string which = ntfs.empty() ? "none of its partitions holds NTFS" : "NTFS on partition " + ntfs;
    if (partition == 0) {
        *error = Because(path, ("a whole disk: choose the partition with --partition N (" + which + ")").c_str());
        return false;
    }
    for (const DiskPartition& found : partitions) {
        if (found.number != partition) continue;
        if (!found.holdsNtfs) {
            *error = Because(path, ("partition " + std::to_string(partition) + " holds no NTFS file system (" +
                                    which + ")").c_str());
            return false;
        }
        offset_ = found.offset;
        length_ = found.length;
        name_ = path + ", partition " + std::to_string(partition);
        return true;
    }
    *error = Because(path, ("no partition " + std::to_string(partition) + " (" + which + ")").c_str());
    return false;
}

int64_t VolumeSource::ReadAt(void* buffer, uint64_t count, uint64_t offset) const {
    if (offset >= length_) return 0;
    if (count > length_ - offset) count = length_ - offset;
    return pread(fd_, buffer, count, static_cast<off_t>(offset_ + offset));
}

int64_t VolumeSource::WriteAt(const void* buffer, uint64_t count, uint64_t offset) const {
    if (!writable_) {
        errno = EROFS;
        return -1;
    }
    // Never a byte past the file system's end: that is another partition.
    if (offset >= length_ || count > length_ - offset) {
        errno = ENOSPC;
        return -1;
    }
    return pwrite(fd_, buffer, count, static_cast<off_t>(offset_ + offset));
}

bool VolumeSource::Sync() const { return !writable_ || fsync(fd_) == 0; }

void VolumeSource::Prefetch(uint64_t offset, uint64_t count) const {
    if (offset >= length_) return;
    if (count > length_ - offset) count = length_ - offset;
    posix_fadvise(fd_, static_cast<off_t>(offset_ + offset), static_cast<off_t>(count), POSIX_FADV_WILLNEED);
}
