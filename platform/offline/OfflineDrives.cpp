#include "platform/offline/OfflineDrives.h"

#include "platform/ntfs/NtfsDrives.h"
#include "platform/offline/OfflineFileSystem.h"

namespace {

const int32_t kErrorNotSameDevice = 17;

}  // namespace

bool OfflineDrives::OnVolume(const char* path) const { return volumes_->Serves(path); }

uint32_t OfflineDrives::DriveType(const char* root) {
    return OnVolume(root) ? volumes_->DriveType(root) : folders_->DriveType(root);
}

SearchHandle OfflineDrives::FindFirst(const char* pattern, FindEntry* entry) {
    return OnVolume(pattern) ? volumes_->FindFirst(pattern, entry) : folders_->FindFirst(pattern, entry);
}

bool OfflineDrives::FindNext(SearchHandle search, FindEntry* entry) {
    return NtfsDrives::OwnsHandle(search) ? volumes_->FindNext(search, entry) : folders_->FindNext(search, entry);
}

void OfflineDrives::FindEnd(SearchHandle search) {
    if (NtfsDrives::OwnsHandle(search)) volumes_->FindEnd(search);
    else folders_->FindEnd(search);
}

uint32_t OfflineDrives::GetAttributes(const char* path) {
    return OnVolume(path) ? volumes_->GetAttributes(path) : folders_->GetAttributes(path);
}

bool OfflineDrives::SetAttributes(const char* path, uint32_t attributes) {
    return OnVolume(path) ? volumes_->SetAttributes(path, attributes) : folders_->SetAttributes(path, attributes);
}

bool OfflineDrives::DeletePath(const char* path) {
    return OnVolume(path) ? volumes_->DeletePath(path) : folders_->DeletePath(path);
}

bool OfflineDrives::MovePathEx(const char* from, const char* to, uint32_t flags) {
    if (to != nullptr && *to != '\0' && !SameKind(from, to)) {
        *lastError_ = kErrorNotSameDevice;
        return false;
    }
    return OnVolume(from) ? volumes_->MovePathEx(from, to, flags) : folders_->MovePathEx(from, to, flags);
}

bool OfflineDrives::CopyPath(const char* from, const char* to, bool failIfExists) {
    if (!SameKind(from, to)) {
        *lastError_ = kErrorAccessDenied;
        return false;
    }
    return OnVolume(from) ? volumes_->CopyPath(from, to, failIfExists) : folders_->CopyPath(from, to, failIfExists);
}

uint32_t OfflineDrives::ShortPath(const char* longPath, char* buffer, uint32_t size) {
    return OnVolume(longPath) ? volumes_->ShortPath(longPath, buffer, size)
                              : folders_->ShortPath(longPath, buffer, size);
}

uint32_t OfflineDrives::TempPath(char* buffer, uint32_t size) { return folders_->TempPath(buffer, size); }

uint32_t OfflineDrives::SystemDirectory(char* buffer, uint32_t size) { return folders_->SystemDirectory(buffer, size); }

uint32_t OfflineDrives::WindowsDirectory(char* buffer, uint32_t size) {
    return folders_->WindowsDirectory(buffer, size);
}

uint32_t OfflineDrives::ExpandEnvironment(const char* source, char* buffer, uint32_t size) {
    return folders_->ExpandEnvironment(source, buffer, size);
}

int OfflineDrives::FileOpen(const char* path, int flags, int permission) {
    return OnVolume(path) ? volumes_->FileOpen(path, flags, permission) : folders_->FileOpen(path, flags, permission);
}

int32_t OfflineDrives::FileLength(int fd) {
    return NtfsDrives::OwnsHandle(fd) ? volumes_->FileLength(fd) : folders_->FileLength(fd);
}

int32_t OfflineDrives::FileSeek(int fd, int32_t offset, int origin) {
    return NtfsDrives::OwnsHandle(fd) ? volumes_->FileSeek(fd, offset, origin) : folders_->FileSeek(fd, offset, origin);
}

int OfflineDrives::FileRead(int fd, void* buffer, uint32_t count) {
    return NtfsDrives::OwnsHandle(fd) ? volumes_->FileRead(fd, buffer, count) : folders_->FileRead(fd, buffer, count);
}

int OfflineDrives::FileWrite(int fd, const void* buffer, uint32_t count) {
    return NtfsDrives::OwnsHandle(fd) ? volumes_->FileWrite(fd, buffer, count) : folders_->FileWrite(fd, buffer, count);
}

int OfflineDrives::FileClose(int fd) {
    return NtfsDrives::OwnsHandle(fd) ? volumes_->FileClose(fd) : folders_->FileClose(fd);
}

int OfflineDrives::FileAccess(const char* path, int mode) {
    return OnVolume(path) ? volumes_->FileAccess(path, mode) : folders_->FileAccess(path, mode);
}
