#include "repair/RestartDelete.h"

#include <cstring>

#include "common/Shared.h"

namespace {

const size_t kWindowsPathSize = 350;
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
bool SameStartNoCase(const char* text, size_t length, const char* prefix) {
    size_t prefixLength = strlen(prefix);
    if (length < prefixLength) return false;
    for (size_t i = 0; i < prefixLength; ++i) {
        char a = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
        if (a != prefix[i]) return false;
    }
    return true;
}

bool WriteBytes(int fd, const char* bytes, size_t length) {
    return SysFiles().FileWrite(fd, bytes, static_cast<uint32_t>(length)) == static_cast<int>(length);
}

bool WriteText(int fd, const char* text) { return WriteBytes(fd, text, strlen(text)); }

bool WriteEntry(int fd, const char* destination, const char* source) {
    return WriteText(fd, destination) && WriteText(fd, "=") && WriteText(fd, source) && WriteText(fd, kCrLf);
}

// The old script, read through a binary descriptor and cut into lines as
// the runtime's text-mode line reading cuts them (a CR LF line end reads as
// LF, at most 647 characters a line), except that every byte is data: a
// Ctrl-Z does not end the file and a NUL does not end the line.
struct ScriptReader {
    int fd;
    char block[512];
    int position;
    int filled;
    bool failed;
};

void BeginReading(ScriptReader* reader, int fd) {
    reader->fd = fd;
    reader->position = 0;
    reader->filled = 0;
    reader->failed = false;
}

// The next byte, or -1 at the end of the file or after a failed read.
int NextByte(ScriptReader* reader) {
    if (reader->position == reader->filled) {
        int got = SysFiles().FileRead(reader->fd, reader->block, sizeof reader->block);
        if (got <= 0) {
            reader->failed = reader->failed || got < 0;
            return -1;
        }
        reader->filled = got;
        reader->position = 0;
    }
    return static_cast<unsigned char>(reader->block[reader->position++]);
}

// Reads one line into line (kLineSize bytes); its length, 0 at the end.
size_t ReadScriptLine(ScriptReader* reader, char* line) {
    size_t length = 0;
    while (length < static_cast<size_t>(kLineSize - 1)) {
        int c = NextByte(reader);
        if (c < 0) break;
        if (c == '\r') {
            int next = NextByte(reader);
            if (next == '\n') {
                c = '\n';
            } else if (next >= 0) {
                --reader->position;  // the byte just read is still in the block
            }
        }
        line[length++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    return length;
}

// Copies the old script's lines to fd, placing the entry as the last line of
// the first rename section (or in a new section at the end).
bool CopyWithEntry(int old, int fd, const char* destination, const char* source) {
    ScriptReader reader;
    BeginReading(&reader, old);
    bool inSection = false;
    bool written = false;
    // A read that did not end in a line end continues the same line on the
    // next read; only reads that start a line can be a section header.
    bool atLineStart = true;
    bool endsInLineEnd = true;
    char line[kLineSize];
    size_t length;
    while ((length = ReadScriptLine(&reader, line)) > 0) {
        if (!written && atLineStart) {
            if (inSection && line[0] == '[') {
                if (!WriteEntry(fd, destination, source)) return false;
                written = true;
            } else if (!inSection && SameStartNoCase(line, length, kRenameHeader)) {
                inSection = true;
            }
        }
        if (!WriteBytes(fd, line, length)) return false;
        endsInLineEnd = line[length - 1] == '\n';
        atLineStart = endsInLineEnd;
    }
    if (reader.failed) return false;
    if (written) return true;
    // A last line without its line end would otherwise run into the entry.
    if (!endsInLineEnd && !WriteText(fd, kCrLf)) return false;
    if (!inSection && !WriteText(fd, "[rename]\r\n")) return false;
    return WriteEntry(fd, destination, source);
}

bool CloseAll(int fd, int old, bool result) {
    if (old >= 0) SysFiles().FileClose(old);
    if (SysFiles().FileClose(fd) != 0) return false;
    return result;
}

// Writes the new script beside the old one. Reads the old script through
// its working copy in the temporary folder (old < 0: there is none).
bool WriteNewScript(const char* newPath, int old, const char* destination, const char* source) {
    int fd = SysFiles().FileOpen(newPath, kOpenWriteOnly | kOpenCreate | kOpenTruncate | kOpenBinary,
                                 kPermRead | kPermWrite);
    if (fd < 0) {
        if (old >= 0) SysFiles().FileClose(old);
        return false;
    }
    bool complete = old >= 0 ? CopyWithEntry(old, fd, destination, source)
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
    if (!WriteNewScript(newPath, -1, destination, source)) return false;
    // Never over a script that appeared meanwhile.
    return SysFiles().MovePath(newPath, scriptPath);
}

// The old script's hidden and system attributes go over to the new one.
bool TakeOverAttributes(const char* newPath, uint32_t attributes) {
    const uint32_t kept = attributes & (kAttrHidden | kAttrSystem);
    if (kept == 0) return true;
    return SysFiles().SetAttributes(newPath, kept | (attributes & kAttrArchive));
}

bool AddToExistingScript(const char* scriptPath, const char* newPath, const char* destination,
                         const char* source) {
    // A read-only script is one the system keeps as it is.
    uint32_t attributes = SysFiles().GetAttributes(scriptPath);
    if (attributes == kInvalidAttributes || (attributes & kAttrReadOnly) != 0) return false;
    char copyPath[kPathSize + sizeof "wininit.ini"];
    if (!WorkingCopyPath(copyPath, sizeof copyPath)) return false;
    // The copy takes the script's attributes, and a hidden or read-only
    // earlier copy would refuse to be overwritten.
    SysFiles().SetAttributes(copyPath, kAttrNormal);
    if (!SysFiles().CopyPath(scriptPath, copyPath, false)) return false;
    int old = SysFiles().FileOpen(copyPath, kOpenReadOnly | kOpenBinary, 0);
    if (old < 0) return false;
    if (!ScriptIsWritable(scriptPath)) {
        SysFiles().FileClose(old);
        return false;
    }
    if (!WriteNewScript(newPath, old, destination, source)) return false;
    if (!TakeOverAttributes(newPath, attributes)) return false;
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
        case kFamilyNt:
            // A refused delayed deletion would leave the file in place after
            // the restart; the caller must not offer one for it.
            return SysFiles().MovePathEx(path, nullptr, kMoveDelayUntilReboot) ? 1 : 0;
        case kFamilyNineX: {
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
