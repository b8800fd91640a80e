// An NTFS file system opened in this process through libntfs-3g, on a block
// device or an image file (see VolumeSource), without a mount.
//
// Whatever the library changed is written back when the volume is closed:
// by Close, by the destructor, and, should the program end through exit()
// instead, by a handler that closes every volume still open. So the file
// system is left consistent on every path but a kill that cannot be caught.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ntfs/VolumeSource.h"

typedef struct _ntfs_volume ntfs_volume;
typedef struct _ntfs_attr ntfs_attr;

class NtfsVolume {
public:
    NtfsVolume();
    ~NtfsVolume();
    NtfsVolume(const NtfsVolume&) = delete;
    NtfsVolume& operator=(const NtfsVolume&) = delete;

    // Opens the file system on path (partition 0: the path holds it itself).
    // Writable: refused, with a message that says why and what to do, when
    // Windows is hibernated on it or left it with metadata cached (Fast
    // Startup), as the library refuses such volumes for writing.
    bool Open(const std::string& path, int partition, bool writable, std::string* error);
    // Writes back what the library holds and closes the source; false with a
    // message when something could not be written.
    bool Close(std::string* error);

    // Everything written so far is on the disk when this returns true.
    bool Sync();
    // Has the clusters of an attribute read ahead: a listing's scattered
    // small reads are several times slower on a cold cache otherwise.
    void Prefetch(ntfs_attr* attribute);

    bool IsOpen() const { return volume_ != nullptr; }
    bool Writable() const { return source_.Writable(); }
    // Windows is hibernated on it (then it is never open for writing).
    bool Hibernated() const { return hibernated_; }
    const std::string& Name() const { return source_.Name(); }
    ntfs_volume* Handle() const { return volume_; }

    // Whether any volume is open for writing now (the signal handlers ask).
    static bool AnyOpenForWriting();

private:
    friend struct NtfsDeviceAccess;
    bool Mount(bool writable, std::string* error);
    void Unmount();
    bool HoldsHibernation();
    std::string Refusal(const char* why) const;

    VolumeSource source_;
    int64_t devicePosition_ = 0;  // for the library's seek-and-read calls
    ntfs_volume* volume_ = nullptr;
    bool hibernated_ = false;
    NtfsVolume* nextOpen_ = nullptr;  // in the list of open volumes
};

// The library's last complaint ("Windows is hibernated..."), for messages.
std::string LastNtfsLibraryMessage();
