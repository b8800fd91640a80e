#include "platform/ntfs/NtfsVolume.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <strings.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstring>

#include "platform/ntfs/NtfsHandles.h"

namespace {

char lastLibraryMessage[512];
NtfsVolume* openVolumes = nullptr;
volatile sig_atomic_t openForWriting = 0;

// The library reports through this instead of printing: its complaints end
// up in the program's own messages.
int KeepLibraryMessage(const char*, const char*, int, u32 level, void*, const char* format, va_list arguments) {
    int cause = errno;
    vsnprintf(lastLibraryMessage, sizeof lastLibraryMessage, format, arguments);
    size_t length = strlen(lastLibraryMessage);
    while (length > 0 && (lastLibraryMessage[length - 1] == '\n' || lastLibraryMessage[length - 1] == '.'))
        lastLibraryMessage[--length] = '\0';
    if (level & NTFS_LOG_LEVEL_PERROR)
        snprintf(lastLibraryMessage + length, sizeof lastLibraryMessage - length, ": %s", strerror(cause));
    errno = cause;
    return 0;
}

void CloseEveryOpenVolume() {
    while (openVolumes != nullptr) openVolumes->Close(nullptr);
}

void PrepareLibrary() {
    static bool prepared = false;
    if (prepared) return;
    prepared = true;
    ntfs_log_set_handler(KeepLibraryMessage);
    ntfs_log_clear_levels(~0u);
    ntfs_log_set_levels(NTFS_LOG_LEVEL_WARNING | NTFS_LOG_LEVEL_ERROR | NTFS_LOG_LEVEL_PERROR |
                        NTFS_LOG_LEVEL_CRITICAL);
    atexit(CloseEveryOpenVolume);
}

std::string Reason(int cause) { return lastLibraryMessage[0] != '\0' ? lastLibraryMessage : strerror(cause); }

}  // namespace

// The library reads and writes the source through these: only inside the
// file system's part of it, and never when it was opened for reading.
struct NtfsDeviceAccess {
    static NtfsVolume& Of(struct ntfs_device* device) { return *static_cast<NtfsVolume*>(device->d_private); }
    static const VolumeSource& Source(struct ntfs_device* device) { return Of(device).source_; }

    static int Open(struct ntfs_device* device, int flags) {
        if (!Source(device).IsOpen() || ((flags & O_ACCMODE) != O_RDONLY && !Source(device).Writable())) {
            errno = Source(device).IsOpen() ? EROFS : EBADF;
            return -1;
        }
        if ((flags & O_ACCMODE) == O_RDONLY) NDevSetReadOnly(device);
        if (Source(device).IsBlockDevice()) NDevSetBlock(device);
        Of(device).devicePosition_ = 0;
        NDevSetOpen(device);
        return 0;
    }
    static int Close(struct ntfs_device* device) {
        if (NDevDirty(device) && !Source(device).Sync()) return -1;
        NDevClearOpen(device);
        return 0;
    }
    static s64 Seek(struct ntfs_device* device, s64 offset, int whence) {
        int64_t& position = Of(device).devicePosition_;
        int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? position
                                                : static_cast<int64_t>(Source(device).Length());
        if ((whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) || base + offset < 0) {
            errno = EINVAL;
            return -1;
        }
        return position = base + offset;
    }
    static s64 PRead(struct ntfs_device* device, void* buffer, s64 count, s64 offset) {
        if (count < 0 || offset < 0) {
            errno = EINVAL;
            return -1;
        }
        return Source(device).ReadAt(buffer, static_cast<uint64_t>(count), static_cast<uint64_t>(offset));
    }
    static s64 PWrite(struct ntfs_device* device, const void* buffer, s64 count, s64 offset) {
        if (count < 0 || offset < 0 || NDevReadOnly(device)) {
            errno = NDevReadOnly(device) ? EROFS : EINVAL;
            return -1;
        }
        NDevSetDirty(device);
        return Source(device).WriteAt(buffer, static_cast<uint64_t>(count), static_cast<uint64_t>(offset));
    }
    static s64 Read(struct ntfs_device* device, void* buffer, s64 count) {
        s64 got = PRead(device, buffer, count, Of(device).devicePosition_);
        if (got > 0) Of(device).devicePosition_ += got;
        return got;
    }
    static s64 Write(struct ntfs_device* device, const void* buffer, s64 count) {
        s64 put = PWrite(device, buffer, count, Of(device).devicePosition_);
        if (put > 0) Of(device).devicePosition_ += put;
        return put;
    }
    static int Sync(struct ntfs_device* device) {
        if (NDevReadOnly(device)) return 0;
        if (!Source(device).Sync()) return -1;
        NDevClearDirty(device);
        return 0;
    }
    static int Stat(struct ntfs_device* device, struct stat* info) {
        memset(info, 0, sizeof *info);
        info->st_mode = Source(device).IsBlockDevice() ? S_IFBLK : S_IFREG;
        info->st_size = static_cast<off_t>(Source(device).Length());
        return 0;
    }
    // Only the two questions about size; nothing reaches the real device.
    static int Ioctl(struct ntfs_device* device, unsigned long request, void* argument) {
        if (request == BLKGETSIZE64) {
            *static_cast<uint64_t*>(argument) = Source(device).Length();
            return 0;
        }
        if (request == BLKSSZGET) {
            *static_cast<int*>(argument) = static_cast<int>(Source(device).SectorSize());
            return 0;
        }
        errno = ENOTTY;
        return -1;
    }
};

namespace {

struct ntfs_device_operations deviceOperations = {
    NtfsDeviceAccess::Open,  NtfsDeviceAccess::Close,  NtfsDeviceAccess::Seek,
    NtfsDeviceAccess::Read,  NtfsDeviceAccess::Write,  NtfsDeviceAccess::PRead,
    NtfsDeviceAccess::PWrite, NtfsDeviceAccess::Sync,  NtfsDeviceAccess::Stat,
    NtfsDeviceAccess::Ioctl,
};

}  // namespace

std::string LastNtfsLibraryMessage() { return lastLibraryMessage; }

NtfsVolume::NtfsVolume() { PrepareLibrary(); }

NtfsVolume::~NtfsVolume() { Close(nullptr); }

bool NtfsVolume::AnyOpenForWriting() { return openForWriting != 0; }

bool NtfsVolume::Open(const std::string& path, int partition, bool writable, std::string* error) {
    Close(nullptr);
    if (!source_.Open(path, partition, writable, error)) return false;
    // Read first: whether Windows is hibernated on it decides whether it may be written.
    bool opened = Mount(false, error);
    hibernated_ = opened && HoldsHibernation();
    if (opened && writable) {
        Unmount();
        opened = !hibernated_ && Mount(true, error);
        if (hibernated_) *error = Refusal("Windows is hibernated on it (hibernation or Fast Startup)");
    }
    if (!opened) {
        Unmount();
        source_.Close();
        return false;
    }
    nextOpen_ = openVolumes;
    openVolumes = this;
    if (writable) ++openForWriting;
    return true;
}

bool NtfsVolume::Mount(bool writable, std::string* error) {
    lastLibraryMessage[0] = '\0';
    struct ntfs_device* device = ntfs_device_alloc(source_.Name().c_str(), 0, &deviceOperations, this);
    if (device == nullptr) {
        *error = Name() + ": " + strerror(errno);
        return false;
    }
    // As ntfs-3g mounts by default: a journal that Windows left unclean is
    // reset; metadata that Windows kept in memory refuses.
    volume_ = ntfs_device_mount(device, writable ? NTFS_MNT_RECOVER : NTFS_MNT_RDONLY);
    if (volume_ == nullptr) {
        int cause = errno;
        ntfs_device_free(device);
        *error = writable && cause == EPERM ? Refusal("Windows left some of its metadata in memory (Fast Startup)")
                                            : Name() + ": not a usable NTFS file system (" + Reason(cause) + ")";
        return false;
    }
    // Hidden files are files like any other; the file system's own ($MFT...) are not listed.
    ntfs_set_shown_files(volume_, FALSE, TRUE, FALSE);
    ntfs_create_lru_caches(volume_);
    Prefetch(volume_->mft_na);
    return true;
}

void NtfsVolume::Unmount() {
    if (volume_ != nullptr) ntfs_umount(volume_, FALSE);
    volume_ = nullptr;
}

// A saved session in hiberfil.sys: as the library judges it, or a header
// Windows writes for one ("hibr", "rstr", in either case).
bool NtfsVolume::HoldsHibernation() {
    if (ntfs_volume_check_hiberfile(volume_, 0) < 0 && errno == EPERM) return true;
    Inode root = OpenInode(volume_, FILE_root);
    NtfsName name;
    if (!root || !ToNtfsName("hiberfil.sys", &name)) return false;
    IgnoringCase anyCase(volume_);
    u64 reference = ntfs_inode_lookup_by_name(root.get(), name.data(), static_cast<int>(name.size()));
    Inode file = reference == static_cast<u64>(-1) ? Inode() : OpenInode(volume_, reference);
    DataStream data(file ? ntfs_attr_open(file.get(), AT_DATA, AT_UNNAMED, 0) : nullptr);
    char header[4];
    return data && ntfs_attr_pread(data.get(), 0, sizeof header, header) == sizeof header &&
           (strncasecmp(header, "hibr", 4) == 0 || strncasecmp(header, "rstr", 4) == 0);
}

std::string NtfsVolume::Refusal(const char* why) const {
    return Name() + ": " + why +
           ", so changes made now would be lost or would damage it when Windows resumes; nothing was changed. "
           "Start that Windows and leave it with Restart (which shuts it down fully), or turn Fast Startup off; "
           "--dry-run scans the volume without changing it";
}

void NtfsVolume::Prefetch(ntfs_attr* attribute) {
    if (attribute == nullptr || !NAttrNonResident(attribute) || ntfs_attr_map_whole_runlist(attribute) != 0) return;
    for (const runlist_element* run = attribute->rl; run != nullptr && run->length > 0; ++run)
        if (run->lcn >= 0)
            source_.Prefetch(static_cast<uint64_t>(run->lcn) << volume_->cluster_size_bits,
                             static_cast<uint64_t>(run->length) << volume_->cluster_size_bits);
}

bool NtfsVolume::Sync() { return volume_ != nullptr && ntfs_device_sync(volume_->dev) == 0 && source_.Sync(); }

bool NtfsVolume::Close(std::string* error) {
    if (volume_ == nullptr) {
        source_.Close();
        return true;
    }
    for (NtfsVolume** link = &openVolumes; *link != nullptr; link = &(*link)->nextOpen_) {
        if (*link == this) {
            *link = nextOpen_;
            break;
        }
    }
    if (source_.Writable()) --openForWriting;
    lastLibraryMessage[0] = '\0';
    bool closed = ntfs_umount(volume_, FALSE) == 0;
    int cause = errno;
    volume_ = nullptr;
    source_.Close();
    if (!closed && error != nullptr) *error = Name() + ": not closed cleanly (" + Reason(cause) + ")";
    return closed;
}
