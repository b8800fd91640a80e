// The descriptor calls of NtfsDrives, and its whole-file calls for a folder
// of registry hives.
#include <cerrno>
#include <climits>

#include "platform/host/Win32Answers.h"
#include "platform/ntfs/NtfsDriveState.h"
#include "platform/ntfs/NtfsDrives.h"
#include "platform/ntfs/NtfsVolume.h"

namespace {

int Fail(int error) {
    errno = error;
    return -1;
}

bool FailWith(int error) {
    errno = error;
    return false;
}

bool Writes(int flags) {
    return (flags & 3) != kOpenReadOnly || (flags & (kOpenCreate | kOpenTruncate | kOpenAppend)) != 0;
}

// A descriptor's file record and data stream are open for one call only:
// the library keeps a closed record in its cache, and two open copies of
// one record would not agree. Closing writes the record back, and the
// sizes into its folder's index.
bool OpenData(const NtfsDrives::Descriptor& descriptor, Inode* inode, DataStream* data) {
    *inode = OpenInode(descriptor.volume->Handle(), descriptor.reference);
    if (*inode) data->reset(ntfs_attr_open(inode->get(), AT_DATA, AT_UNNAMED, 0));
    if (*data) return true;
    errno = EIO;
    return false;
}

std::string FolderOf(const std::string& path) {
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(0, cut);
}

}  // namespace

NtfsDrives::Descriptor* NtfsDrives::DescriptorOf(int fd) {
    auto found = descriptors_.find(fd);
    return found == descriptors_.end() ? nullptr : found->second.get();
}

bool NtfsDrives::CreateFile(Place* place, uint32_t securityId) {
    ntfs_volume* volume = place->volume->Handle();
    Inode directory = OpenInode(volume, place->folder);
    NtfsName name;
    // Only names Windows itself could have made.
    if (!directory || !ToNtfsName(place->name, &name) ||
        ntfs_forbidden_chars(name.data(), static_cast<int>(name.size()), TRUE))
        return false;
    Changed();
    Inode file(
        ntfs_create(directory.get(), cpu_to_le32(securityId), name.data(), static_cast<u8>(name.size()), S_IFREG));
    if (!file) return false;
    place->reference = ReferenceOf(file.get());
    place->attributes = AttributesOf(file.get());
    place->size = 0;
    return true;
}

int NtfsDrives::OpenDescriptor(const Place& place, int flags, bool created) {
    bool writes = Writes(flags);
    if (place.IsFolder() || place.IsLink() || (writes && !created && (place.attributes & kAttrReadOnly)))
        return Fail(EACCES);
    std::unique_ptr<Descriptor> descriptor(new Descriptor);
    descriptor->volume = place.volume;
    descriptor->reference = place.reference;
    descriptor->reads = (flags & 3) != kOpenWriteOnly;
    descriptor->writes = (flags & 3) != kOpenReadOnly;
    descriptor->appends = (flags & kOpenAppend) != 0;
    Inode inode;
    DataStream data;
    // An encrypted file's key is not on this system; Windows would refuse it too.
    if (!OpenData(*descriptor, &inode, &data) || (data->data_flags & ATTR_IS_ENCRYPTED)) return Fail(EACCES);
    if (writes && (flags & kOpenTruncate) && ntfs_attr_truncate(data.get(), 0) != 0) return Fail(EACCES);
    if (writes) Changed();
    int fd = static_cast<int>(nextHandle_++);
    descriptors_[fd] = std::move(descriptor);
    return fd;
}

int NtfsDrives::FileOpen(const char* path, int flags, int permission) {
    Place place;
    if (!(flags & kOpenBinary)) return Fail(EINVAL);
    if (!Resolve(path ? path : "", &place)) return Fail(ENOENT);
    if (Writes(flags) && (dryRun_ || !place.volume->Writable())) return Fail(EACCES);
    if (place.Exists()) {
        if ((flags & kOpenCreate) && (flags & kOpenExclusive)) return Fail(EEXIST);
        return OpenDescriptor(place, flags, false);
    }
    if (!(flags & kOpenCreate) || !place.folderExists) return Fail(ENOENT);
    if (!CreateFile(&place, 0)) return Fail(EACCES);
    // The runtime makes a new file read-only when write permission is not
    // asked for; its first descriptor still writes.
    if (!(permission & kPermWrite)) {
        Inode inode = OpenInode(place.volume->Handle(), place.reference);
        if (inode) SetAttributesOf(inode.get(), AttributesOf(inode.get()) | kAttrReadOnly);
    }
    return OpenDescriptor(place, flags, true);
}

int32_t NtfsDrives::FileLength(int fd) {
    Descriptor* descriptor = DescriptorOf(fd);
    Inode inode;
    DataStream data;
    if (descriptor == nullptr || !OpenData(*descriptor, &inode, &data) || data->data_size > 0x7FFFFFFF)
        return Fail(EBADF);
    return static_cast<int32_t>(data->data_size);
}

int32_t NtfsDrives::FileSeek(int fd, int32_t offset, int origin) {
    Descriptor* descriptor = DescriptorOf(fd);
    if (descriptor == nullptr) return Fail(EBADF);
    int64_t base = origin == kSeekSet ? 0 : descriptor->position;
    if (origin == kSeekEnd) {
        Inode inode;
        DataStream data;
        if (!OpenData(*descriptor, &inode, &data)) return -1;
        base = data->data_size;
    }
    int64_t target = SeekTarget(origin, base, offset);
    if (target < 0) return Fail(EINVAL);
    descriptor->position = target;
    return static_cast<int32_t>(target);
}

int NtfsDrives::FileRead(int fd, void* buffer, uint32_t count) {
    Descriptor* descriptor = DescriptorOf(fd);
    Inode inode;
    DataStream data;
    if (descriptor == nullptr || !descriptor->reads) return Fail(EBADF);
    if (!OpenData(*descriptor, &inode, &data)) return -1;
    s64 got = ntfs_attr_pread(data.get(), descriptor->position, count > INT_MAX ? INT_MAX : count, buffer);
    if (got < 0) return -1;
    descriptor->position += got;
    return static_cast<int>(got);
}

int NtfsDrives::FileWrite(int fd, const void* buffer, uint32_t count) {
    Descriptor* descriptor = DescriptorOf(fd);
    Inode inode;
    DataStream data;
    if (descriptor == nullptr || !descriptor->writes) return Fail(EBADF);
    if (!OpenData(*descriptor, &inode, &data)) return -1;
    if (descriptor->appends) descriptor->position = data->data_size;
    Changed();
    s64 put = ntfs_attr_pwrite(data.get(), descriptor->position, count > INT_MAX ? INT_MAX : count, buffer);
    data.reset();
    if (ntfs_inode_close(inode.release()) != 0 || put < 0) return -1;
    descriptor->position += put;
    return static_cast<int>(put);
}

int NtfsDrives::FileClose(int fd) { return descriptors_.erase(fd) == 1 ? 0 : Fail(EBADF); }

int NtfsDrives::FileAccess(const char* path, int mode) {
    Place place;
    if (!Resolve(path ? path : "", &place) || !place.Exists() || place.IsLink()) return Fail(ENOENT);
    bool readOnly = !place.IsFolder() && (place.attributes & kAttrReadOnly);
    if ((mode & 2) && (dryRun_ || !place.volume->Writable() || readOnly)) return Fail(EACCES);
    return 0;
}

// --- whole files ------------------------------------------------------------------------

bool NtfsDrives::ReadWhole(const std::string& path, uint64_t limit, std::vector<uint8_t>* bytes) {
    Place place;
    if (!Resolve(path, &place) || !place.Exists()) return FailWith(ENOENT);
    if (place.size > limit) return FailWith(EFBIG);
    int fd = OpenDescriptor(place, kOpenReadOnly | kOpenBinary, false);
    if (fd < 0) return false;
    bytes->resize(place.size);
    size_t done = 0;
    for (int got = 1; got > 0 && done < bytes->size(); done += static_cast<size_t>(got))
        if ((got = FileRead(fd, bytes->data() + done, static_cast<uint32_t>(bytes->size() - done))) < 0) got = 0;
    FileClose(fd);
    return done == bytes->size() || FailWith(EIO);
}

bool NtfsDrives::ListNames(const std::string& folder, std::vector<std::string>* names) {
    Place place;
    if (!Resolve(folder, &place) || !place.Exists() || !place.IsFolder() || place.IsLink()) return FailWith(ENOENT);
    std::shared_ptr<const Listing> listing = ListFolder(place.volume, place.reference, place.isRoot, folder + "\\");
    if (!listing) return FailWith(EIO);
    names->clear();
    for (const Item& item : listing->items)
        if (item.name != "." && item.name != "..") names->push_back(item.name);
    return true;
}

bool NtfsDrives::WriteNew(const std::string& folder, const std::string& name, const std::vector<uint8_t>& bytes,
                          const std::string& likeFile) {
    Place place, like;
    if (!Resolve(folder + "\\" + name, &place) || !place.folderExists) return FailWith(ENOENT);
    if (place.Exists()) return FailWith(EEXIST);
    if (dryRun_ || !place.volume->Writable()) return FailWith(EROFS);
    uint32_t securityId = 0;
    if (!likeFile.empty() && Resolve(likeFile, &like) && like.Exists()) {
        Inode model = OpenInode(like.volume->Handle(), like.reference);
        if (model) securityId = le32_to_cpu(model->security_id);
    }
    if (!CreateFile(&place, securityId)) return FailWith(EACCES);
    int fd = OpenDescriptor(place, kOpenWriteOnly | kOpenBinary, true);
    size_t done = 0;
    for (int put = 1; fd >= 0 && put > 0 && done < bytes.size(); done += static_cast<size_t>(put))
        if ((put = FileWrite(fd, bytes.data() + done, static_cast<uint32_t>(bytes.size() - done))) < 0) put = 0;
    bool written = fd >= 0 && FileClose(fd) == 0 && done == bytes.size() && place.volume->Sync();
    if (!written) RemoveName(place);
    return written || FailWith(EIO);
}

bool NtfsDrives::LinkAs(const std::string& path, const std::string& newName) {
    Place file, target;
    if (!Resolve(path, &file) || !file.Exists() || file.IsFolder() || file.IsLink()) return FailWith(ENOENT);
    if (!Resolve(FolderOf(path) + "\\" + newName, &target) || target.Exists()) return FailWith(EEXIST);
    if (dryRun_ || !file.volume->Writable()) return FailWith(EROFS);
    return AddName(file, target) || FailWith(EIO);
}
