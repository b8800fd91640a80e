// The block device or image file that holds an NTFS file system, opened so
// that nothing else writes to it meanwhile: a block device exclusively (the
// kernel refuses while it is mounted or held), an image file under the same
// whole-file lock that ntfs-3g takes, so neither can mount it read-write
// while the other has it. A source mounted read-only elsewhere can still be
// read; one mounted read-write elsewhere is refused, as its disk state is
// not what that mount shows.
//
// The file system may fill the source or one partition of it (a whole-disk
// device or image): then its number is given, and the source is read and
// written only inside that partition.
#pragma once

#include <cstdint>
#include <string>

class VolumeSource {
public:
    VolumeSource() = default;
    ~VolumeSource();
    VolumeSource(const VolumeSource&) = delete;
    VolumeSource& operator=(const VolumeSource&) = delete;

    // partition: 0 when the source holds the file system itself. False with
    // a message for the user when it cannot be used.
    bool Open(const std::string& path, int partition, bool writable, std::string* error);
    void Close();

    // Reads or writes inside the file system's part of the source; the
    // result and errno as pread and pwrite give them.
    int64_t ReadAt(void* buffer, uint64_t count, uint64_t offset) const;
    int64_t WriteAt(const void* buffer, uint64_t count, uint64_t offset) const;
    bool Sync() const;
    // Asks the system to read these bytes ahead, as they will be wanted soon.
    void Prefetch(uint64_t offset, uint64_t count) const;

    bool IsOpen() const { return fd_ >= 0; }
    bool Writable() const { return writable_; }
    bool IsBlockDevice() const { return blockDevice_; }
    uint64_t Length() const { return length_; }
    uint32_t SectorSize() const { return sectorSize_; }
    // "disk.img" or "disk.img, partition 2": the file system as named for the user.
    const std::string& Name() const { return name_; }

private:
    bool OpenExclusively(const std::string& path, std::string* error);
    bool FindFileSystem(const std::string& path, int partition, std::string* error);
    bool OpenAlready() const;

    int fd_ = -1;
    uint64_t device_ = 0;  // the file's device and inode, or the block device's number
    uint64_t inode_ = 0;
    bool writable_ = false;
    bool blockDevice_ = false;
    uint64_t offset_ = 0;
    uint64_t length_ = 0;
    uint32_t sectorSize_ = 512;
    std::string name_;
    VolumeSource* nextOpen_ = nullptr;  // in the list of the process's open sources
};
