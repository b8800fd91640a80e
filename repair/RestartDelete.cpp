#include "repair/RestartDelete.h"

#include <cstring>

#include "common/Shared.h"
#include "repair/Repair.h"

namespace {

const size_t kWindowsPathSize = 350;
const size_t kPathSize = 260;
const int kLineSize = 648;
const char kScriptName[] = "\\wininit.ini";
// The new script is written here first, beside the old one, so that a
// failed write never leaves the system a half-written script to act on.
const char kNewScriptName[] = "\\wininit.$$n";
// Where the old script waits while the new one moves in, when the system
// cannot replace a file in one move (the 9x family has no MoveFileEx).
const char kOldScriptName[] = "\\wininit.$$o";
const char kRenameHeader[] = "[rename]";
const char kCrLf[] = "\r\n";

bool WindowsFilePath(const char* name, char* path, size_t size) {
    char directory[kWindowsPathSize];
    uint32_t length = SysFiles().WindowsDirectory(directory, sizeof directory);
    if (length == 0 || length >= sizeof directory) return false;
    return CopyText(path, size, directory) && AppendText(path, size, name);
}

bool WorkingCopyPath(char* path, size_t size) {
    char directory[kPathSize];
    uint32_t length = SysFiles().TempPath(directory, sizeof directory);
    if (length == 0 || length >= sizeof directory) return false;
    return CopyText(path, size, directory) && AppendText(path, size, "wininit.ini");
}

// _strnicmp over ASCII letters, as the 9x start-up reads the header.
bool SameStartNoCase(const char* text, const char* prefix) {
    for (; *prefix; ++text, ++prefix) {
        char a = *text >= 'A' && *text <= 'Z' ? static_cast<char>(*text - 'A' + 'a') : *text;
        if (a != *prefix) return false;
    }
    return true;
}

bool WriteText(int fd, const char* text) {
    size_t length = strlen(text);
    return SysFiles().FileWrite(fd, text, static_cast<uint32_t>(length)) == static_cast<int>(length);
}

bool WriteEntry(int fd, const char* destination, const char* source) {
    return WriteText(fd, destination) && WriteText(fd, "=") && WriteText(fd, source) && WriteText(fd, kCrLf);
}

// Copies the old script's lines to fd, placing the entry as the last line of
// the first rename section (or in a new section at the end).
bool CopyWithEntry(TextFile old, int fd, const char* destination, const char* source) {
    bool inSection = false;
    bool written = false;
    // A read that did not end in a line end continues the same line on the
    // next read; only reads that start a line can be a section header.
    bool atLineStart = true;
    bool endsInLineEnd = true;
    char line[kLineSize];
    while (SysFiles().TextReadLine(old, line, sizeof line)) {
        size_t length = strlen(line);
        if (!written && atLineStart) {
            if (inSection && line[0] == '[') {
                if (!WriteEntry(fd, destination, source)) return false;
                written = true;
            } else if (!inSection && SameStartNoCase(line, kRenameHeader)) {
                inSection = true;
            }
        }
        if (SysFiles().FileWrite(fd, line, static_cast<uint32_t>(length)) != static_cast<int>(length)) return false;
        endsInLineEnd = length == 0 || line[length - 1] == '\n';
        atLineStart = endsInLineEnd;
    }
    if (written) return true;
    // A last line without its line end would otherwise run into the entry.
    if (!endsInLineEnd && !WriteText(fd, kCrLf)) return false;
    if (!inSection && !WriteText(fd, "[rename]\r\n")) return false;
    return WriteEntry(fd, destination, source);
}

bool CloseAll(int fd, TextFile old, bool result) {
    if (old != 0) SysFiles().TextClose(old);
    if (SysFiles().FileClose(fd) != 0) return false;
    return result;
}

// Writes the new script beside the old one. Reads the old script through
// its working copy in the temporary folder (old == 0: there is none).
bool WriteNewScript(const char* newPath, TextFile old, const char* destination, const char* source) {
    int fd = SysFiles().FileOpen(newPath, kOpenWriteOnly | kOpenCreate | kOpenTruncate | kOpenBinary,
                            kPermRead | kPermWrite);
    if (fd < 0) {
        if (old != 0) SysFiles().TextClose(old);
        return false;
    }
    bool complete = old != 0 ? CopyWithEntry(old, fd, destination, source)
                             : WriteText(fd, "[rename]\r\n") && WriteEntry(fd, destination, source);
    return CloseAll(fd, old, complete);
}

// The script may be replaced only where it could have been rewritten in place.
bool ScriptIsWritable(const char* scriptPath) {
    int fd = SysFiles().FileOpen(scriptPath, kOpenWriteOnly | kOpenBinary, 0);
    if (fd < 0) return false;
    SysFiles().FileClose(fd);
    return true;
}

// Puts the complete new script in place of the old one.
bool ReplaceScript(const char* newPath, const char* scriptPath) {
    if (SysFiles().MovePathEx(newPath, scriptPath, kMoveReplaceExisting)) return true;
    char oldPath[kWindowsPathSize + sizeof kOldScriptName];
    if (!WindowsFilePath(kOldScriptName, oldPath, sizeof oldPath)) return false;
    if (!SysFiles().MovePath(scriptPath, oldPath)) return false;
    if (!SysFiles().MovePath(newPath, scriptPath)) {
        SysFiles().MovePath(oldPath, scriptPath);
        return false;
    }
    SysFiles().DeletePath(oldPath);
    return true;
}

bool AddToNewScript(const char* scriptPath, const char* newPath, const char* destination, const char* source) {
    if (!WriteNewScript(newPath, 0, destination, source)) return false;
    // Never over a script that appeared meanwhile.
    return SysFiles().MovePath(newPath, scriptPath);
}

bool AddToExistingScript(const char* scriptPath, const char* newPath, const char* destination,
                         const char* source) {
    char copyPath[kPathSize + sizeof "wininit.ini"];
    if (!WorkingCopyPath(copyPath, sizeof copyPath)) return false;
    if (!SysFiles().CopyPath(scriptPath, copyPath, false)) return false;
    TextFile old = SysFiles().TextOpenRead(copyPath);
    if (old == 0) return false;
    if (!ScriptIsWritable(scriptPath)) {
        SysFiles().TextClose(old);
        return false;
    }
    if (!WriteNewScript(newPath, old, destination, source)) return false;
    return ReplaceScript(newPath, scriptPath);
}

}  // namespace

bool AddRenameScriptEntry(const char* destination, const char* source) {
    char scriptPath[kWindowsPathSize + sizeof kScriptName];
    char newPath[kWindowsPathSize + sizeof kNewScriptName];
    if (!WindowsFilePath(kScriptName, scriptPath, sizeof scriptPath) ||
        !WindowsFilePath(kNewScriptName, newPath, sizeof newPath))
        return false;
    bool exists = SysFiles().FileAccess(scriptPath, 0) == 0;
    bool done = exists ? AddToExistingScript(scriptPath, newPath, destination, source)
                       : AddToNewScript(scriptPath, newPath, destination, source);
    if (!done) SysFiles().DeletePath(newPath);
    return done;
}

int ScheduleDeleteAtRestart(const char* path) {
    switch (GetPlatformFamily()) {
        case 5:
            // A refused delayed deletion would leave the file in place after
            // the restart; the caller must not offer one for it.
            return SysFiles().MovePathEx(path, nullptr, kMoveDelayUntilReboot) ? 1 : 0;
        case 4: {
            char shortPath[kPathSize];
            uint32_t length = SysFiles().ShortPath(path, shortPath, sizeof shortPath);
            // The 9x start-up reads only short names; without one nothing can be entered.
            if (length == 0 || length >= sizeof shortPath) return 0;
            return AddRenameScriptEntry("NUL", shortPath) ? 1 : 0;
        }
        default:
            return 0;
    }
}
