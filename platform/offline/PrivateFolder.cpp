#include "platform/offline/PrivateFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

PrivateFolder::~PrivateFolder() {
    if (path_.empty()) return;
    if (DIR* dir = opendir(path_.c_str())) {
        while (dirent* entry = readdir(dir))
            if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
                unlinkat(dirfd(dir), entry->d_name, 0);
        closedir(dir);
    }
    rmdir(path_.c_str());
}

bool PrivateFolder::Make(const std::vector<FolderId>& volumes, std::string* error) {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/cordafix-offline-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        *error = "cannot make a private folder " + pattern + ": " + strerror(errno);
        return false;
    }
    path_ = buffer.data();
    UniqueFd folder(open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.Valid() || LiesBelow(folder.Get(), volumes)) {
        *error = path_ + ": the private folder for the hive work would lie on a volume under cleaning "
                         "(set TMPDIR to a folder of this system)";
        rmdir(path_.c_str());
        path_.clear();
        return false;
    }
    return true;
}

std::string PrivateFolder::NewPath(const char* what) {
    return path_ + "/" + std::to_string(++next_) + "-" + what;
}

bool PrivateFolder::WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) const {
    UniqueFd file(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    return file.Valid() && WriteWhole(file.Get(), bytes.data(), bytes.size());
}

bool PrivateFolder::ReadFile(const std::string& path, std::vector<uint8_t>* bytes) const {
    struct stat info;
    UniqueFd file(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!file.Valid() || fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    bytes->assign(static_cast<size_t>(info.st_size), 0);
    return ReadWhole(file.Get(), bytes->data(), bytes->size());
}
