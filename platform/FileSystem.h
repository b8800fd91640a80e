// Drives, folders and files: the Win32 file calls and the C runtime's
// descriptor calls the cleaner makes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Errors.h"

// MAX_PATH: every path buffer of the program holds this many bytes, the zero
// included, and so do the one-line texts shown beside paths.
const size_t kPathSize = 260;

const uint32_t kDriveUnknown = 0;
const uint32_t kDriveNoRootDir = 1;
const uint32_t kDriveRemovable = 2;
const uint32_t kDriveFixed = 3;
const uint32_t kDriveRemote = 4;
const uint32_t kDriveCdRom = 5;
const uint32_t kDriveRamDisk = 6;

const uint32_t kAttrReadOnly = 0x01;
const uint32_t kAttrHidden = 0x02;
const uint32_t kAttrSystem = 0x04;
const uint32_t kAttrDirectory = 0x10;
const uint32_t kAttrArchive = 0x20;
const uint32_t kAttrNormal = 0x80;
// A junction, symbolic link or mount point: where it leads is not part of
// the folder that lists it. The 9x family and NT 4 never report it.
const uint32_t kAttrReparsePoint = 0x400;
const uint32_t kInvalidAttributes = 0xFFFFFFFFu;

const uint32_t kMoveReplaceExisting = 0x1;
const uint32_t kMoveDelayUntilReboot = 0x4;

// Descriptor open flags, as the C runtime of the target defines them.
const int kOpenReadOnly = 0x0000;
const int kOpenWriteOnly = 0x0001;
const int kOpenReadWrite = 0x0002;
const int kOpenAppend = 0x0008;
const int kOpenCreate = 0x0100;
const int kOpenTruncate = 0x0200;
const int kOpenExclusive = 0x0400;
const int kOpenBinary = 0x8000;
const int kPermRead = 0x0100;   // _S_IREAD
const int kPermWrite = 0x0080;  // _S_IWRITE

const int kSeekSet = 0;
const int kSeekCur = 1;
const int kSeekEnd = 2;

struct FindEntry {
    char name[kPathSize];
    // The 8.3 name the file system keeps beside a long name (cAlternateFileName);
    // empty when the long name is itself a legal 8.3 name.
    char shortName[14];
    uint32_t attributes;
    uint32_t sizeHigh;
    uint32_t sizeLow;
};

typedef intptr_t SearchHandle;
const SearchHandle kNoSearch = -1;

class FileSystem {
public:
    virtual ~FileSystem() {}

    virtual uint32_t DriveType(const char* root) = 0;
    virtual SearchHandle FindFirst(const char* pattern, FindEntry* entry) = 0;
    virtual bool FindNext(SearchHandle search, FindEntry* entry) = 0;
    virtual void FindEnd(SearchHandle search) = 0;
    virtual uint32_t GetAttributes(const char* path) = 0;
    virtual bool SetAttributes(const char* path, uint32_t attributes) = 0;
    virtual bool DeletePath(const char* path) = 0;
    virtual bool MovePath(const char* from, const char* to) = 0;
    virtual bool MovePathEx(const char* from, const char* to, uint32_t flags) = 0;
    virtual bool CopyPath(const char* from, const char* to, bool failIfExists) = 0;
    // These follow their Win32 namesakes: the result is the length written,
    // or the size needed when the buffer is too small, 0 on failure.
    virtual uint32_t ShortPath(const char* longPath, char* buffer, uint32_t size) = 0;
    virtual uint32_t TempPath(char* buffer, uint32_t size) = 0;
    virtual uint32_t SystemDirectory(char* buffer, uint32_t size) = 0;
    virtual uint32_t WindowsDirectory(char* buffer, uint32_t size) = 0;
    virtual uint32_t ExpandEnvironment(const char* source, char* buffer, uint32_t size) = 0;

    // Descriptor-based file calls of the C runtime (_open, _filelength, ...).
    // Results as there: -1 on failure.
    virtual int FileOpen(const char* path, int flags, int permission) = 0;
    virtual int32_t FileLength(int fd) = 0;
    virtual int32_t FileSeek(int fd, int32_t offset, int origin) = 0;
    virtual int FileRead(int fd, void* buffer, uint32_t count) = 0;
    virtual int FileWrite(int fd, const void* buffer, uint32_t count) = 0;
    virtual int FileClose(int fd) = 0;
    virtual int FileAccess(const char* path, int mode) = 0;
};
