// Simulated drives, folders and files: drive letters map to real host
// folders (each sim makes its own temporary folder); paths are resolved
// component by component without regard to letter case, as on Windows.
// A host symbolic link is listed as Windows lists a junction or symbolic
// link: a reparse point. Host names are UTF-8; a character of more than one
// byte is one outside the simulated ANSI code page (listed as "?").
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"

namespace simdetail {
struct SimState;
}

class SimFileSystem : public FileSystem {
public:
    explicit SimFileSystem(simdetail::SimState& state);
    ~SimFileSystem() override;
    SimFileSystem(const SimFileSystem&) = delete;
    SimFileSystem& operator=(const SimFileSystem&) = delete;

    // --- set-up and inspection used by the tests ------------------------------
    // A fresh host folder under the system's temporary folder, removed with the sim.
    const std::string& HostRoot() const { return hostRoot_; }
    // Maps a drive letter to a host folder (created when missing).
    void MapDrive(char letter, const std::string& hostFolder, uint32_t type = kDriveFixed);
    // Maps a drive letter to a new folder HostRoot()/drive_<letter> and returns it.
    std::string AddDrive(char letter, uint32_t type = kDriveFixed);
    // Host path of a Windows path ("D:\a\b.exe"); empty when no drive maps it.
    // Components that exist are matched without regard to case.
    std::string HostPath(const std::string& windowsPath) const;
    // Convenience: writes a file (creating folders) at a Windows path.
    bool WriteFile(const std::string& windowsPath, const std::string& bytes);
    bool WriteFile(const std::string& windowsPath, const std::vector<uint8_t>& bytes);
    bool MakeFolder(const std::string& windowsPath);
    bool Exists(const std::string& windowsPath) const;
    std::string ReadFile(const std::string& windowsPath) const;

    // A file "in use": deleting, moving or opening it for writing fails with
    // the sharing violation while it is locked. Unlock lifts that.
    void LockFile(const std::string& windowsPath);
    void UnlockFile(const std::string& windowsPath);
    // A path whose attributes cannot be set (SetAttributes fails with access denied).
    void DenyAttributes(const std::string& windowsPath);
    // Folders that cannot be listed (FindFirst fails with access denied).
    void DenyListing(const std::string& windowsPath);
    // Called once between FindFirst/FindNext returning an entry and the caller
    // using it, so a test can make files vanish mid-walk.
    std::function<void(const char* pattern, const FindEntry& entry)> onFindEntry;
    // Called with the path of every descriptor open asked for.
    std::function<void(const char* path)> onFileOpen;
    // Whether the file system keeps 8.3 names beside long ones (on by default;
    // NTFS can be told not to). Without them a long name has no short form.
    void GenerateShortNames(bool on);

    void SetWindowsDirectory(const std::string& path);
    void SetSystemDirectory(const std::string& path);
    void SetTempPath(const std::string& path);  // given with its trailing backslash
    void SetEnvironment(const std::string& name, const std::string& value);

    // Delayed deletions registered with MovePathEx(..., kMoveDelayUntilReboot).
    std::vector<std::string> pendingDeletes;
    // Delayed renames (MovePathEx with a new name and kMoveDelayUntilReboot): (from, to).
    std::vector<std::pair<std::string, std::string>> pendingRenames;
    bool refuseDelayedDelete = false;

    // Descriptors open right now (a test checks that none leaks).
    int OpenDescriptorCount() const;

    // --- FileSystem ---------------------------------------------------------
    uint32_t DriveType(const char* root) override;
    SearchHandle FindFirst(const char* pattern, FindEntry* entry) override;
    bool FindNext(SearchHandle search, FindEntry* entry) override;
    void FindEnd(SearchHandle search) override;
    uint32_t GetAttributes(const char* path) override;
    bool SetAttributes(const char* path, uint32_t attributes) override;
    bool DeletePath(const char* path) override;
    bool MovePath(const char* from, const char* to) override;
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
    simdetail::SimState& state_;
    std::string hostRoot_;
};
