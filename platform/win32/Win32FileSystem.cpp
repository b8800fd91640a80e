// Drives, folders and files on the real system: each call is its Win32 or C
// runtime namesake with the arguments passed through unchanged.
#include <fcntl.h>
#include <io.h>
#include <string.h>
#include <sys/stat.h>
#include <windows.h>

#include "platform/win32/Handles.h"
#include "platform/win32/Win32Parts.h"

namespace {

void FillEntry(const WIN32_FIND_DATAA& data, FindEntry* entry) {
    memset(entry, 0, sizeof *entry);
    lstrcpynA(entry->name, data.cFileName, sizeof entry->name);
    lstrcpynA(entry->shortName, data.cAlternateFileName, sizeof entry->shortName);
    entry->attributes = data.dwFileAttributes;
    entry->sizeHigh = data.nFileSizeHigh;
    entry->sizeLow = data.nFileSizeLow;
}

// The seam's flag values are the target runtime's own; spelled out so a
// different runtime header cannot shift them silently.
int RuntimeOpenFlags(int flags) {
    int result = 0;
    int access = flags & 3;
    result |= access == kOpenWriteOnly ? _O_WRONLY : access == kOpenReadWrite ? _O_RDWR : _O_RDONLY;
    if (flags & kOpenAppend) result |= _O_APPEND;
    if (flags & kOpenCreate) result |= _O_CREAT;
    if (flags & kOpenTruncate) result |= _O_TRUNC;
    if (flags & kOpenExclusive) result |= _O_EXCL;
    if (flags & kOpenBinary) result |= _O_BINARY;
    return result;
}

int RuntimePermission(int permission) {
    int result = 0;
    if (permission & kPermRead) result |= _S_IREAD;
    if (permission & kPermWrite) result |= _S_IWRITE;
    return result;
}

class Win32FileSystem : public FileSystem {
public:
    uint32_t DriveType(const char* root) override { return GetDriveTypeA(root); }

    SearchHandle FindFirst(const char* pattern, FindEntry* entry) override {
        WIN32_FIND_DATAA data;
        FindHandle search(FindFirstFileA(pattern, &data));
        if (!search.IsValid()) return kNoSearch;
        FillEntry(data, entry);
        return reinterpret_cast<SearchHandle>(search.Release());
    }

    bool FindNext(SearchHandle search, FindEntry* entry) override {
        WIN32_FIND_DATAA data;
        if (!FindNextFileA(reinterpret_cast<HANDLE>(search), &data)) return false;
        FillEntry(data, entry);
        return true;
    }

    void FindEnd(SearchHandle search) override {
        if (search != kNoSearch) FindClose(reinterpret_cast<HANDLE>(search));
    }

    uint32_t GetAttributes(const char* path) override { return GetFileAttributesA(path); }
    bool SetAttributes(const char* path, uint32_t attributes) override {
        return SetFileAttributesA(path, attributes) != FALSE;
    }
    bool DeletePath(const char* path) override { return DeleteFileA(path) != FALSE; }
    bool MovePath(const char* from, const char* to) override { return MoveFileA(from, to) != FALSE; }
    bool MovePathEx(const char* from, const char* to, uint32_t flags) override {
        return MoveFileExA(from, to, flags) != FALSE;
    }
    bool CopyPath(const char* from, const char* to, bool failIfExists) override {
        return CopyFileA(from, to, failIfExists ? TRUE : FALSE) != FALSE;
    }
    uint32_t ShortPath(const char* longPath, char* buffer, uint32_t size) override {
        return GetShortPathNameA(longPath, buffer, size);
    }
    uint32_t TempPath(char* buffer, uint32_t size) override { return GetTempPathA(size, buffer); }
    uint32_t SystemDirectory(char* buffer, uint32_t size) override {
        return GetSystemDirectoryA(buffer, size);
    }
    uint32_t WindowsDirectory(char* buffer, uint32_t size) override {
        return GetWindowsDirectoryA(buffer, size);
    }
    uint32_t ExpandEnvironment(const char* source, char* buffer, uint32_t size) override {
        return ExpandEnvironmentStringsA(source, buffer, size);
    }

    int FileOpen(const char* path, int flags, int permission) override {
        return _open(path, RuntimeOpenFlags(flags), RuntimePermission(permission));
    }
    int32_t FileLength(int fd) override { return _filelength(fd); }
    int32_t FileSeek(int fd, int32_t offset, int origin) override { return _lseek(fd, offset, origin); }
    int FileRead(int fd, void* buffer, uint32_t count) override { return _read(fd, buffer, count); }
    int FileWrite(int fd, const void* buffer, uint32_t count) override { return _write(fd, buffer, count); }
    int FileClose(int fd) override { return _close(fd); }
    int FileAccess(const char* path, int mode) override { return _access(path, mode); }
};

}  // namespace

FileSystem& Win32FileSystemPart() {
    static Win32FileSystem part;
    return part;
}
