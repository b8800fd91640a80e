// Every drive of an offline scan behind the one FileSystem the engine uses:
// drives mapped to folders of this system (OfflineFileSystem) and drives
// served from NTFS volumes through the library (NtfsDrives). Each call goes
// to the drive its path names; the system's folders and the environment are
// the folder side's, whatever the drives are.
#pragma once

#include <cstdint>

#include "platform/FileSystem.h"

class OfflineFileSystem;
class NtfsDrives;

class OfflineDrives : public FileSystem {
public:
    OfflineDrives(uint32_t* lastError, OfflineFileSystem* folders, NtfsDrives* volumes)
        : lastError_(lastError), folders_(folders), volumes_(volumes) {}

    uint32_t DriveType(const char* root) override;
    SearchHandle FindFirst(const char* pattern, FindEntry* entry) override;
    bool FindNext(SearchHandle search, FindEntry* entry) override;
    void FindEnd(SearchHandle search) override;
    uint32_t GetAttributes(const char* path) override;
    bool SetAttributes(const char* path, uint32_t attributes) override;
    bool DeletePath(const char* path) override;
    bool MovePath(const char* from, const char* to) override { return MovePathEx(from, to, 0); }
    bool MovePathEx(const char* from, const char* to, uint32_t flags) override;
    bool CopyPath(const char* from, const char* to, bool failIfExists) override;
    uint32_t ShortPath(const char* longPath, char* buffer, uint32_t size) override;
    uint32_t TempPath(char* buffer, uint32_t size) override;
    uint32_t SystemDirectory(char* buffer, uint32_t size) override;
    uint32_t WindowsDirectory(char* buffer, uint32_t size) override;
    uint32_t ExpandEnvironment(const char* source, char* buffer, uint32_t size) override;
    int FileOpen(const char* path, int flags, int permission) override;
    int32_t FileLength(int fd) override;
    int32_t FileSeek(int fd, int32_t offset, int origin) override;
    int FileRead(int fd, void* buffer, uint32_t count) override;
    int FileWrite(int fd, const void* buffer, uint32_t count) override;
    int FileClose(int fd) override;
    int FileAccess(const char* path, int mode) override;

private:
    bool OnVolume(const char* path) const;
    // Moves and copies stay on one kind of drive (a volume's file cannot
    // become a folder's in one step).
    bool SameKind(const char* from, const char* to) const { return OnVolume(from) == OnVolume(to); }

    uint32_t* lastError_;
    OfflineFileSystem* folders_;
    NtfsDrives* volumes_;
};
