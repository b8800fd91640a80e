// The simulated file system: host folders stand in for drives. Behaviour
// follows the Win32 and C runtime calls the seam names, including their
// buffer-size and error-code rules, because the code under test relies on
// exactly those.
#include "sim/SimFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/host/TextCodes.h"
#include "platform/host/Win32Answers.h"
#include "sim/SimState.h"

using namespace simdetail;

namespace {

// The order in which Windows file systems (and Wine) list a folder: by the
// upper-case form, then byte order to keep names differing only in case stable.
bool ListedBefore(const std::string& a, const std::string& b) {
    std::string ua = UpperCase(a), ub = UpperCase(b);
    if (ua != ub) return ua < ub;
    return a < b;
}

bool StatPath(const std::string& host, struct stat* info) {
    return !host.empty() && stat(host.c_str(), info) == 0;
}

bool IsFolder(const std::string& host) {
    struct stat info;
    return StatPath(host, &info) && S_ISDIR(info.st_mode);
}

std::vector<std::string> ListFolder(const std::string& host) {
    std::vector<std::string> names;
    DIR* dir = opendir(host.c_str());
    if (!dir) return names;
    while (dirent* item = readdir(dir)) {
        std::string name = item->d_name;
        if (name == "." || name == "..") continue;
        if (name.size() >= kPathSize) continue;  // not reachable through a Windows path
        names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end(), ListedBefore);
    return names;
}

bool IsShortNameChar(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u > 32 && !strchr("\"*+,/:;<=>?[\\]|", c);
}

bool HasHighBytes(const std::string& text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    return false;
}

// A host name as the 8-bit find calls list it. Host names are UTF-8; a
// multi-byte character stands for one outside the simulated ANSI code page,
// listed as "?" (and taken as "_" in short names).
std::string ListedName(const std::string& hostName) {
    std::string listed;
    for (size_t i = 0; i < hostName.size();) {
        size_t wide = Utf8SequenceLength(hostName, i);
        listed += wide != 0 ? '?' : hostName[i];
        i += wide != 0 ? wide : 1;
    }
    return listed;
}

// Characters no Windows path component holds (the wildcards among them).
bool HasInvalidNameCharacter(const std::string& component) {
    for (char c : component)
        if (static_cast<unsigned char>(c) < 32 || strchr("\"*<>?|", c) != nullptr) return true;
    return false;
}

bool IsLegal83(const std::string& name) {
    if (name == "." || name == "..") return true;
    size_t dot = name.find('.');
    if (dot != name.rfind('.')) return false;
    std::string base = dot == std::string::npos ? name : name.substr(0, dot);
    std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
    if (dot != std::string::npos && ext.empty()) return false;
    if (HasHighBytes(name)) return false;
    for (char c : name)
        if (c != '.' && !IsShortNameChar(c)) return false;
    return true;
}

// Upper-case short-name characters of part, "_" for any other; dots and
// blanks are left out.
std::string ShortNameCharacters(const std::string& part) {
    std::string result;
    for (size_t i = 0; i < part.size();) {
        size_t wide = Utf8SequenceLength(part, i);
        if (wide != 0) {
            result += '_';
            i += wide;
            continue;
        }
        char c = part[i++];
        if (c == '.' || c == ' ') continue;
        char u = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        result += IsShortNameChar(u) ? u : '_';
    }
    return result;
}

void MangleParts(const std::string& longName, std::string* base, std::string* ext) {
    // Trailing dots and blanks take no part in the short name.
    size_t end = longName.find_last_not_of(". ");
    std::string name = end == std::string::npos ? longName : longName.substr(0, end + 1);
    size_t dot = name.rfind('.');
    bool split = dot != std::string::npos && dot != 0;
    *base = ShortNameCharacters(split ? name.substr(0, dot) : name);
    *ext = ShortNameCharacters(split ? name.substr(dot + 1) : "");
    if (ext->size() > 3) ext->resize(3);
    if (base->size() > 6) base->resize(6);
    if (base->empty()) *base = "_";
}

// The short names of a folder's entries in listing order: empty for a name
// that is a legal 8.3 name itself, else its mangled parts with the lowest ~N
// no other entry of the folder holds. A name keeps the short name it was
// given first, as on NTFS, where deleting a file renumbers no other.
std::vector<std::string> ShortNamesOf(const std::string& folder, const std::vector<std::string>& names,
                                      SimState& state) {
    std::vector<std::string> shortNames(names.size());
    if (!state.shortNames) return shortNames;
    std::vector<size_t> longOnes;
    for (size_t i = 0; i < names.size(); ++i)
        if (!IsLegal83(names[i])) longOnes.push_back(i);
    if (longOnes.empty()) return shortNames;
    std::set<std::string> inUse;
    for (size_t i = 0, next = 0; i < names.size(); ++i) {
        if (next < longOnes.size() && longOnes[next] == i) {
            ++next;
        } else {
            inUse.insert(UpperCase(names[i]));
        }
    }
    std::map<std::string, std::string>& givenHere = state.givenShortNames[folder];
    std::vector<size_t> fresh;
    for (size_t i : longOnes) {
        auto given = givenHere.find(names[i]);
        if (given != givenHere.end() && inUse.insert(given->second).second) {
            shortNames[i] = given->second;
        } else {
            fresh.push_back(i);
        }
    }
    for (size_t i : fresh) {
        std::string base, ext;
        MangleParts(names[i], &base, &ext);
        for (int number = 1; shortNames[i].empty(); ++number) {
            std::string suffix = "~" + std::to_string(number);
            std::string candidate = base.substr(0, 8 - suffix.size()) + suffix + (ext.empty() ? "" : "." + ext);
            if (inUse.insert(candidate).second) shortNames[i] = candidate;
        }
        givenHere[names[i]] = shortNames[i];
    }
    return shortNames;
}

// Short name of one existing component in a host folder.
// A name that already fits 8.3 has no other short name and comes back as stored.
std::string ShortComponent(const std::string& folder, const std::string& onDisk, SimState& state) {
    if (!state.shortNames || IsLegal83(onDisk)) return onDisk;
    std::vector<std::string> names = ListFolder(folder);
    size_t at = std::find(names.begin(), names.end(), onDisk) - names.begin();
    if (at == names.size()) names.push_back(onDisk);
    return ShortNamesOf(folder, names, state)[at];
}

bool ParseDrive(const std::string& path, int* index, std::string* rest) {
    if (path.size() < 2 || path[1] != ':' || !isalpha(static_cast<unsigned char>(path[0]))) return false;
    *index = toupper(static_cast<unsigned char>(path[0])) - 'A';
    *rest = path.substr(2);
    return true;
}

// Finds the host name of one component in a host folder: the exact name when
// it exists, else the first listed name equal without regard to case, else
// the long name whose generated short name it is.
std::string MatchComponent(const std::string& folder, const std::string& component, SimState& state) {
    struct stat info;
    std::string exact = folder + "/" + component;
    if (lstat(exact.c_str(), &info) == 0) return component;
    std::vector<std::string> names = ListFolder(folder);
    for (const std::string& name : names)
        if (SameTextIgnoringCase(name, component)) return name;
    if (state.shortNames && component.find('~') != std::string::npos) {
        std::vector<std::string> shortNames = ShortNamesOf(folder, names, state);
        for (size_t i = 0; i < names.size(); ++i)
            if (!shortNames[i].empty() && SameTextIgnoringCase(shortNames[i], component)) return names[i];
    }
    return component;
}

// Windows drops trailing dots and blanks of a path component.
std::string TrimComponent(const std::string& component) {
    if (component == "." || component == "..") return component;
    size_t end = component.find_last_not_of(". ");
    return end == std::string::npos ? component : component.substr(0, end + 1);
}

}  // namespace

SimFileSystem::SimFileSystem(SimState& state) : state_(state) {
    const char* base = getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/cordafix-sim-XXXXXX";
    std::vector<char> buffer(templ.begin(), templ.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data())) hostRoot_ = buffer.data();
}

SimFileSystem::~SimFileSystem() {
    for (int open : state_.descriptors) close(open);
    state_.descriptors.clear();
    if (!hostRoot_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(hostRoot_, ignored);
    }
}

// --- set-up -------------------------------------------------------------------

void SimFileSystem::MapDrive(char letter, const std::string& hostFolder, uint32_t type) {
    int index = toupper(static_cast<unsigned char>(letter)) - 'A';
    if (index < 0 || index >= 26) return;
    std::error_code ignored;
    std::filesystem::create_directories(hostFolder, ignored);
    state_.drives[index].host = hostFolder;
    state_.drives[index].type = type;
}

std::string SimFileSystem::AddDrive(char letter, uint32_t type) {
    std::string folder = hostRoot_ + "/drive_" + static_cast<char>(tolower(static_cast<unsigned char>(letter)));
    MapDrive(letter, folder, type);
    return folder;
}

std::string SimFileSystem::HostPath(const std::string& windowsPath) const {
    int index;
    std::string rest;
    if (!ParseDrive(windowsPath, &index, &rest)) return "";
    const Drive& drive = state_.drives[index];
    if (drive.host.empty()) return "";
    std::vector<std::string> resolved;
    for (const std::string& raw : SplitComponents(rest)) {
        std::string component = TrimComponent(raw);
        if (HasInvalidNameCharacter(component)) return "";
        if (component == "." || component.empty()) continue;
        if (component == "..") {
            if (!resolved.empty()) resolved.pop_back();
            continue;
        }
        std::string folder = drive.host;
        for (const std::string& part : resolved) folder += "/" + part;
        resolved.push_back(MatchComponent(folder, component, state_));
    }
    std::string host = drive.host;
    for (const std::string& part : resolved) host += "/" + part;
    return host;
}

bool SimFileSystem::WriteFile(const std::string& windowsPath, const std::string& bytes) {
    std::string host = HostPath(windowsPath);
    if (host.empty()) return false;
    std::error_code ignored;
    std::filesystem::create_directories(ParentOfHostPath(host), ignored);
    FILE* file = fopen(host.c_str(), "wb");
    if (!file) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && ok;
}

bool SimFileSystem::WriteFile(const std::string& windowsPath, const std::vector<uint8_t>& bytes) {
    return WriteFile(windowsPath, std::string(bytes.begin(), bytes.end()));
}

bool SimFileSystem::MakeFolder(const std::string& windowsPath) {
    std::string host = HostPath(windowsPath);
    if (host.empty()) return false;
    std::error_code error;
    std::filesystem::create_directories(host, error);
    return IsFolder(host);
}

bool SimFileSystem::Exists(const std::string& windowsPath) const {
    struct stat info;
    return StatPath(HostPath(windowsPath), &info);
}

std::string SimFileSystem::ReadFile(const std::string& windowsPath) const {
    std::string host = HostPath(windowsPath);
    std::string content;
    FILE* file = host.empty() ? nullptr : fopen(host.c_str(), "rb");
    if (!file) return content;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, got);
    fclose(file);
    return content;
}

void SimFileSystem::LockFile(const std::string& windowsPath) { state_.locked.insert(HostPath(windowsPath)); }
void SimFileSystem::UnlockFile(const std::string& windowsPath) { state_.locked.erase(HostPath(windowsPath)); }
void SimFileSystem::DenyAttributes(const std::string& windowsPath) {
    state_.deniedAttributes.insert(HostPath(windowsPath));
}
void SimFileSystem::DenyListing(const std::string& windowsPath) {
    state_.deniedListing.insert(HostPath(windowsPath));
}
void SimFileSystem::GenerateShortNames(bool on) { state_.shortNames = on; }

void SimFileSystem::SetWindowsDirectory(const std::string& path) { state_.windowsDirectory = path; }
void SimFileSystem::SetSystemDirectory(const std::string& path) { state_.systemDirectory = path; }
void SimFileSystem::SetTempPath(const std::string& path) { state_.tempPath = path; }
void SimFileSystem::SetEnvironment(const std::string& name, const std::string& value) {
    state_.environment[UpperCase(name)] = {name, value};
}

int SimFileSystem::OpenDescriptorCount() const {
    return static_cast<int>(state_.descriptors.size());
}
// --- drives, folders and files --------------------------------------------------

uint32_t SimFileSystem::DriveType(const char* root) {
    std::string text = root ? root : "";
    int index;
    std::string rest;
    if (!ParseDrive(text, &index, &rest) || !(rest.empty() || rest == "\\")) return kDriveNoRootDir;
    const Drive& drive = state_.drives[index];
    return drive.host.empty() ? kDriveNoRootDir : drive.type;
}

namespace {

bool IsDriveRoot(const std::string& windowsFolder) {
    std::string rest = windowsFolder.size() >= 2 ? windowsFolder.substr(2) : "";
    return SplitComponents(rest).empty();
}

// What a listing knows of one host path. A host symbolic link is what a
// junction or symbolic link is on Windows: a reparse point, listed as the
// kind of thing it leads to (a folder or a file) but with its own size, 0.
// A link that leads nowhere lists as a file link.
struct HostEntry {
    struct stat info;
    bool link = false;
};

bool ReadHostEntry(const std::string& host, HostEntry* entry) {
    if (host.empty() || lstat(host.c_str(), &entry->info) != 0) return false;
    entry->link = S_ISLNK(entry->info.st_mode);
    if (entry->link && stat(host.c_str(), &entry->info) != 0) {
        entry->info.st_mode = S_IFREG | 0644;
    }
    if (entry->link) entry->info.st_size = 0;
    return true;
}

uint32_t AttributesOf(const std::map<std::string, uint32_t>& stored, const std::string& host,
                      const HostEntry& entry) {
    const struct stat& info = entry.info;
    bool folder = S_ISDIR(info.st_mode);
    auto found = stored.find(host);
    uint32_t extra = found != stored.end() ? found->second : (folder ? 0 : kAttrArchive);
    uint32_t result = extra & (kAttrHidden | kAttrSystem | kAttrArchive | (folder ? kAttrReadOnly : 0));
    if (entry.link) result |= kAttrReparsePoint;
    if (folder) return result | kAttrDirectory;
    if (!(info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) result |= kAttrReadOnly;
    return result ? result : kAttrNormal;
}

// Appends the entry for one host path under the given name and short name;
// false when it vanished.
bool AddEntry(const std::map<std::string, uint32_t>& stored, const std::string& host, const std::string& name,
              const std::string& shortName, std::vector<FindEntry>* entries) {
    HostEntry found;
    if (!ReadHostEntry(host, &found)) return false;
    FindEntry entry;
    uint64_t size = S_ISDIR(found.info.st_mode) ? 0 : static_cast<uint64_t>(found.info.st_size);
    FillFindEntry(HasHighBytes(name) ? ListedName(name) : name, shortName.c_str(), AttributesOf(stored, host, found),
                  size, &entry);
    entries->push_back(entry);
    return true;
}

// A folder's entries matching a wildcard pattern, in listing order; "." and
// ".." come first except at a drive root (as Windows and Wine list them).
std::vector<FindEntry> MatchingEntries(SimState& state, const std::string& folder, const std::string& namePattern,
                                       bool driveRoot) {
    const std::map<std::string, uint32_t>& stored = state.attributes;
    std::string wildcard = WildcardPattern(namePattern);
    std::vector<FindEntry> entries;
    if (!driveRoot) {
        if (NameMatches(wildcard, ".")) AddEntry(stored, folder, ".", "", &entries);
        if (NameMatches(wildcard, "..")) AddEntry(stored, ParentOfHostPath(folder), "..", "", &entries);
    }
    std::vector<std::string> names = ListFolder(folder);
    std::vector<std::string> shortNames = ShortNamesOf(folder, names, state);
    for (size_t i = 0; i < names.size(); ++i)
        if (NameMatches(wildcard, names[i].c_str()))
            AddEntry(stored, folder + "/" + names[i], names[i], shortNames[i], &entries);
    return entries;
}

}  // namespace

SearchHandle SimFileSystem::FindFirst(const char* pattern, FindEntry* entry) {
    std::string text = pattern ? pattern : "";
    std::string windowsFolder, namePattern;
    SplitFindPattern(text, &windowsFolder, &namePattern);
    std::string folder = HostPath(windowsFolder);
    if (!IsFolder(folder)) {
        state_.lastError = kErrorPathNotFound;
        return kNoSearch;
    }
    if (state_.deniedListing.count(folder)) {
        state_.lastError = kErrorAccessDenied;
        return kNoSearch;
    }
    Search search;
    search.pattern = text;
    if (HasWildcard(namePattern)) {
        search.entries = MatchingEntries(state_, folder, namePattern, IsDriveRoot(windowsFolder));
    } else if (!namePattern.empty()) {
        std::string host = HostPath(text);
        std::string name = host.substr(host.find_last_of('/') + 1);
        std::string shortName = ShortComponent(ParentOfHostPath(host), name, state_);
        AddEntry(state_.attributes, host, name, shortName == name ? "" : shortName, &search.entries);
    }
    if (search.entries.empty()) {
        state_.lastError = kErrorFileNotFound;
        return kNoSearch;
    }
    SearchHandle handle = state_.nextSearch++;
    *entry = search.entries[0];
    search.next = 1;
    state_.searches[handle] = search;
    if (onFindEntry) onFindEntry(text.c_str(), *entry);
    return handle;
}

bool SimFileSystem::FindNext(SearchHandle handle, FindEntry* entry) {
    auto found = state_.searches.find(handle);
    if (found == state_.searches.end()) {
        state_.lastError = kErrorInvalidHandle;
        return false;
    }
    Search& search = found->second;
    if (search.next >= search.entries.size()) {
        state_.lastError = kErrorNoMoreFiles;
        return false;
    }
    *entry = search.entries[search.next++];
    if (onFindEntry) onFindEntry(search.pattern.c_str(), *entry);
    return true;
}

void SimFileSystem::FindEnd(SearchHandle handle) { state_.searches.erase(handle); }

uint32_t SimFileSystem::GetAttributes(const char* path) {
    std::string host = HostPath(path ? path : "");
    HostEntry entry;
    if (!ReadHostEntry(host, &entry)) {
        state_.lastError = IsFolder(ParentOfHostPath(host)) ? kErrorFileNotFound : kErrorPathNotFound;
        return kInvalidAttributes;
    }
    return AttributesOf(state_.attributes, host, entry);
}

bool SimFileSystem::SetAttributes(const char* path, uint32_t attributes) {
    if (state_.Injected(FaultKind::AttributeSet)) return false;
    std::string host = HostPath(path ? path : "");
    struct stat info;
    if (!StatPath(host, &info)) {
        state_.lastError = IsFolder(ParentOfHostPath(host)) ? kErrorFileNotFound : kErrorPathNotFound;
        return false;
    }
    if (state_.deniedAttributes.count(host)) {
        state_.lastError = kErrorAccessDenied;
        return false;
    }
    bool folder = S_ISDIR(info.st_mode);
    uint32_t kept = attributes & (kAttrHidden | kAttrSystem | kAttrArchive | (folder ? kAttrReadOnly : 0));
    state_.attributes[host] = kept;
    if (!folder) {
        mode_t mode = info.st_mode & 07777;
        mode = (attributes & kAttrReadOnly) ? (mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
        chmod(host.c_str(), mode);
    }
    return true;
}

namespace {

// The error a missing path gives: 2 when its folder exists, 3 when not.
int32_t MissingError(const std::string& host) {
    return IsFolder(ParentOfHostPath(host)) ? kErrorFileNotFound : kErrorPathNotFound;
}

bool IsReadOnlyFile(const struct stat& info) {
    return !S_ISDIR(info.st_mode) && !(info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH));
}

bool CopyHostFile(const std::string& from, const std::string& to) {
    std::error_code error;
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, error);
    return !error;
}

}  // namespace

bool SimFileSystem::DeletePath(const char* path) {
    if (state_.Injected(FaultKind::Delete)) return false;
    std::string host = HostPath(path ? path : "");
    struct stat info;
    if (!StatPath(host, &info)) {
        state_.lastError = host.empty() ? kErrorPathNotFound : MissingError(host);
        return false;
    }
    if (S_ISDIR(info.st_mode) || IsReadOnlyFile(info)) {
        state_.lastError = kErrorAccessDenied;
        return false;
    }
    if (state_.locked.count(host)) {
        state_.lastError = kErrorSharingViolation;
        return false;
    }
    if (unlink(host.c_str()) != 0) {
        state_.lastError = kErrorAccessDenied;
        return false;
    }
    state_.attributes.erase(host);
    return true;
}

namespace {

// Moves one host path; across file systems a file is copied and removed.
bool MoveHost(const std::string& from, const std::string& to) {
    if (rename(from.c_str(), to.c_str()) == 0) return true;
    if (errno != EXDEV || IsFolder(from)) return false;
    return CopyHostFile(from, to) && unlink(from.c_str()) == 0;
}

}  // namespace

int32_t SimState::MoveRefusal(const std::string& source, const std::string& target,
                                        bool replace) const {
    struct stat info;
    if (!StatPath(source, &info)) return source.empty() ? kErrorPathNotFound : MissingError(source);
    if (locked.count(source)) return kErrorSharingViolation;
    if (target.empty() || !IsFolder(ParentOfHostPath(target))) return kErrorPathNotFound;
    struct stat existing;
    if (!StatPath(target, &existing)) return kErrorSuccess;
    if (existing.st_ino == info.st_ino && existing.st_dev == info.st_dev) return kErrorSuccess;  // same file
    if (!replace) return kErrorAlreadyExists;
    if (S_ISDIR(existing.st_mode) || S_ISDIR(info.st_mode) || IsReadOnlyFile(existing)) return kErrorAccessDenied;
    if (locked.count(target)) return kErrorSharingViolation;
    return kErrorSuccess;
}

bool SimFileSystem::MovePath(const char* from, const char* to) { return MovePathEx(from, to, 0); }

bool SimFileSystem::MovePathEx(const char* from, const char* to, uint32_t flags) {
    if (state_.Injected(FaultKind::Move)) return false;
    bool noTarget = to == nullptr || *to == '\0';
    if (flags & kMoveDelayUntilReboot) {
        if (refuseDelayedDelete) {
            state_.lastError = kErrorAccessDenied;
            return false;
        }
        if (noTarget) pendingDeletes.push_back(from ? from : "");
        else pendingRenames.push_back({from ? from : "", to});
        return true;
    }
    if (noTarget) {
        state_.lastError = kErrorInvalidParameter;
        return false;
    }
    std::string source = HostPath(from ? from : "");
    std::string target = HostPath(to);
    // A new name that differs only in case names the same file; the move
    // then gives it the new spelling, as NTFS does.
    std::vector<std::string> parts = SplitComponents(to);
    if (!target.empty() && !parts.empty() && target == source) target = ParentOfHostPath(target) + "/" + TrimComponent(parts.back());
    int32_t error = state_.MoveRefusal(source, target, (flags & kMoveReplaceExisting) != 0);
    if (error == kErrorSuccess && !MoveHost(source, target)) error = kErrorAccessDenied;
    if (error != kErrorSuccess) {
        state_.lastError = error;
        return false;
    }
    auto stored = state_.attributes.find(source);
    if (stored != state_.attributes.end()) {
        uint32_t value = stored->second;
        state_.attributes.erase(stored);
        state_.attributes[target] = value;
    }
    return true;
}

bool SimFileSystem::CopyPath(const char* from, const char* to, bool failIfExists) {
    if (state_.Injected(FaultKind::Copy)) return false;
    std::string source = HostPath(from ? from : "");
    std::string target = HostPath(to ? to : "");
    struct stat info;
    if (!StatPath(source, &info)) {
        state_.lastError = source.empty() ? kErrorPathNotFound : MissingError(source);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        state_.lastError = kErrorAccessDenied;
        return false;
    }
    if (target.empty() || !IsFolder(ParentOfHostPath(target))) {
        state_.lastError = kErrorPathNotFound;
        return false;
    }
    struct stat targetInfo;
    if (StatPath(target, &targetInfo)) {
        if (failIfExists) {
            state_.lastError = kErrorFileExists;
            return false;
        }
        // CopyFileA refuses to overwrite a hidden or read-only file.
        auto stored = state_.attributes.find(target);
        bool hidden = stored != state_.attributes.end() && (stored->second & kAttrHidden) != 0;
        if (S_ISDIR(targetInfo.st_mode) || IsReadOnlyFile(targetInfo) || hidden) {
            state_.lastError = kErrorAccessDenied;
            return false;
        }
        if (state_.locked.count(target)) {
            state_.lastError = kErrorSharingViolation;
            return false;
        }
    }
    if (!CopyHostFile(source, target)) {
        state_.lastError = kErrorAccessDenied;
        return false;
    }
    // The copy carries the source's attributes, as CopyFileA does.
    chmod(target.c_str(), info.st_mode & 07777);
    auto stored = state_.attributes.find(source);
    if (stored != state_.attributes.end()) state_.attributes[target] = stored->second;
    else state_.attributes.erase(target);
    return true;
}

uint32_t SimFileSystem::ShortPath(const char* longPath, char* buffer, uint32_t size) {
    if (state_.Injected(FaultKind::ShortPath)) return 0;
    std::string text = longPath ? longPath : "";
    int index;
    std::string rest;
    std::string host = HostPath(text);
    struct stat info;
    if (!ParseDrive(text, &index, &rest) || !StatPath(host, &info)) {
        state_.lastError = kErrorFileNotFound;
        return 0;
    }
    std::string result = text.substr(0, 2);
    std::string folder = state_.drives[index].host;
    size_t position = 2;
    while (position < text.size()) {
        if (IsSeparator(text[position])) {
            result += text[position++];
            continue;
        }
        size_t end = text.find_first_of("\\/", position);
        if (end == std::string::npos) end = text.size();
        std::string component = text.substr(position, end - position);
        position = end;
        if (component == "." || component == "..") {
            result += component;
            folder = component == ".." ? ParentOfHostPath(folder) : folder;
            continue;
        }
        std::string onDisk = MatchComponent(folder, TrimComponent(component), state_);
        result += ShortComponent(folder, onDisk, state_);
        folder += "/" + onDisk;
    }
    return CopyOut(result, buffer, size);
}

uint32_t SimFileSystem::TempPath(char* buffer, uint32_t size) { return CopyOut(state_.tempPath, buffer, size); }

uint32_t SimFileSystem::SystemDirectory(char* buffer, uint32_t size) {
    return CopyOut(state_.systemDirectory, buffer, size);
}

uint32_t SimFileSystem::WindowsDirectory(char* buffer, uint32_t size) {
    return CopyOut(state_.windowsDirectory, buffer, size);
}

uint32_t SimFileSystem::ExpandEnvironment(const char* source, char* buffer, uint32_t size) {
    if (!source) {
        state_.lastError = kErrorInvalidParameter;
        return 0;
    }
    auto lookup = [this](const std::string& name, std::string* value) {
        auto found = state_.environment.find(name);
        if (found != state_.environment.end()) *value = found->second.second;
        else if (name == "SYSTEMROOT" || name == "WINDIR") *value = state_.windowsDirectory;
        else return false;
        return true;
    };
    return ExpandEnvironmentAnswer(source, lookup, buffer, size);
}

// --- descriptor calls -----------------------------------------------------------

int SimFileSystem::FileOpen(const char* path, int flags, int permission) {
    if (onFileOpen) onFileOpen(path ? path : "");
    if (state_.Injected(FaultKind::Open)) return -1;
    std::string host = HostPath(path ? path : "");
    struct stat info;
    bool exists = StatPath(host, &info);
    int access = flags & 3;
    bool writes = access == kOpenWriteOnly || access == kOpenReadWrite || (flags & kOpenTruncate);
    if (host.empty() || (exists && S_ISDIR(info.st_mode))) {
        errno = host.empty() ? ENOENT : EACCES;
        return -1;
    }
    if (exists && (flags & kOpenCreate) && (flags & kOpenExclusive)) {
        errno = EEXIST;
        return -1;
    }
    if (exists && writes && (IsReadOnlyFile(info) || state_.locked.count(host))) {
        state_.lastError = state_.locked.count(host) ? kErrorSharingViolation : kErrorAccessDenied;
        errno = EACCES;
        return -1;
    }
    int hostFlags = access == kOpenWriteOnly ? O_WRONLY : access == kOpenReadWrite ? O_RDWR : O_RDONLY;
    if (flags & kOpenAppend) hostFlags |= O_APPEND;
    if (flags & kOpenCreate) hostFlags |= O_CREAT;
    if (flags & kOpenTruncate) hostFlags |= O_TRUNC;
    if (flags & kOpenExclusive) hostFlags |= O_EXCL;
    // The runtime makes a new file read-only when write permission is not asked for.
    mode_t mode = (permission & kPermWrite) ? 0666 : 0444;
    // Never blocks on a FIFO without a writer: Wine's open does not either.
    int fd = open(host.c_str(), hostFlags | O_CLOEXEC | O_NONBLOCK, mode);
    if (fd < 0) return -1;
    state_.descriptors.insert(fd);
    return fd;
}

int32_t SimFileSystem::FileLength(int fd) {
    if (state_.Injected(FaultKind::Seek)) return -1;
    struct stat info;
    if (!state_.descriptors.count(fd) || fstat(fd, &info) != 0 || info.st_size > 0x7FFFFFFF) {
        errno = EBADF;
        return -1;
    }
    return static_cast<int32_t>(info.st_size);
}

int32_t SimFileSystem::FileSeek(int fd, int32_t offset, int origin) {
    if (state_.Injected(FaultKind::Seek)) return -1;
    if (!state_.descriptors.count(fd)) {
        errno = EBADF;
        return -1;
    }
    int64_t base = 0;
    if (origin == kSeekCur) {
        base = lseek(fd, 0, SEEK_CUR);
    } else if (origin == kSeekEnd) {
        struct stat info;
        if (fstat(fd, &info) != 0) return -1;
        base = info.st_size;
    }
    int64_t target = SeekTarget(origin, base, offset);
    if (target < 0) {
        errno = EINVAL;
        return -1;
    }
    if (lseek(fd, static_cast<off_t>(target), SEEK_SET) < 0) return -1;
    return static_cast<int32_t>(target);
}

namespace {

// A descriptor this file system opened; else errno tells EBADF.
bool Known(const SimState& state, int fd) {
    if (state.descriptors.count(fd)) return true;
    errno = EBADF;
    return false;
}

}  // namespace

int SimFileSystem::FileRead(int fd, void* buffer, uint32_t count) {
    if (state_.Injected(FaultKind::Read) || !Known(state_, fd)) return -1;
    ssize_t got = read(fd, buffer, count);
    return got < 0 ? -1 : static_cast<int>(got);
}

int SimFileSystem::FileWrite(int fd, const void* buffer, uint32_t count) {
    if (state_.Injected(FaultKind::Write) || !Known(state_, fd)) return -1;
    ssize_t put = write(fd, buffer, count);
    return put < 0 ? -1 : static_cast<int>(put);
}

int SimFileSystem::FileClose(int fd) {
    if (!state_.descriptors.count(fd)) {
        errno = EBADF;
        return -1;
    }
    state_.descriptors.erase(fd);
    bool closed = close(fd) == 0;
    bool injected = state_.Injected(FaultKind::Close);
    return closed && !injected ? 0 : -1;
}

int SimFileSystem::FileAccess(const char* path, int mode) {
    std::string host = HostPath(path ? path : "");
    struct stat info;
    if (!StatPath(host, &info)) {
        errno = ENOENT;
        return -1;
    }
    if ((mode & 2) && IsReadOnlyFile(info)) {
        errno = EACCES;
        return -1;
    }
    return 0;
}

