#include "repair/HostsCheck.h"

#include <cstdio>
#include <cstring>

#include "common/Shared.h"

// Stored scrambled so that the program file itself never carries the plain
// signature text (another scanner would otherwise report the cleaner).
AttachmentRecord AttachmentTable[kAttachmentTableSize] = {
    {"W32/Nyxem.Worm", 134042, 1888, 100, 0,
     {0xE2, 0x9A, 0x81, 0xE2, 0xE4, 0x8F, 0x81, 0x82, 0xF3, 0x9A, 0x81, 0x82, 0xE4, 0x9D, 0x81,
      0xF2, 0xE2, 0x9C, 0xE0, 0x97, 0xE7, 0x9B, 0xF1, 0x82, 0xEA, 0x9B, 0x81, 0xF6, 0xE2, 0x8F,
      0x81, 0x9E, 0xE8, 0x9B, 0xE5, 0x86, 0xF3, 0x9D, 0x81, 0x93, 0xE7, 0xEA, 0x9E, 0x91, 0xFE,
      0xE4, 0x9C, 0xF1, 0x96, 0xE2, 0x9E, 0x85, 0xF2, 0xF3, 0x9E, 0x90, 0xE6, 0xF3, 0x8F, 0x81,
      0xF2, 0xE6, 0x9A, 0x81, 0x8A, 0xEF, 0x9E, 0x90, 0x8F, 0xFC, 0x8F, 0x81, 0xE6, 0xE6, 0x9B,
      0xE1, 0xF2, 0xEB, 0x9E, 0x90, 0x8A, 0xF4, 0x8F, 0x81, 0x9E, 0xEE, 0x9C, 0x81, 0xF6, 0xE2,
      0x9B, 0xE5, 0x86, 0xE5, 0x99, 0x90, 0x96, 0xE2, 0x9B, 0xF5},
     1, 4, 18, 0, {0}},
};
AttachmentRecord* ActiveAttachmentTable = AttachmentTable;
size_t ActiveAttachmentCount = kAttachmentTableSize;

uint8_t HeadText[kEncodedTextSize];
uint8_t TailText[kEncodedTextSize];

namespace {

const size_t kPatternFieldSize = sizeof(AttachmentRecord{}.pattern);
const size_t kFixedCompareSize = 100;

// The work buffer of one match ends in a byte that is always zero.
const size_t kWorkSize = kEncodedTextSize + 1;

bool patternsPlain = false;

bool IsWhitespace(uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

int LowerAscii(int c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

bool ReadExactly(int fd, uint8_t* buffer, int32_t count) {
    return SysFiles().FileRead(fd, buffer, static_cast<uint32_t>(count)) == count;
}

// Fills HeadText and TailText; returns false on any failed seek or short read.
bool FillTexts(int fd, int32_t fileLength, int32_t* searchLength, int32_t* headLength,
               int32_t* tailLength) {
    uint8_t raw[kEncodedTextSize];
    const int32_t block = static_cast<int32_t>(kEncodedTextSize);
    if (fileLength >= block) {
        *searchLength = block;
        if (SysFiles().FileSeek(fd, 0, kSeekSet) != 0 || !ReadExactly(fd, raw, block)) return false;
        *headLength = StripWhitespace(raw, HeadText, block);
        if (SysFiles().FileSeek(fd, -block, kSeekEnd) < 0 || !ReadExactly(fd, raw, block)) return false;
        *tailLength = StripWhitespace(raw, TailText, block);
        return true;
    }
    *searchLength = fileLength;
    if (SysFiles().FileSeek(fd, 0, kSeekSet) != 0 || !ReadExactly(fd, raw, fileLength)) return false;
    *headLength = StripWhitespace(raw, HeadText, fileLength);
    memcpy(TailText, HeadText, static_cast<size_t>(*headLength));
    *tailLength = *headLength;
    return true;
}

bool PassesSizeRule(const AttachmentRecord& record, int32_t referenceLength) {
    if (record.sizeRule == kSizeRuleEqual) return record.referenceSize == referenceLength;
    if (record.sizeRule == kSizeRuleNear) {
        int64_t size = record.referenceSize;
        return size >= int64_t(referenceLength) - kSizeRuleSlack &&
               size <= int64_t(referenceLength) + kSizeRuleSlack;
    }
    return true;
}

// Copies up to count bytes of text from offset into work; offsets outside
// the kept text copy nothing, so stale bytes of an earlier file never count.
void CopyFromText(uint8_t* work, const uint8_t* text, int32_t textLength, int32_t offset, size_t count) {
    if (offset < 0 || offset >= textLength) return;
    size_t available = static_cast<size_t>(textLength - offset);
    memcpy(work, text + offset, available < count ? available : count);
}

bool RecordMatches(const AttachmentRecord& record, int32_t searchLength, int32_t headLength,
                   int32_t tailLength) {
    if (record.region != kRegionHead && record.region != kRegionTail) return false;
    bool head = record.region == kRegionHead;
    const uint8_t* text = head ? HeadText : TailText;
    int32_t textLength = head ? headLength : tailLength;
    uint8_t work[kWorkSize];
    memset(work, 0, sizeof work);
    if (record.searchMode == kSearchWholeRegion) {
        memcpy(work, text, static_cast<size_t>(textLength));
        return FindPattern(work, searchLength, record.pattern, record.patternLength, sizeof work) == 1;
    }
    int32_t offset = head ? record.position : tailLength - record.position;
    CopyFromText(work, text, textLength, offset, kFixedCompareSize);
    return memcmp(work, record.pattern, record.patternLength) == 0;
}

// The new name of a renamed file: the character after the last "." becomes
// "V"; a path without "." keeps its name. A final "." gets a "V" appended.
// Differs on purpose from MakeRenameTarget (engine/Disposition.h), which
// gives a name without "." a ".V": here such a name is kept, and the move's
// own result decides between "renamed" and "Rename failed". Keep them apart.
bool MakeEncodedRenameTarget(const char* path, char* target, size_t size) {
    if (!CopyText(target, size, path)) return false;
    char* dot = strrchr(target, '.');
    if (dot == nullptr) return true;
    if (dot[1] != '\0') {
        dot[1] = 'V';
        return true;
    }
    return AppendText(target, size, "V");
}

void RenameEncodedFile(const char* path, const char* name) {
    char target[kPathSize];
    if (MakeEncodedRenameTarget(path, target, sizeof target) && SysFiles().MovePath(path, target)) {
        ++Shared.FilesRenamed;
        PostLogLine("%s     %s renamed", path, name);
    } else {
        PostLogLine("%s     %s Rename failed", path, name);
    }
}

void DeleteEncodedFile(const char* path, const char* name) {
    if (SysFiles().DeletePath(path)) {
        ++Shared.FilesRemoved;
        PostLogLine("%s     %s removed", path, name);
    } else {
        PostLogLine("%s     %s Remove failed", path, name);
    }
}

void DisposeEncodedFile(const char* path, const char* name) {
    switch (Shared.ActionCode) {
        case kActionRename:
            RenameEncodedFile(path, name);
            break;
        case kActionDelete:
        case kActionDeleteToo:
            DeleteEncodedFile(path, name);
            break;
        case kActionLeave:
            // Its own capitals, unlike the program files' line: both are the program's texts.
            PostLogLine("%s     %s Not Disinfected As Per User's Selection", Shared.StatusText,
                        Shared.LastDetectionName);
            break;
        default:
            break;
    }
}

}  // namespace

void UnscramblePatterns() {
    if (patternsPlain) return;
    patternsPlain = true;
    for (AttachmentRecord& record : AttachmentTable) {
        size_t length = record.patternLength < kPatternFieldSize ? record.patternLength : kPatternFieldSize;
        for (size_t i = 0; i < length; ++i) record.pattern[i] ^= kAttachmentPatternKey;
    }
}

int32_t StripWhitespace(const uint8_t* source, uint8_t* destination, int32_t length) {
    int32_t kept = 0;
    for (int32_t i = 0; i < length; ++i)
        if (!IsWhitespace(source[i])) destination[kept++] = source[i];
    return kept;
}

int FindPattern(const uint8_t* text, int32_t searchLength, const uint8_t* pattern, int32_t patternLength,
                size_t textSize) {
    if (patternLength <= 0 || searchLength <= 0) return 0;
    size_t limit = static_cast<size_t>(searchLength) < textSize ? static_cast<size_t>(searchLength) : textSize;
    size_t length = static_cast<size_t>(patternLength);
    for (size_t start = 0; start < limit; ++start) {
        const void* found = memchr(text + start, pattern[0], limit - start);
        if (found == nullptr) return 0;
        start = static_cast<size_t>(static_cast<const uint8_t*>(found) - text);
        if (start + length <= textSize && memcmp(text + start, pattern, length) == 0) return 1;
    }
    return 0;
}

int HasEncodedHeader(int fd) {
    static const char kHeader[] = "begin";  // the opening word of a uuencoded block
    const int32_t headerLength = static_cast<int32_t>(sizeof kHeader - 1);
    if (SysFiles().FileLength(fd) < 0 || SysFiles().FileSeek(fd, 0, kSeekSet) != 0) return 0;
    uint8_t head[sizeof kHeader] = {0};
    if (!ReadExactly(fd, head, headerLength)) return 0;
    for (int32_t i = 0; i < headerLength; ++i)
        if (LowerAscii(head[i]) != kHeader[i]) return 0;
    return 1;
}

int MatchEncodedFile(int fd, int* recordIndex) {
    if (HasEncodedHeader(fd) != 1) return 0;
    int32_t fileLength = SysFiles().FileLength(fd);
    int32_t searchLength = 0, headLength = 0, tailLength = 0;
    if (fileLength < 0 || !FillTexts(fd, fileLength, &searchLength, &headLength, &tailLength)) return 0;
    for (size_t i = 0; i < ActiveAttachmentCount; ++i) {
        const AttachmentRecord& record = ActiveAttachmentTable[i];
        if (record.patternLength == 0 || record.patternLength > kPatternFieldSize) continue;
        if (fileLength < record.patternLength) continue;
        // Nothing else gives a reference length, so the size rules look at the file's own.
        if (!PassesSizeRule(record, fileLength)) continue;
        if (!RecordMatches(record, searchLength, headLength, tailLength)) continue;
        ++Shared.FilesInfected;
        *recordIndex = static_cast<int>(i);
        return 1;
    }
    return 0;
}

int CheckAndCleanEncodedFile(const char* path) {
    UnscramblePatterns();
    int fd = SysFiles().FileOpen(path, kOpenReadOnly | kOpenBinary, 0);
    if (fd < 0) return 0;
    int index = -1;
    int matched = MatchEncodedFile(fd, &index);
    if (matched) {
        const AttachmentRecord& record = ActiveAttachmentTable[index];
        snprintf(Shared.LastDetectionName, sizeof Shared.LastDetectionName, "%.*s",
                 static_cast<int>(sizeof record.name), record.name);
        snprintf(Shared.StatusText, sizeof Shared.StatusText, "%s", path);
    }
    SysFiles().FileClose(fd);
    if (!matched) return 0;
    DisposeEncodedFile(path, Shared.LastDetectionName);
    return 1;
}

bool GetHostsFilePath(char* path, size_t size) {
    char directory[kPathSize];
    const char* tail;
    uint32_t length;
    switch (GetPlatformFamily()) {
        case kFamilyNt:
            length = SysFiles().SystemDirectory(directory, sizeof directory);
            tail = "\\drivers\\etc\\hosts";
            break;
        case kFamilyNineX:
            length = SysFiles().WindowsDirectory(directory, sizeof directory);
            tail = "\\hosts";
            break;
        default:
            return false;
    }
    if (length == 0 || length >= sizeof directory) return false;
    return CopyText(path, size, directory) && AppendText(path, size, tail);
}

void CheckHostsFile() {
    char path[kPathSize];
    if (GetHostsFilePath(path, sizeof path)) CheckAndCleanEncodedFile(path);
}
