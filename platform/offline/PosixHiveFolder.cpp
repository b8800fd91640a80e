#include "platform/offline/PosixHiveFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

const mode_t kPermissionBits = 0777;  // never set-user-id, set-group-id or sticky

std::string Megabytes(uint64_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

// The new file takes the old one's owner and permissions; where the file
// system keeps none (or refuses them) it keeps its own. The owner first: a
// change of owner would clear the permissions' set-id bits anyway.
void TakeOwnerAndMode(int file, const struct stat& like) {
    int owned = fchown(file, like.st_uid, like.st_gid);
    int moded = fchmod(file, like.st_mode & kPermissionBits);
    (void)owned;
    (void)moded;
}

}  // namespace

bool PosixHiveFolder::Fail(const std::string& what, const std::string& name, std::string* error) const {
    *error = "cannot " + what + " " + where_ + "/" + name + ": " + strerror(errno);
    return false;
}

bool PosixHiveFolder::List(std::vector<std::string>* names, std::string* error) {
    int copy = openat(folder_.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = copy < 0 ? nullptr : fdopendir(copy);
    if (dir == nullptr) {
        if (copy >= 0) close(copy);
        return Fail("list", "", error);
    }
    while (dirent* entry = readdir(dir))
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) names->push_back(entry->d_name);
    closedir(dir);
    return true;
}

bool PosixHiveFolder::Find(const std::string& name, std::string* actualName) {
    struct stat info;
    if (fstatat(folder_.Get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        *actualName = name;
        return true;
    }
    std::vector<std::string> names;
    std::string ignored;
    if (!List(&names, &ignored)) return false;
    for (const std::string& candidate : names) {
        if (strcasecmp(candidate.c_str(), name.c_str()) == 0) {
            *actualName = candidate;
            return true;
        }
    }
    errno = ENOENT;
    return false;
}

bool PosixHiveFolder::Read(const std::string& name, uint64_t limit, std::vector<uint8_t>* bytes,
                           std::string* actualName, std::string* error) {
    std::string actual;
    if (!Find(name, &actual)) return Fail("read", name, error);
    struct stat info;
    UniqueFd file = OpenRegularFile(folder_.Get(), actual, &info);
    if (!file.Valid()) {
        if (errno != EINVAL && errno != ELOOP) return Fail("read", actual, error);
        *error = where_ + "/" + actual + ": not a regular file";
        return false;
    }
    if (static_cast<uint64_t>(info.st_size) > limit) {
        *error = where_ + "/" + actual + ": larger than " + Megabytes(limit) + ", far beyond any real hive";
        return false;
    }
    bytes->assign(static_cast<size_t>(info.st_size), 0);
    if (!ReadWhole(file.Get(), bytes->data(), bytes->size())) {
        bytes->clear();
        return Fail("read", actual, error);
    }
    *actualName = actual;
    return true;
}

bool PosixHiveFolder::WriteNew(const std::string& like, const std::vector<uint8_t>& bytes, std::string* newName,
                               std::string* error) {
    std::string name;
    UniqueFd file = CreateUnpredictableFile(folder_.Get(), like + ".cordafix-", ".new", &name);
    if (!file.Valid()) return Fail("make a new file beside", like, error);
    struct stat old;
    if (fstatat(folder_.Get(), like.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode))
        TakeOwnerAndMode(file.Get(), old);
    if (!WriteWhole(file.Get(), bytes.data(), bytes.size()) || fsync(file.Get()) != 0 || close(file.Release()) != 0) {
        Fail("write", name, error);
        unlinkat(folder_.Get(), name.c_str(), 0);
        return false;
    }
    *newName = name;
    return true;
}

bool PosixHiveFolder::Replace(const std::string& from, const std::string& to, std::string* error) {
    return renameat(folder_.Get(), from.c_str(), folder_.Get(), to.c_str()) == 0 || Fail("replace", to, error);
}

bool PosixHiveFolder::KeepCopy(const std::string& name, const std::string& copyName, std::string* error) {
    // linkat neither follows a link at name nor replaces anything at copyName.
    if (linkat(folder_.Get(), name.c_str(), folder_.Get(), copyName.c_str(), 0) == 0) return true;
    if (errno == EEXIST) return Fail("keep a copy as", copyName, error);
    return CopyInto(name, copyName, error);
}

// Where the file system has no second names: a copy, made new.
bool PosixHiveFolder::CopyInto(const std::string& name, const std::string& copyName, std::string* error) {
    struct stat info;
    UniqueFd from = OpenRegularFile(folder_.Get(), name, &info);
    if (!from.Valid()) return Fail("read", name, error);
    UniqueFd to(openat(folder_.Get(), copyName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!to.Valid()) return Fail("keep a copy as", copyName, error);
    TakeOwnerAndMode(to.Get(), info);
    std::vector<uint8_t> buffer(1 << 20);
    bool copied = true;
    for (off_t at = 0; copied && at < info.st_size;) {
        size_t part = static_cast<size_t>(std::min<off_t>(info.st_size - at, static_cast<off_t>(buffer.size())));
        copied = pread(from.Get(), buffer.data(), part, at) == static_cast<ssize_t>(part) &&
                 write(to.Get(), buffer.data(), part) == static_cast<ssize_t>(part);
        at += static_cast<off_t>(part);
    }
    copied = copied && fsync(to.Get()) == 0 && close(to.Release()) == 0;
    if (copied) return true;
    Fail("keep a copy as", copyName, error);
    unlinkat(folder_.Get(), copyName.c_str(), 0);
    return false;
}

bool PosixHiveFolder::Remove(const std::string& name, std::string* error) {
    return unlinkat(folder_.Get(), name.c_str(), 0) == 0 || Fail("remove", name, error);
}

bool PosixHiveFolder::Sync(std::string* error) { return fsync(folder_.Get()) == 0 || Fail("sync", "", error); }

bool PosixHiveFolder::CanWrite(std::string* error) {
    std::string name;
    UniqueFd probe = CreateUnpredictableFile(folder_.Get(), ".cordafix-", ".probe", &name);
    if (!probe.Valid()) return Fail("make a file in", "", error);
    unlinkat(folder_.Get(), name.c_str(), 0);
    return true;
}

bool PosixHiveFolder::StillInPlace(std::string* error) {
    struct stat now, opened;
    if (stat(where_.c_str(), &now) == 0 && fstat(folder_.Get(), &opened) == 0 && IdOf(now) == IdOf(opened))
        return true;
    *error = where_ + ": the folder is no longer where it was";
    return false;
}
