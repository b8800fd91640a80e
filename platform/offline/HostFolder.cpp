#include "platform/offline/HostFolder.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/host/WindowsNames.h"

namespace {

const int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// Far deeper than any folder tree; the walk up through ".." stops there.
const int kDeepestFolder = 4096;
const int kNameAttempts = 16;

std::vector<std::string> Components(const std::string& path) { return SplitNames(path, "/"); }

}  // namespace

std::string UnpredictableNamePart() {
    uint8_t bytes[8];
    if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        // Without the kernel's randomness the name is still never reused.
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        uint64_t mixed = static_cast<uint64_t>(now.tv_nsec) ^ (static_cast<uint64_t>(getpid()) << 32);
        memcpy(bytes, &mixed, sizeof bytes);
    }
    char text[sizeof bytes * 2 + 1];
    for (size_t i = 0; i < sizeof bytes; ++i) snprintf(text + 2 * i, 3, "%02x", bytes[i]);
    return text;
}

namespace {

// Opens path's folders one name at a time; mayFollow tells, for the folder
// reached so far, whether the next name may be a symbolic link. reached:
// the path up to the name that failed.
UniqueFd WalkFolders(const std::string& path, const std::function<bool(int)>& mayFollow, std::string* reached) {
    bool absolute = !path.empty() && path[0] == '/';
    UniqueFd at(open(absolute ? "/" : ".", kFolderFlags));
    *reached = absolute ? "" : ".";
    for (const std::string& part : Components(path)) {
        if (!at.Valid()) return at;
        *reached += "/" + part;
        int flags = mayFollow(at.Get()) ? (kFolderFlags & ~O_NOFOLLOW) : kFolderFlags;
        at = UniqueFd(openat(at.Get(), part.c_str(), flags));
    }
    return at;
}

bool IsLink(const std::string& path) {
    struct stat info;
    return fstatat(AT_FDCWD, path.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode);
}

}  // namespace

UniqueFd OpenFolderWithoutLinks(const std::string& path, std::string* error) {
    std::string reached;
    UniqueFd folder = WalkFolders(path, [](int) { return false; }, &reached);
    if (!folder.Valid()) {
        int reason = errno;
        *error = IsLink(reached) ? reached + " is a symbolic link: give the folder it leads to itself"
                                 : reached + ": " + strerror(reason);
    }
    return folder;
}

UniqueFd OpenFolderAvoidingVolumeLinks(const std::string& path, const std::vector<FolderId>& volumes,
                                       std::string* error) {
    std::string reached;
    UniqueFd folder = WalkFolders(path, [&](int at) { return !LiesBelow(at, volumes); }, &reached);
    if (!folder.Valid()) {
        int reason = errno;
        *error = IsLink(reached) ? reached + " is a symbolic link on a volume under cleaning, not followed"
                                 : reached + ": " + strerror(reason);
    }
    return folder;
}

UniqueFd OpenFolderBelow(int folder, const std::string& relative) {
    std::vector<std::string> parts = Components(relative);
    if (parts.empty()) return UniqueFd(fcntl(folder, F_DUPFD_CLOEXEC, 0));
    UniqueFd at;
    for (const std::string& part : parts) {
        if (part == "." || part == "..") {
            errno = EINVAL;
            return UniqueFd();
        }
        at = UniqueFd(openat(at.Valid() ? at.Get() : folder, part.c_str(), kFolderFlags));
        if (!at.Valid()) return at;
    }
    return at;
}

UniqueFd OpenRegularFile(int folder, const std::string& name, struct stat* info) {
    // O_NONBLOCK: opening a FIFO would otherwise wait for a writer.
    UniqueFd file(openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!file.Valid()) return file;
    if (fstat(file.Get(), info) != 0) return UniqueFd();
    if (!S_ISREG(info->st_mode)) {
        errno = EINVAL;
        return UniqueFd();
    }
    return file;
}

UniqueFd CreateUnpredictableFile(int folder, const std::string& prefix, const std::string& suffix,
                                 std::string* name) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string candidate = prefix + UnpredictableNamePart() + suffix;
        UniqueFd file(openat(folder, candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (file.Valid()) {
            *name = candidate;
            return file;
        }
        if (errno != EEXIST) return file;
    }
    return UniqueFd();
}

bool WriteWhole(int fd, const uint8_t* bytes, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t put = write(fd, bytes + done, std::min<size_t>(size - done, 1 << 20));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

bool ReadWhole(int fd, uint8_t* bytes, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t got = pread(fd, bytes + done, std::min<size_t>(size - done, 1 << 20), static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<size_t>(got);
    }
    return true;
}

FolderId IdOf(const struct stat& info) { return FolderId(info.st_dev, info.st_ino); }

bool LiesBelow(int folder, const std::vector<FolderId>& roots) {
    UniqueFd at(fcntl(folder, F_DUPFD_CLOEXEC, 0));
    struct stat info;
    for (int depth = 0; at.Valid() && depth < kDeepestFolder; ++depth) {
        if (fstat(at.Get(), &info) != 0) return false;
        if (std::find(roots.begin(), roots.end(), IdOf(info)) != roots.end()) return true;
        struct stat parent;
        if (fstatat(at.Get(), "..", &parent, 0) != 0 || IdOf(parent) == IdOf(info)) return false;
        at = UniqueFd(openat(at.Get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    return false;
}
