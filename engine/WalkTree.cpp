#include "engine/WalkTree.h"

#include <cstring>

#include "common/Shared.h"
#include "engine/Disposition.h"
#include "engine/FileMatcher.h"
#include "engine/ShortenPath.h"

const FileCheckerEntry FileCheckerList[] = {
    {"W32/Drovak.Trojan", CheckAndCleanFile},
    {nullptr, nullptr},
};
const FileCheckerEntry* ActiveFileCheckerList = FileCheckerList;

char ProgramFilesPattern[kPathSize];
int32_t ProgramFilesPending;
int32_t ProgramFilesVisited;
void (*OnPathTooLong)(const char* folder, const char* name, bool isFolder) = nullptr;

namespace {

const int kStatusWidth = 60;
const int kProgramFilesRuleLength = 6;  // a drive root pattern such as C:\*.*

// Step results inside one walk level.
const int kGoOn = 1;
const int kCancelled = 0;
const int kMalformed = -1;

bool IsDotEntry(const char* name) { return strcmp(name, ".") == 0 || strcmp(name, "..") == 0; }

bool IsFolder(const FindEntry& entry) { return (entry.attributes & kAttrDirectory) != 0; }

// A junction, symbolic link or mount point may lead anywhere: back up the
// tree (an endless walk), or off the drive to files that are not its own.
bool IsReparsePoint(const FindEntry& entry) { return (entry.attributes & kAttrReparsePoint) != 0; }

// Bytes of a name that the 8-bit calls refuse or read otherwise: control
// characters, the wildcards ? * < > and | " (a character outside the code
// page is listed as "?"), and the backslash, a folder separator to them.
struct UnopenableBytes {
    bool byte[256];
    constexpr UnopenableBytes() : byte() {
        for (int c = 0; c < 0x20; ++c) byte[c] = true;
        for (const char* c = "?*<>|\"\\"; *c != '\0'; ++c) byte[static_cast<unsigned char>(*c)] = true;
    }
};
constexpr UnopenableBytes kUnopenable;

// Whether the 8-bit calls can open a listed name; they also drop a trailing
// dot or blank. Decided from the name alone, with no call per file.
bool OpensUnderListedName(const char* name, size_t length) {
    if (length == 0 || IsDotEntry(name)) return true;
    if (name[length - 1] == '.' || name[length - 1] == ' ') return false;
    for (size_t i = 0; i < length; ++i) {
        if (kUnopenable.byte[static_cast<unsigned char>(name[i])]) return false;
    }
    return true;
}

// The name under which an entry is reached: its short name when the file
// system keeps one and the long one cannot be opened.
const char* ReachableName(const FindEntry& entry) {
    if (entry.shortName[0] == '\0' || memchr(entry.shortName, '\0', sizeof entry.shortName) == nullptr)
        return entry.name;
    const void* end = memchr(entry.name, '\0', sizeof entry.name);
    if (end == nullptr) return entry.name;  // refused when the path is formed
    size_t length = static_cast<size_t>(static_cast<const char*>(end) - entry.name);
    return OpensUnderListedName(entry.name, length) ? entry.name : entry.shortName;
}

// The folder part of a pattern: everything before the character that
// precedes its last "." (C:\Windows\*.* gives C:\Windows\). False when the
// pattern holds no ".".
bool FolderOfPattern(const char* pattern, char* folder) {
    const char* dot = strrchr(pattern, '.');
    if (dot == nullptr) return false;
    size_t length = static_cast<size_t>(dot - pattern);
    if (length > 0) --length;
    memcpy(folder, pattern, length);  // length < strlen(pattern) < kPathSize
    folder[length] = '\0';
    return true;
}

// folder + name (+ suffix); false when the result would not fit, or when the
// listed name is not a terminated text.
bool JoinPath(char* path, const char* folder, const char* name, const char* suffix) {
    if (memchr(name, '\0', sizeof(FindEntry::name)) == nullptr) return false;
    return CopyText(path, kPathSize, folder) && AppendText(path, kPathSize, name) &&
           AppendText(path, kPathSize, suffix);
}

bool CancelledAfterPump() {
    PumpScanMessages();
    return ScanCancelled != 0;
}

void ApplyProgramFilesRule(const char* pattern) {
    CopyText(ProgramFilesPattern, sizeof ProgramFilesPattern, pattern);
    char* colon = strchr(ProgramFilesPattern, ':');
    if (colon == nullptr) return;
    colon[1] = '\0';
    AppendText(ProgramFilesPattern, sizeof ProgramFilesPattern, "\\Program Files");
    if (SysFiles().GetAttributes(ProgramFilesPattern) == kInvalidAttributes) return;
    ProgramFilesPending = 1;
    AppendText(ProgramFilesPattern, sizeof ProgramFilesPattern, "\\*.*");
}

void ShowEntryInStatus(const char* path) {
    char shown[kPathSize];
    ShortenPath(path, shown, sizeof shown, kStatusWidth);
    PostStatusText(shown);
}

void RunFileCheckers(const char* path, const FindEntry& entry) {
    // The matcher skips opening files whose listed length fits no record.
    ListedFileLength = static_cast<int64_t>((static_cast<uint64_t>(entry.sizeHigh) << 32) |
                                            entry.sizeLow);
    for (const FileCheckerEntry* item = ActiveFileCheckerList; item->tag != nullptr; ++item) {
        if (item->checker(item->tag, path) != 0) break;
    }
    ListedFileLength = -1;
}

// One listing of a folder, with the folder part of its pattern worked out once.
struct Listing {
    const char* pattern;
    char folder[kPathSize];
    bool hasFolder;  // false: the pattern holds no "."
};

void BeginListing(Listing* listing, const char* pattern) {
    listing->pattern = pattern;
    listing->hasFolder = FolderOfPattern(pattern, listing->folder);
}

void TellTooLong(const char* folder, const FindEntry& entry, bool isFolder) {
    const char* name = ReachableName(entry);  // a short name is known to be terminated
    bool terminated = name != entry.name || memchr(entry.name, '\0', sizeof entry.name) != nullptr;
    if (OnPathTooLong != nullptr && terminated) OnPathTooLong(folder, name, isFolder);
}

// One entry of the file pass: status line for every entry, checkers for files.
int VisitFileEntry(const Listing& listing, const FindEntry& entry) {
    if (CancelledAfterPump()) return kCancelled;
    char path[kPathSize];
    bool usable;
    if (MemoryPassActive != 0) {
        usable = CopyText(path, sizeof path, listing.pattern);
    } else {
        if (!listing.hasFolder) return kMalformed;
        usable = JoinPath(path, listing.folder, ReachableName(entry), "");
    }
    if (usable) {
        ShowEntryInStatus(path);
        if (!IsFolder(entry)) {
            if (MemoryPassActive == 0) ++FilesScanned;
            // A file link is counted, but what it leads to is never opened or changed.
            if (!IsReparsePoint(entry)) RunFileCheckers(path, entry);
        }
    } else if (MemoryPassActive == 0 && !IsFolder(entry)) {
        TellTooLong(listing.folder, entry, false);
    }
    if (CancelledAfterPump()) return kCancelled;
    return kGoOn;
}

int FilePass(const char* pattern) {
    FindEntry entry;
    SearchHandle search = SysFiles().FindFirst(pattern, &entry);
    if (search == kNoSearch) return kGoOn;
    Listing listing;
    BeginListing(&listing, pattern);
    int outcome;
    do {
        outcome = VisitFileEntry(listing, entry);
    } while (outcome == kGoOn && SysFiles().FindNext(search, &entry));
    SysFiles().FindEnd(search);
    return outcome;
}

// The pattern that lists a folder's subfolders: cut after its last "." and
// "*" appended (C:\Windows\*.* stays as it is).
bool FolderPassPattern(const char* pattern, char* folderPattern) {
    if (!CopyText(folderPattern, kPathSize, pattern)) return false;
    char* dot = strrchr(folderPattern, '.');
    if (dot != nullptr) dot[1] = '\0';
    return AppendText(folderPattern, kPathSize, "*");
}

int VisitFolderEntry(const Listing& listing, const FindEntry& entry) {
    if (CancelledAfterPump()) return kCancelled;
    if (!IsFolder(entry) || IsDotEntry(entry.name) || IsReparsePoint(entry)) return kGoOn;
    if (!listing.hasFolder) return kMalformed;
    char subPattern[kPathSize];
    if (!JoinPath(subPattern, listing.folder, ReachableName(entry), "\\*.*")) {
        TellTooLong(listing.folder, entry, true);
        return kGoOn;
    }
    if (strstr(subPattern, "\\Program Files\\") != nullptr) ProgramFilesVisited = 1;
    if (WalkTree(subPattern) == kMalformed) return kMalformed;
    return kGoOn;
}

int FolderPass(const char* pattern) {
    char folderPattern[kPathSize];
    if (!FolderPassPattern(pattern, folderPattern)) return FilesScanned;
    FindEntry entry;
    SearchHandle search = SysFiles().FindFirst(folderPattern, &entry);
    if (search == kNoSearch) return FilesScanned;
    Listing listing;
    BeginListing(&listing, pattern);
    int outcome;
    do {
        outcome = VisitFolderEntry(listing, entry);
    } while (outcome == kGoOn && SysFiles().FindNext(search, &entry));
    SysFiles().FindEnd(search);
    return outcome == kGoOn ? FilesScanned : outcome;
}

}  // namespace

int WalkTree(const char* pattern) {
    MemoryHit = 0;
    // A pattern that does not fit the walk's buffers names nothing it could reach.
    if (strnlen(pattern, kPathSize) >= kPathSize) return FilesScanned;
    if (strlen(pattern) <= static_cast<size_t>(kProgramFilesRuleLength))
        ApplyProgramFilesRule(pattern);

    int outcome = FilePass(pattern);
    if (outcome != kGoOn) return outcome;
    if (MemoryPassActive != 0) return FilesScanned;
    return FolderPass(pattern);
}

void PumpScanMessages() {
    QueuedMessage message;
    if (!SysSession().PeekOneMessage(&message)) return;
    // Escape is answered here, whichever window the key was meant for, so it
    // never closes the dialog behind the scan's back.
    if ((message.wParam & 0xFFFF) == kVkEscape) {
        if (ShowPrompt("Terminate the Scan now?", kProgramCaption, kStyleYesNoQuestion) != kAnswerNo)
            ScanCancelled = 1;
        return;
    }
    if (message.message == kWmQuit || message.message == kWmDestroy) {
        ScanCancelled = 1;
        return;
    }
    SysSession().DispatchOne(message);
}
