#include "offline/OfflineVolume.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/Platform.h"
#include "platform/offline/OfflineFileSystem.h"

namespace {

const char* const kWindowsFolders[] = {"Windows", "WINNT"};
const char kHibernationFile[] = "hiberfil.sys";

bool IsFolder(FileSystem& files, const std::string& windowsPath) {
    uint32_t attributes = files.GetAttributes(windowsPath.c_str());
    return attributes != kInvalidAttributes && (attributes & kAttrDirectory) != 0 &&
           (attributes & kAttrReparsePoint) == 0;
}

bool IsFile(FileSystem& files, const std::string& windowsPath) {
    uint32_t attributes = files.GetAttributes(windowsPath.c_str());
    return attributes != kInvalidAttributes && (attributes & (kAttrDirectory | kAttrReparsePoint)) == 0;
}

// "C:\" followed by the names the folders have on the volume.
std::string AsNamedOnVolume(FileSystem& files, const std::string& windowsPath) {
    std::string named = "C:";
    size_t at = windowsPath.find('\\');
    while (at != std::string::npos) {
        size_t next = windowsPath.find('\\', at + 1);
        std::string part = windowsPath.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1);
        FindEntry entry;
        SearchHandle search = files.FindFirst((named + "\\" + part).c_str(), &entry);
        if (search != kNoSearch) files.FindEnd(search);
        named += "\\" + (search != kNoSearch ? std::string(entry.name) : part);
        at = next;
    }
    return named;
}

// A value's data as text; false when it cannot be read.
bool ReadText(const char* keyPath, const char* name, std::string* text) {
    RegKey key;
    if (SysRegistry().KeyOpen(kHkeyLocalMachine, keyPath, kKeyRead, &key) != kErrorSuccess) return false;
    uint32_t type = 0, size = 0;
    bool read = SysRegistry().KeyQueryValue(key, name, &type, nullptr, &size) == kErrorSuccess;
    std::vector<uint8_t> data(size + 1, 0);
    read = read && SysRegistry().KeyQueryValue(key, name, &type, data.data(), &size) == kErrorSuccess;
    SysRegistry().KeyClose(key);
    if (!read) return false;
    text->assign(reinterpret_cast<const char*>(data.data()));
    return true;
}

std::string Expanded(OfflineFileSystem& files, const std::string& text) {
    uint32_t needed = files.ExpandEnvironment(text.c_str(), nullptr, 0);
    std::vector<char> buffer(needed + 1, 0);
    files.ExpandEnvironment(text.c_str(), buffer.data(), needed);
    return buffer.data();
}

void SetFromValue(OfflineFileSystem& files, const char* variable, const char* keyPath, const char* name) {
    std::string text;
    if (ReadText(keyPath, name, &text) && !text.empty()) files.SetEnvironment(variable, Expanded(files, text));
}

std::string CurrentControlSet() {
    RegKey key;
    uint32_t current = 1, type = 0, size = sizeof current;
    if (SysRegistry().KeyOpen(kHkeyLocalMachine, "SYSTEM\\Select", kKeyRead, &key) == kErrorSuccess) {
        if (SysRegistry().KeyQueryValue(key, "Current", &type, reinterpret_cast<uint8_t*>(&current), &size) !=
                kErrorSuccess ||
            type != kRegDword || current == 0 || current > 999)
            current = 1;
        SysRegistry().KeyClose(key);
    }
    char name[64];
    snprintf(name, sizeof name, "SYSTEM\\ControlSet%03u", current);
    return name;
}

void LoadMachineEnvironment(OfflineFileSystem& files) {
    std::string keyPath = CurrentControlSet() + "\\Control\\Session Manager\\Environment";
    RegKey key;
    if (SysRegistry().KeyOpen(kHkeyLocalMachine, keyPath.c_str(), kKeyRead, &key) != kErrorSuccess) return;
    uint32_t count = 0;
    std::vector<std::string> names;
    if (SysRegistry().KeyValueCount(key, &count) == kErrorSuccess) {
        for (uint32_t i = 0; i < count; ++i) {
            char name[16384];
            uint32_t length = sizeof name - 1;
            if (SysRegistry().KeyEnumValue(key, i, name, &length) == kErrorSuccess) names.push_back(name);
        }
    }
    SysRegistry().KeyClose(key);
    for (const std::string& name : names) SetFromValue(files, name.c_str(), keyPath.c_str(), name.c_str());
}

// The name in folder equal to name without regard to case; empty when none.
std::string NameInFolder(int folder, const char* name) {
    struct stat info;
    if (fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) == 0) return name;
    std::string found;
    int copy = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = copy < 0 ? nullptr : fdopendir(copy);
    if (dir == nullptr && copy >= 0) close(copy);
    while (dir != nullptr && found.empty()) {
        dirent* entry = readdir(dir);
        if (entry == nullptr) break;
        if (strcasecmp(entry->d_name, name) == 0) found = entry->d_name;
    }
    if (dir != nullptr) closedir(dir);
    return found;
}

}  // namespace

bool InspectVolume(FileSystem& files, VolumeLayout* layout) {
    for (const char* folder : kWindowsFolders) {
        std::string windowsPath = std::string("C:\\") + folder;
        if (IsFolder(files, windowsPath + "\\System32\\config")) {
            layout->windowsPath = AsNamedOnVolume(files, windowsPath);
            layout->systemPath = AsNamedOnVolume(files, windowsPath + "\\System32");
            return true;
        }
    }
    layout->windowsPath = AsNamedOnVolume(files, "C:\\Windows");
    layout->systemPath = layout->windowsPath + "\\System32";
    layout->nineX = IsFile(files, "C:\\Windows\\SYSTEM.DAT");
    return false;
}

void LoadVolumeEnvironment(OfflineFileSystem& files, const VolumeLayout& layout) {
    files.SetEnvironment("SystemDrive", "C:");
    files.SetEnvironment("SystemRoot", layout.windowsPath);
    files.SetEnvironment("windir", layout.windowsPath);
    LoadMachineEnvironment(files);
    const char kCurrentVersion[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    SetFromValue(files, "ProgramFiles", kCurrentVersion, "ProgramFilesDir");
    SetFromValue(files, "CommonProgramFiles", kCurrentVersion, "CommonFilesDir");
    SetFromValue(files, "ProgramFiles(x86)", kCurrentVersion, "ProgramFilesDir (x86)");
    SetFromValue(files, "CommonProgramFiles(x86)", kCurrentVersion, "CommonFilesDir (x86)");
    SetFromValue(files, "ProgramW6432", kCurrentVersion, "ProgramW6432Dir");
    const char kProfiles[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
    SetFromValue(files, "ProgramData", kProfiles, "ProgramData");
    SetFromValue(files, "ALLUSERSPROFILE", kProfiles, "ProgramData");
}

Hibernation CheckHibernation(OfflineFileSystem& files, std::string* detail) {
    UniqueFd root = files.OpenFolder("C:\\");
    std::string name = root.Valid() ? NameInFolder(root.Get(), kHibernationFile) : "";
    if (name.empty()) return Hibernation::kNone;
    struct stat info;
    UniqueFd file = OpenRegularFile(root.Get(), name, &info);
    // Windows makes it a plain file; anything else there is nothing it resumes from.
    if (!file.Valid() && (errno == EINVAL || errno == ELOOP)) return Hibernation::kNone;
    char signature[4] = {0, 0, 0, 0};
    ssize_t got = file.Valid() ? pread(file.Get(), signature, sizeof signature, 0) : -1;
    if (got < 0) {
        *detail = name + ": " + strerror(errno);
        return Hibernation::kUnknown;
    }
    *detail = name;
    bool saved = got == static_cast<ssize_t>(sizeof signature) &&
                 (strncasecmp(signature, "hibr", 4) == 0 || strncasecmp(signature, "rstr", 4) == 0);
    return saved ? Hibernation::kHibernated : Hibernation::kNone;
}
