// The drives of a Windows installation that is not running, mounted on this
// (Linux) system: each drive letter maps to a host folder, and Windows paths
// resolve to the files there without regard to letter case, as Windows would
// resolve them.
//
// The scan must never reach past the mapped folders: symbolic links are
// neither listed nor followed (a drive's own folder may not be reached
// through one either), folders of other file systems mounted inside a drive
// are not listed, and nothing outside a drive's folder is changed. Every
// file is reached from the drive folder's descriptor one name at a time
// (HostFolder.h), and only regular files are opened.
//
// The only changes made to a volume here are deletions, and the attribute
// reset before them; a file with further names (hard links) keeps its
// attributes where those names may lie outside the volume. Nothing runs from
// these drives, so a delayed deletion is refused rather than promised, and
// nothing is written, copied or moved (the registry's hive files are
// rewritten by OfflineHive through a HiveFolder).
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/offline/HostFolder.h"

class OfflineFileSystem : public FileSystem {
public:
    explicit OfflineFileSystem(uint32_t* lastError);
    ~OfflineFileSystem() override;
    OfflineFileSystem(const OfflineFileSystem&) = delete;
    OfflineFileSystem& operator=(const OfflineFileSystem&) = delete;

    // Maps a letter (C to Z) to a host folder, which counts as a fixed drive.
    // False with a message when the folder cannot serve as one (the root of
    // this system, no folder, or a path through a symbolic link).
    bool MapDrive(char letter, const std::string& hostFolder, std::string* error);
    // The folder a Windows path names, opened without following links;
    // invalid when it cannot be.
    UniqueFd OpenFolder(const std::string& windowsPath) const;
    // The mapped drives' folders.
    std::vector<FolderId> DriveFolders() const;
    // The letters of the mapped drives whose file system is mounted read-only.
    std::string ReadOnlyDrives() const;
    // The host file a Windows path names (it need not exist); empty when no
    // drive maps the path.
    std::string HostPath(const std::string& windowsPath) const;
    // The mapped drives whose folder is gone, or is another folder now.
    std::string VanishedDrives() const;

    // A dry run changes nothing; deleted files merely disappear from view.
    void SetDryRun(bool dryRun) { dryRun_ = dryRun; }
    void SetWindowsDirectory(const std::string& windowsPath) { windowsDirectory_ = windowsPath; }
    void SetSystemDirectory(const std::string& windowsPath) { systemDirectory_ = windowsPath; }
    // The variables that ExpandEnvironment knows (names without regard to case).
    void SetEnvironment(const std::string& name, const std::string& value);

    // Called for each entry a listing hands out, before the caller sees it.
    std::function<void(const char* pattern, const FindEntry& entry)> onFindEntry;
    // Called for each file or folder a listing leaves out because a Windows
    // path cannot name it (a name of 260 bytes or more, or with a backslash):
    // the folder as the walk named it ("C:\Data\") and the name.
    std::function<void(const std::string& windowsFolder, const char* name)> onUnlistedEntry;
    // Told why a change was refused where the scan's own lines cannot say it.
    std::function<void(const std::string& message)> onNotice;

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
    struct Drive {
        std::string host;  // canonical, no trailing slash
        dev_t device = 0;
        ino_t inode = 0;
        UniqueFd root;
        // The folder is the root of its file system: no hard link of a file
        // on it can lead off the drive.
        bool wholeFileSystem = false;
    };
    struct Item {
        std::string name;
        uint32_t attributes;
        uint64_t size;
    };
    // A folder's entries, kept while the folder stays unchanged: a walk
    // lists each folder twice (files, then subfolders).
    struct Listing {
        std::string folder;
        struct timespec modified = {0, 0};
        struct timespec changed = {0, 0};
        ino_t inode = 0;
        std::vector<Item> items;
    };
    struct Search {
        std::shared_ptr<const Listing> listing;
        size_t next = 0;
        std::string namePattern;  // empty: every entry
        bool mayHoldGone = false;  // a dry run deleted files of this folder
        std::string pattern;
    };

    const Drive* DriveOf(const std::string& windowsPath, std::vector<std::string>* components) const;
    std::string Resolve(const char* windowsPath, const Drive** drive = nullptr) const;
    void MarkGone(const std::string& host);
    bool Gone(const std::string& host) const { return !gone_.empty() && gone_.count(host) != 0; }
    // lstat of a host path that a dry run has not deleted.
    bool Look(const std::string& host, struct stat* info) const;
    bool MayChange(const std::string& host, const Drive* drive) const;
    static Item MakeItem(const char* name, const struct stat& info);
    std::shared_ptr<const Listing> ListFolder(const std::string& folder, const Drive& drive,
                                              const std::string& windowsFolder, bool driveRoot);
    UniqueFd OpenParent(const Drive& drive, const std::string& host, std::string* leaf) const;
    bool MayChangeAttributes(const char* path, const Drive& drive, const struct stat& info);
    bool NextMatch(Search* search, FindEntry* entry);
    bool Refuse(int32_t error);
    uint32_t MissingError(const std::string& host);

    uint32_t* lastError_;
    Drive drives_[26];
    bool dryRun_ = false;
    std::set<std::string> gone_;         // deleted in a dry run
    std::set<std::string> goneFolders_;  // their folders
    std::string windowsDirectory_ = "C:\\Windows";
    std::string systemDirectory_ = "C:\\Windows\\System32";
    std::map<std::string, std::string> environment_;  // upper-case name -> value
    std::shared_ptr<const Listing> lastListing_;
    // The folder FindFirst listed last, as the walk named it and on the host.
    const Drive* listedDrive_ = nullptr;
    std::vector<std::string> listedComponents_;
    std::string listedHost_;
    std::map<SearchHandle, Search> searches_;
    SearchHandle nextSearch_ = 0x100;
    std::set<int> descriptors_;
};
