#include "platform/ntfs/NtfsHiveFolder.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/ntfs/NtfsDrives.h"
#include "platform/ntfs/NtfsVolume.h"
#include "platform/offline/HostFolder.h"

namespace {

// Windows errors of the file calls, as errno values for the messages.
int ErrnoOf(uint32_t windowsError) {
    switch (windowsError) {
        case kErrorFileNotFound:
        case kErrorPathNotFound: return ENOENT;
        case kErrorSharingViolation: return EBUSY;
        default: return EACCES;
    }
}

}  // namespace

// "disk.img:/Windows/System32/config", so that a hive's place reads as one path.
std::string NtfsHiveFolder::Where() const {
    std::string where = volume_->Name() + ":" + folder_.substr(folder_.size() > 2 && folder_[1] == ':' ? 2 : 0);
    for (char& c : where)
        if (c == '\\') c = '/';
    return where;
}

bool NtfsHiveFolder::Fail(const std::string& what, const std::string& name, std::string* error) const {
    *error = "cannot " + what + " " + Where() + "/" + name + ": " + strerror(errno);
    return false;
}

bool NtfsHiveFolder::List(std::vector<std::string>* names, std::string* error) {
    return drives_->ListNames(folder_, names) || Fail("list", "", error);
}

bool NtfsHiveFolder::Read(const std::string& name, uint64_t limit, std::vector<uint8_t>* bytes,
                          std::string* actualName, std::string* error) {
    // The name as the folder spells it; only a plain file will do.
    FindEntry entry;
    SearchHandle search = drives_->FindFirst(PathOf(name).c_str(), &entry);
    if (search == kNoSearch) {
        errno = ENOENT;
        return Fail("read", name, error);
    }
    drives_->FindEnd(search);
    if (entry.attributes & (kAttrDirectory | kAttrReparsePoint)) {
        *error = Where() + "/" + entry.name + ": not a regular file";
        return false;
    }
    if (!drives_->ReadWhole(PathOf(entry.name), limit, bytes)) {
        if (errno != EFBIG) return Fail("read", entry.name, error);
        *error = Where() + "/" + entry.name + ": larger than " + std::to_string(limit >> 20) +
                 " MiB, far beyond any real hive";
        return false;
    }
    *actualName = entry.name;
    return true;
}

bool NtfsHiveFolder::MakeUnpredictable(const std::string& prefix, const std::string& suffix,
                                       const std::vector<uint8_t>& bytes, const std::string& like, std::string* name,
                                       std::string* error) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        *name = prefix + UnpredictableNamePart() + suffix;
        if (drives_->WriteNew(folder_, *name, bytes, like.empty() ? "" : PathOf(like))) return true;
        if (errno != EEXIST) break;
    }
    return Fail("make a new file in", "", error);
}

bool NtfsHiveFolder::WriteNew(const std::string& like, const std::vector<uint8_t>& bytes, std::string* newName,
                              std::string* error) {
    return MakeUnpredictable(like + ".cordafix-", ".new", bytes, like, newName, error);
}

bool NtfsHiveFolder::Replace(const std::string& from, const std::string& to, std::string* error) {
    if (drives_->MovePathEx(PathOf(from).c_str(), PathOf(to).c_str(), kMoveReplaceExisting)) return true;
    errno = ErrnoOf(drives_->LastError());
    return Fail("replace", to, error);
}

bool NtfsHiveFolder::KeepCopy(const std::string& name, const std::string& copyName, std::string* error) {
    // A second name of the same file record; never over an existing name.
    if (drives_->LinkAs(PathOf(name), copyName)) return true;
    if (errno == EEXIST || errno == EROFS) return Fail("keep a copy as", copyName, error);
    return CopyInto(name, copyName, error);
}

// Where a file has as many names as it can take.
bool NtfsHiveFolder::CopyInto(const std::string& name, const std::string& copyName, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!drives_->ReadWhole(PathOf(name), UINT64_MAX, &bytes)) return Fail("read", name, error);
    return drives_->WriteNew(folder_, copyName, bytes, PathOf(name)) || Fail("keep a copy as", copyName, error);
}

bool NtfsHiveFolder::Remove(const std::string& name, std::string* error) {
    if (drives_->DeletePath(PathOf(name).c_str())) return true;
    errno = ErrnoOf(drives_->LastError());
    return Fail("remove", name, error);
}

bool NtfsHiveFolder::Sync(std::string* error) {
    return volume_->Sync() || (errno = EIO, Fail("sync", "", error));
}

bool NtfsHiveFolder::CanWrite(std::string* error) {
    std::string probe;
    if (!MakeUnpredictable(".cordafix-", ".probe", {}, "", &probe, error)) return false;
    drives_->DeletePath(PathOf(probe).c_str());
    return true;
}

// The volume is open in this process, and held there: it cannot move away.
bool NtfsHiveFolder::StillInPlace(std::string*) { return volume_->IsOpen(); }
