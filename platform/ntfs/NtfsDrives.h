// Drive letters served from NTFS volumes opened in this process through
// libntfs-3g (NtfsVolume), with the answers Windows gives for them:
//
// - names resolve without regard to case, short (8.3) names included; a
//   name Windows could not spell ("evil.exe.", one made on Linux) is found
//   as listed, as the folders of a mounted volume find it;
// - a folder lists as NTFS orders it (the volume's own upper-case table),
//   "." and ".." first except at a drive's root, each entry with the
//   attributes and the size of its file record (not the folder index's
//   copies, which Windows updates lazily), and the 8.3 name beside a long one;
// - a reparse point (junction, symbolic link, mount point) is listed with
//   its attribute, but a path never leads through one and one is never
//   opened or changed; the file system's own files ($MFT...) are out of reach;
// - a file's data is its unnamed stream, compressed and sparse files read
//   through the library; alternate data streams are not read at all;
// - a dry run changes nothing: what it deletes merely disappears from view.
//
// The calls take the FileSystem interface's arguments and give its results;
// OfflineDrives hands them the paths of these drives. Search handles and
// descriptors are numbered from kNtfsHandleBase, so they never meet those of
// the host's folders.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"

class NtfsVolume;
typedef struct _ntfs_inode ntfs_inode;
typedef struct _ntfs_attr ntfs_attr;

const intptr_t kNtfsHandleBase = 0x40000000;

class NtfsDrives {
public:
    explicit NtfsDrives(uint32_t* lastError);
    ~NtfsDrives();
    NtfsDrives(const NtfsDrives&) = delete;
    NtfsDrives& operator=(const NtfsDrives&) = delete;

    // Serves letter from volume (open; it outlives these drives, or Unmap
    // comes first).
    void MapDrive(char letter, NtfsVolume* volume);
    void UnmapAll();
    bool Serves(const char* path) const;
    static bool OwnsHandle(intptr_t handle) { return handle >= kNtfsHandleBase; }
    void SetDryRun(bool dryRun) { dryRun_ = dryRun; }
    // Called for each entry of a listed folder that no Windows path the
    // program can use names (a name of 260 bytes or more, or with a
    // backslash, and no 8.3 name to reach it by).
    std::function<void(const std::string& windowsFolder, const char* name)> onUnlistedEntry;
    // The Win32 error of the last call that failed.
    uint32_t LastError() const { return *lastError_; }
    // The volumes were changed through the library by someone else: no
    // listing kept from before holds.
    void Forget() { Changed(); }

    uint32_t DriveType(const char* root);
    SearchHandle FindFirst(const char* pattern, FindEntry* entry);
    bool FindNext(SearchHandle search, FindEntry* entry);
    void FindEnd(SearchHandle search);
    uint32_t GetAttributes(const char* path);
    bool SetAttributes(const char* path, uint32_t attributes);
    bool DeletePath(const char* path);
    bool MovePathEx(const char* from, const char* to, uint32_t flags);
    bool CopyPath(const char* from, const char* to, bool failIfExists);
    uint32_t ShortPath(const char* longPath, char* buffer, uint32_t size);
    int FileOpen(const char* path, int flags, int permission);
    int32_t FileLength(int fd);
    int32_t FileSeek(int fd, int32_t offset, int origin);
    int FileRead(int fd, void* buffer, uint32_t count);
    int FileWrite(int fd, const void* buffer, uint32_t count);
    int FileClose(int fd);
    int FileAccess(const char* path, int mode);

    // Whole-file access for a folder of registry hives (names matched without
    // regard to case). ReadWhole: false with errno EFBIG past limit bytes.
    bool ReadWhole(const std::string& path, uint64_t limit, std::vector<uint8_t>* bytes);
    // The names in a folder, as stored (no "." or "..").
    bool ListNames(const std::string& folder, std::vector<std::string>* names);
    // A new file of that name in folder with these bytes, its security
    // descriptor that of likeFile (a path; empty: the library's default).
    bool WriteNew(const std::string& folder, const std::string& name, const std::vector<uint8_t>& bytes,
                  const std::string& likeFile);
    // A second name for a file, in the same folder.
    bool LinkAs(const std::string& path, const std::string& newName);

    // What these drives keep between calls (NtfsDriveState.h).
    struct Item;
    struct Listing;
    struct Search;
    struct Descriptor;
    struct Place;

private:

    NtfsVolume* VolumeOf(const std::string& path, std::vector<std::string>* components) const;
    bool Resolve(const std::string& path, Place* place);
    bool Lookup(NtfsVolume* volume, uint64_t folder, const std::string& name, uint64_t* found);
    bool Reachable(NtfsVolume* volume, uint64_t reference, bool* isFolder);
    std::shared_ptr<const Listing> ListFolder(NtfsVolume* volume, uint64_t folder, bool driveRoot,
                                              const std::string& windowsFolder);
    bool NextMatch(Search* search, FindEntry* entry);
    bool Gone(uint64_t folder, uint64_t file) const;
    bool InUse(uint64_t file) const;
    bool MayChange(const Place& place);
    bool Refuse(int32_t error);
    uint32_t Missing(const Place& place);
    bool RemoveName(const Place& place);
    bool AddName(const Place& file, const Place& target);
    int OpenDescriptor(const Place& place, int flags, bool created);
    bool CreateFile(Place* place, uint32_t securityId);
    Descriptor* DescriptorOf(int fd);
    void Changed() { ++generation_; }

    uint32_t* lastError_;
    NtfsVolume* drives_[26] = {};
    bool dryRun_ = false;
    uint64_t generation_ = 0;  // counts changes: a kept listing is good while it stays
    std::set<std::pair<uint64_t, uint64_t>> gone_;  // (folder, file) deleted in a dry run
    std::shared_ptr<const Listing> lastListing_;
    std::map<SearchHandle, std::unique_ptr<Search>> searches_;
    std::map<int, std::unique_ptr<Descriptor>> descriptors_;
    intptr_t nextHandle_ = kNtfsHandleBase;
};
