#include "platform/offline/OfflineFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/offline/WindowsNames.h"

namespace {

const int32_t kErrorNoMoreFiles = 18;
const int32_t kErrorInvalidParameter = 87;
// How ntfs-3g shows a file's DOS attributes.
const char kNtfsAttributes[] = "system.ntfs_attrib_be";

std::string Upper(const std::string& text) {
    std::string result = text;
    for (char& c : result) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return result;
}

std::string ParentOf(const std::string& host) {
    size_t slash = host.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return "/";
    return host.substr(0, slash);
}

bool SameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool IsReadOnly(const struct stat& info) { return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0; }

uint32_t AttributesOf(const struct stat& info) {
    if (S_ISDIR(info.st_mode)) return kAttrDirectory;
    return IsReadOnly(info) ? (kAttrReadOnly | kAttrArchive) : kAttrArchive;
}

// The name in folder equal to name without regard to case; empty when none.
std::string FindNoCase(const std::string& folder, const std::string& name) {
    std::string found;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return found;
    while (dirent* item = readdir(dir)) {
        if (strcasecmp(item->d_name, name.c_str()) == 0) {
            found = item->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

}  // namespace

OfflineFileSystem::OfflineFileSystem(uint32_t* lastError) : lastError_(lastError) {}

OfflineFileSystem::~OfflineFileSystem() {
    for (int fd : descriptors_) close(fd);
}

bool OfflineFileSystem::Refuse(int32_t error) {
    *lastError_ = static_cast<uint32_t>(error);
    return false;
}

// 2 when the file's folder exists, 3 when it does not, as Windows answers.
uint32_t OfflineFileSystem::MissingError(const std::string& host) {
    struct stat info;
    bool folder = !host.empty() && stat(ParentOf(host).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    *lastError_ = folder ? kErrorFileNotFound : kErrorPathNotFound;
    return *lastError_;
}

bool OfflineFileSystem::MapDrive(char letter, const std::string& hostFolder, std::string* error) {
    int index = toupper(static_cast<unsigned char>(letter)) - 'A';
    if (index < 2 || index >= 26) {
        *error = std::string("drive letter ") + letter + ": only C to Z are scanned";
        return false;
    }
    // A link on the way could lead anywhere, also off the volume it seems to
    // lie on: the folder must be reached without one.
    UniqueFd root = OpenFolderWithoutLinks(hostFolder, error);
    if (!root.Valid()) return false;
    char canonical[PATH_MAX];
    struct stat info, system, parent;
    if (fstat(root.Get(), &info) != 0 || realpath(hostFolder.c_str(), canonical) == nullptr) {
        *error = hostFolder + ": " + strerror(errno);
        return false;
    }
    if (stat("/", &system) == 0 && IdOf(system) == IdOf(info)) {
        *error = hostFolder + ": the root of this system is never scanned";
        return false;
    }
    Drive& drive = drives_[index];
    drive.host = canonical;
    drive.device = info.st_dev;
    drive.inode = info.st_ino;
    drive.wholeFileSystem = fstatat(root.Get(), "..", &parent, 0) == 0 && parent.st_dev != info.st_dev;
    drive.root = std::move(root);
    return true;
}

UniqueFd OfflineFileSystem::OpenFolder(const std::string& windowsPath) const {
    const Drive* drive = nullptr;
    std::string host = Resolve(windowsPath.c_str(), &drive);
    if (host.empty()) return UniqueFd();
    return OpenFolderBelow(drive->root.Get(), host == drive->host ? "" : host.substr(drive->host.size() + 1));
}

std::vector<FolderId> OfflineFileSystem::DriveFolders() const {
    std::vector<FolderId> folders;
    for (const Drive& drive : drives_)
        if (drive.root.Valid()) folders.push_back(FolderId(drive.device, drive.inode));
    return folders;
}

std::string OfflineFileSystem::ReadOnlyDrives() const {
    std::string letters;
    for (int index = 0; index < 26; ++index) {
        struct statvfs info;
        if (drives_[index].root.Valid() && fstatvfs(drives_[index].root.Get(), &info) == 0 &&
            (info.f_flag & ST_RDONLY) != 0)
            letters += static_cast<char>('A' + index);
    }
    return letters;
}

std::string OfflineFileSystem::VanishedDrives() const {
    std::string letters;
    for (int index = 0; index < 26; ++index) {
        const Drive& drive = drives_[index];
        if (drive.host.empty()) continue;
        struct stat info;
        if (stat(drive.host.c_str(), &info) != 0 || info.st_dev != drive.device || info.st_ino != drive.inode)
            letters += static_cast<char>('A' + index);
    }
    return letters;
}

void OfflineFileSystem::SetEnvironment(const std::string& name, const std::string& value) {
    environment_[Upper(name)] = value;
}

// --- paths ---------------------------------------------------------------------

const OfflineFileSystem::Drive* OfflineFileSystem::DriveOf(const std::string& windowsPath,
                                                           std::vector<std::string>* components) const {
    int index = DriveIndexOf(windowsPath);
    if (index < 0 || drives_[index].host.empty()) return nullptr;
    *components = PathParts(windowsPath);
    return &drives_[index];
}

std::string OfflineFileSystem::Resolve(const char* windowsPath, const Drive** driveOut) const {
    std::vector<std::string> components;
    const Drive* drive = DriveOf(windowsPath ? windowsPath : "", &components);
    if (drive == nullptr) return "";
    if (driveOut) *driveOut = drive;
    struct stat info;
    // A file of the folder listed last, named as listed: one look settles it.
    if (drive == listedDrive_ && components.size() == listedComponents_.size() + 1 &&
        std::equal(listedComponents_.begin(), listedComponents_.end(), components.begin())) {
        std::string host = listedHost_ + "/" + components.back();
        if (lstat(host.c_str(), &info) == 0) return S_ISLNK(info.st_mode) ? "" : host;
    }
    // Component by component: the exact name, else one equal without regard
    // to case. A link on the way makes the path name nothing: links are never
    // followed. Past the first part that does not exist nothing can.
    std::string host = drive->host;
    bool exists = true;
    for (const std::string& component : components) {
        std::string next = host + "/" + component;
        if (exists && lstat(next.c_str(), &info) != 0) {
            std::string other = FindNoCase(host, component);
            exists = !other.empty() && lstat((host + "/" + other).c_str(), &info) == 0;
            if (exists) next = host + "/" + other;
        }
        if (exists && S_ISLNK(info.st_mode)) return "";
        host = next;
    }
    return host;
}

void OfflineFileSystem::MarkGone(const std::string& host) {
    gone_.insert(host);
    goneFolders_.insert(ParentOf(host));
}

bool OfflineFileSystem::Look(const std::string& host, struct stat* info) const {
    return !host.empty() && !Gone(host) && lstat(host.c_str(), info) == 0;
}

std::string OfflineFileSystem::HostPath(const std::string& windowsPath) const { return Resolve(windowsPath.c_str()); }

// Only a file of the drive itself may change, never its folder.
bool OfflineFileSystem::MayChange(const std::string& host, const Drive* drive) const {
    return drive != nullptr && host.size() > drive->host.size() + 1 &&
           host.compare(0, drive->host.size(), drive->host) == 0 && host[drive->host.size()] == '/';
}

// The folder holding host (a path below the drive's folder), opened from the
// drive folder's descriptor without following a link; leaf: host's own name.
UniqueFd OfflineFileSystem::OpenParent(const Drive& drive, const std::string& host, std::string* leaf) const {
    if (!MayChange(host, &drive)) {
        errno = EACCES;
        return UniqueFd();
    }
    std::string relative = host.substr(drive.host.size() + 1);
    size_t slash = relative.find_last_of('/');
    *leaf = slash == std::string::npos ? relative : relative.substr(slash + 1);
    return OpenFolderBelow(drive.root.Get(), slash == std::string::npos ? "" : relative.substr(0, slash));
}

// --- drives and listings -----------------------------------------------------------

uint32_t OfflineFileSystem::DriveType(const char* root) {
    std::vector<std::string> components;
    const Drive* drive = DriveOf(root ? root : "", &components);
    return drive != nullptr && components.empty() ? kDriveFixed : kDriveNoRootDir;
}

OfflineFileSystem::Item OfflineFileSystem::MakeItem(const char* name, const struct stat& info) {
    Item item;
    item.name = name;
    item.attributes = AttributesOf(info);
    item.size = S_ISDIR(info.st_mode) ? 0 : static_cast<uint64_t>(info.st_size);
    return item;
}

std::shared_ptr<const OfflineFileSystem::Listing> OfflineFileSystem::ListFolder(const std::string& folder,
                                                                                const Drive& drive,
                                                                                const std::string& windowsFolder,
                                                                                bool driveRoot) {
    // The walk lists each folder twice in a row: the second time one look settles it.
    struct stat info;
    if (lastListing_ && lastListing_->folder == folder && lstat(folder.c_str(), &info) == 0 &&
        lastListing_->inode == info.st_ino && SameTime(lastListing_->modified, info.st_mtim) &&
        SameTime(lastListing_->changed, info.st_ctim))
        return lastListing_;
    UniqueFd opened =
        OpenFolderBelow(drive.root.Get(), folder == drive.host ? "" : folder.substr(drive.host.size() + 1));
    if (!opened.Valid() || fstat(opened.Get(), &info) != 0) return nullptr;
    DIR* dir = fdopendir(opened.Get());
    if (dir == nullptr) return nullptr;
    opened.Release();
    // A drive's root is a copy of the drive's descriptor, whose position a
    // listing before this one left at the end.
    rewinddir(dir);
    auto listing = std::make_shared<Listing>();
    listing->folder = folder;
    listing->modified = info.st_mtim;
    listing->changed = info.st_ctim;
    listing->inode = info.st_ino;
    std::vector<Item> found;
    std::vector<std::string> keys;
    while (dirent* item = readdir(dir)) {
        if (strcmp(item->d_name, ".") == 0 || strcmp(item->d_name, "..") == 0) continue;
        struct stat entry;
        if (fstatat(dirfd(dir), item->d_name, &entry, AT_SYMLINK_NOFOLLOW) != 0) continue;
        bool folderOfDrive = S_ISDIR(entry.st_mode) && entry.st_dev == drive.device;
        if (!folderOfDrive && !S_ISREG(entry.st_mode)) continue;
        if (!Addressable(item->d_name)) {
            if (onUnlistedEntry) onUnlistedEntry(windowsFolder, item->d_name);
            continue;
        }
        found.push_back(MakeItem(item->d_name, entry));
        keys.push_back(Upper(item->d_name));
    }
    closedir(dir);
    // Listed as NTFS lists a folder: by the names' upper-case form.
    std::vector<size_t> order(found.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        int byKey = keys[a].compare(keys[b]);
        return byKey != 0 ? byKey < 0 : found[a].name < found[b].name;
    });
    listing->items.reserve(found.size() + 2);
    if (!driveRoot) {
        listing->items.push_back(MakeItem(".", info));
        listing->items.push_back(MakeItem("..", info));
    }
    for (size_t index : order) listing->items.push_back(std::move(found[index]));
    lastListing_ = listing;
    return listing;
}

bool OfflineFileSystem::NextMatch(Search* search, FindEntry* entry) {
    const std::vector<Item>& items = search->listing->items;
    while (search->next < items.size()) {
        const Item& item = items[search->next++];
        if (!search->namePattern.empty() && !NameMatches(search->namePattern, item.name.c_str())) continue;
        if (search->mayHoldGone && Gone(search->listing->folder + "/" + item.name)) continue;
        memset(entry, 0, sizeof *entry);
        memcpy(entry->name, item.name.c_str(), item.name.size() + 1);  // shorter than the field: Addressable
        entry->attributes = item.attributes;
        entry->sizeHigh = static_cast<uint32_t>(item.size >> 32);
        entry->sizeLow = static_cast<uint32_t>(item.size);
        if (onFindEntry) onFindEntry(search->pattern.c_str(), *entry);
        return true;
    }
    return false;
}

SearchHandle OfflineFileSystem::FindFirst(const char* pattern, FindEntry* entry) {
    std::string text = pattern ? pattern : "";
    size_t cut = text.find_last_of("\\/");
    std::string namePattern = cut == std::string::npos ? "" : text.substr(cut + 1);
    std::string windowsFolder = cut == std::string::npos ? "" : text.substr(0, cut + 1);
    std::vector<std::string> components;
    const Drive* drive = DriveOf(windowsFolder, &components);
    std::string folder = drive ? Resolve(windowsFolder.c_str()) : "";
    Search search;
    search.pattern = text;
    if (!folder.empty()) search.listing = ListFolder(folder, *drive, windowsFolder, components.empty());
    if (search.listing) {
        listedDrive_ = drive;
        listedComponents_ = components;
        listedHost_ = folder;
    }
    if (!search.listing) {
        Refuse(kErrorPathNotFound);
        return kNoSearch;
    }
    search.mayHoldGone = goneFolders_.count(folder) != 0;
    if (!HasWildcard(namePattern)) {
        // One named entry: the listing's entry of that name, in any case.
        auto named = std::make_shared<Listing>(*search.listing);
        named->items.clear();
        for (const Item& item : search.listing->items)
            if (strcasecmp(item.name.c_str(), namePattern.c_str()) == 0) named->items.push_back(item);
        search.listing = named;
    } else if (!EveryName(namePattern)) {
        search.namePattern = WildcardPattern(namePattern);
    }
    if (!NextMatch(&search, entry)) {
        Refuse(kErrorFileNotFound);
        return kNoSearch;
    }
    SearchHandle handle = nextSearch_++;
    searches_[handle] = search;
    return handle;
}

bool OfflineFileSystem::FindNext(SearchHandle handle, FindEntry* entry) {
    auto found = searches_.find(handle);
    if (found == searches_.end()) return Refuse(kErrorInvalidHandle);
    return NextMatch(&found->second, entry) || Refuse(kErrorNoMoreFiles);
}

void OfflineFileSystem::FindEnd(SearchHandle handle) { searches_.erase(handle); }

// --- attributes, deletion, moves ----------------------------------------------------

uint32_t OfflineFileSystem::GetAttributes(const char* path) {
    std::string host = Resolve(path);
    struct stat info;
    if (!Look(host, &info) || S_ISLNK(info.st_mode)) {
        MissingError(host);
        return kInvalidAttributes;
    }
    return AttributesOf(info);
}

bool OfflineFileSystem::SetAttributes(const char* path, uint32_t attributes) {
    const Drive* drive = nullptr;
    std::string host = Resolve(path, &drive);
    struct stat info;
    if (!Look(host, &info)) return Refuse(static_cast<int32_t>(MissingError(host)));
    if (!MayChange(host, drive)) return Refuse(kErrorAccessDenied);
    if (S_ISDIR(info.st_mode)) return true;
    std::string leaf;
    UniqueFd folder = OpenParent(*drive, host, &leaf);
    UniqueFd file = folder.Valid() ? OpenRegularFile(folder.Get(), leaf, &info) : UniqueFd();
    if (!file.Valid() || !MayChangeAttributes(path, *drive, info)) return Refuse(kErrorAccessDenied);
    if (dryRun_) return true;
    mode_t mode = info.st_mode & 07777;
    mode = (attributes & kAttrReadOnly) ? (mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
    if (fchmod(file.Get(), mode) != 0) return Refuse(kErrorAccessDenied);
    // On NTFS the DOS attributes are kept apart from the mode; set them too.
    uint8_t current[4];
    if (fgetxattr(file.Get(), kNtfsAttributes, current, sizeof current) == sizeof current) {
        uint8_t wanted[4] = {static_cast<uint8_t>(attributes >> 24), static_cast<uint8_t>(attributes >> 16),
                             static_cast<uint8_t>(attributes >> 8), static_cast<uint8_t>(attributes)};
        if (fsetxattr(file.Get(), kNtfsAttributes, wanted, sizeof wanted, XATTR_REPLACE) != 0)
            return Refuse(kErrorAccessDenied);
    }
    return true;
}

// A file's attributes belong to every name it has. Where the drive is only a
// folder of a larger file system, another name may lie outside it, and a
// change would reach that file too.
bool OfflineFileSystem::MayChangeAttributes(const char* path, const Drive& drive, const struct stat& info) {
    if (info.st_nlink <= 1 || drive.wholeFileSystem) return true;
    if (onNotice)
        onNotice(std::string(path) + ": the file has further names (hard links) that may lie outside " +
                 drive.host + ": its attributes are not reset, so it is not removed");
    return false;
}

bool OfflineFileSystem::DeletePath(const char* path) {
    const Drive* drive = nullptr;
    std::string host = Resolve(path, &drive);
    struct stat info;
    if (!Look(host, &info)) return Refuse(static_cast<int32_t>(MissingError(host)));
    // As on Windows: no folders, and no read-only files until their attributes are reset.
    if (!S_ISREG(info.st_mode) || IsReadOnly(info) || !MayChange(host, drive)) return Refuse(kErrorAccessDenied);
    if (dryRun_) {
        MarkGone(host);
        return true;
    }
    std::string leaf;
    UniqueFd folder = OpenParent(*drive, host, &leaf);
    if (!folder.Valid() || fstatat(folder.Get(), leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(info.st_mode))
        return Refuse(kErrorAccessDenied);
    return unlinkat(folder.Get(), leaf.c_str(), 0) == 0 || Refuse(kErrorAccessDenied);
}

// Nothing runs from this volume while it is mounted here, so nothing would
// carry out a move or deletion left for the next start; and the scan renames
// and copies nothing here (its action is always deletion).
bool OfflineFileSystem::MovePath(const char*, const char*) { return Refuse(kErrorAccessDenied); }

bool OfflineFileSystem::MovePathEx(const char*, const char*, uint32_t) { return Refuse(kErrorAccessDenied); }

bool OfflineFileSystem::CopyPath(const char*, const char*, bool) { return Refuse(kErrorAccessDenied); }

// --- names and folders of the system --------------------------------------------------

uint32_t OfflineFileSystem::ShortPath(const char* longPath, char* buffer, uint32_t size) {
    // A volume read through this system shows no short names; Windows gives
    // the long path back likewise where a volume keeps none.
    std::string host = Resolve(longPath);
    struct stat info;
    if (!Look(host, &info)) {
        Refuse(kErrorFileNotFound);
        return 0;
    }
    return CopyOut(longPath, buffer, size);
}

uint32_t OfflineFileSystem::TempPath(char* buffer, uint32_t size) {
    return CopyOut(windowsDirectory_ + "\\Temp\\", buffer, size);
}

uint32_t OfflineFileSystem::SystemDirectory(char* buffer, uint32_t size) {
    return CopyOut(systemDirectory_, buffer, size);
}

uint32_t OfflineFileSystem::WindowsDirectory(char* buffer, uint32_t size) {
    return CopyOut(windowsDirectory_, buffer, size);
}

uint32_t OfflineFileSystem::ExpandEnvironment(const char* source, char* buffer, uint32_t size) {
    if (source == nullptr) {
        Refuse(kErrorInvalidParameter);
        return 0;
    }
    std::string result;
    for (const char* at = source; *at;) {
        const char* open = strchr(at, '%');
        const char* close = open ? strchr(open + 1, '%') : nullptr;
        if (close == nullptr) {
            result += at;
            break;
        }
        result.append(at, open);
        auto known = environment_.find(Upper(std::string(open + 1, close)));
        // An unknown name stays as it was written, percent signs and all.
        if (close > open + 1 && known != environment_.end()) result += known->second;
        else result.append(open, close + 1);
        at = close + 1;
    }
    uint32_t needed = static_cast<uint32_t>(result.size() + 1);
    if (buffer && size >= needed) memcpy(buffer, result.c_str(), needed);
    return needed;
}

// --- descriptors --------------------------------------------------------------------

int OfflineFileSystem::FileOpen(const char* path, int flags, int) {
    const Drive* drive = nullptr;
    std::string host = Resolve(path, &drive);
    bool writes = (flags & 3) != kOpenReadOnly || (flags & (kOpenCreate | kOpenTruncate | kOpenAppend));
    if (!(flags & kOpenBinary)) {
        errno = EINVAL;
        return -1;
    }
    if (host.empty() || Gone(host)) {
        errno = ENOENT;
        return -1;
    }
    // Files are read here, never written (see the header).
    if (writes) {
        errno = EACCES;
        return -1;
    }
    std::string leaf;
    struct stat info;
    UniqueFd folder = OpenParent(*drive, host, &leaf);
    UniqueFd file = folder.Valid() ? OpenRegularFile(folder.Get(), leaf, &info) : UniqueFd();
    if (!file.Valid()) {
        errno = errno == ENOENT ? ENOENT : EACCES;
        return -1;
    }
    descriptors_.insert(file.Get());
    return file.Release();
}

int32_t OfflineFileSystem::FileLength(int fd) {
    struct stat info;
    if (!descriptors_.count(fd) || fstat(fd, &info) != 0 || info.st_size > 0x7FFFFFFF) {
        errno = EBADF;
        return -1;
    }
    return static_cast<int32_t>(info.st_size);
}

int32_t OfflineFileSystem::FileSeek(int fd, int32_t offset, int origin) {
    int whence = origin == kSeekSet ? SEEK_SET : origin == kSeekCur ? SEEK_CUR : origin == kSeekEnd ? SEEK_END : -1;
    if (!descriptors_.count(fd) || whence < 0) {
        errno = descriptors_.count(fd) ? EINVAL : EBADF;
        return -1;
    }
    off_t base = whence == SEEK_SET ? 0 : lseek(fd, 0, whence);
    if (base < 0) return -1;
    off_t target = base + offset;
    if (target < 0 || target > 0x7FFFFFFF) {
        errno = EINVAL;
        return -1;
    }
    return lseek(fd, target, SEEK_SET) < 0 ? -1 : static_cast<int32_t>(target);
}

int OfflineFileSystem::FileRead(int fd, void* buffer, uint32_t count) {
    if (!descriptors_.count(fd)) {
        errno = EBADF;
        return -1;
    }
    ssize_t got = read(fd, buffer, count);
    return got < 0 ? -1 : static_cast<int>(got);
}

int OfflineFileSystem::FileWrite(int fd, const void* buffer, uint32_t count) {
    if (!descriptors_.count(fd)) {
        errno = EBADF;
        return -1;
    }
    ssize_t put = write(fd, buffer, count);
    return put < 0 ? -1 : static_cast<int>(put);
}

int OfflineFileSystem::FileClose(int fd) {
    if (!descriptors_.erase(fd)) {
        errno = EBADF;
        return -1;
    }
    return close(fd) == 0 ? 0 : -1;
}

int OfflineFileSystem::FileAccess(const char* path, int mode) {
    std::string host = Resolve(path);
    struct stat info;
    if (!Look(host, &info) || S_ISLNK(info.st_mode)) {
        errno = ENOENT;
        return -1;
    }
    if ((mode & 2) && (dryRun_ || (!S_ISDIR(info.st_mode) && IsReadOnly(info)))) {
        errno = EACCES;
        return -1;
    }
    return 0;
}
