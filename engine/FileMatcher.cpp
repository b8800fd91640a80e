// Matching one file against the detection table.
//
// The header readers keep exactly the quirks of the program they replace
// (the 16-bit header offset, the section table at a fixed distance from the
// signature, the address translation's fall-backs): detection results must
// not change for any file, however malformed.
#include "engine/FileMatcher.h"

#include <cstring>

#include "common/Shared.h"
#include "platform/Platform.h"

const SignatureRecord* ActiveSignatureTable = SignatureTable;
int64_t ListedFileLength = -1;

namespace {

const int kMaxSections = 20;
const int kSectionHeaderSize = 40;
const int kPatternLength = 20;
const int kOptionalHeaderRead = 96;
// Where the section table is looked for: after a PE32 optional header with
// all 16 data directories, whatever SizeOfOptionalHeader says.
const uint32_t kSectionTableDistance = 248;

// Process-wide header cache of the file under test.
uint16_t HeaderOffset;
uint8_t PeFileHeader[20];
uint8_t OptionalHeader[kOptionalHeaderRead];
uint8_t SectionTable[kMaxSections * kSectionHeaderSize];

uint32_t ReadU32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

uint16_t SectionCount() {
    return static_cast<uint16_t>(PeFileHeader[2] | (PeFileHeader[3] << 8));
}

bool SeekTo(int fd, uint32_t position) {
    // The position travels as the runtime's signed 32-bit offset: from 2^31
    // on it is negative and the seek fails.
    if (position > 0x7FFFFFFFu) return false;
    return SysFiles().FileSeek(fd, static_cast<int32_t>(position), kSeekSet) != -1;
}

bool ReadExactly(int fd, void* buffer, uint32_t count) {
    return SysFiles().FileRead(fd, buffer, count) == static_cast<int>(count);
}

// The lengths of the active table, sorted, when every record tests the exact
// length; lets the matcher skip files that cannot match without opening them.
struct TableLengths {
    const SignatureRecord* table = nullptr;
    bool usable = false;
    int count = 0;
    int32_t lengths[256];
};
TableLengths KnownLengths;

void CollectTableLengths(const SignatureRecord* table) {
    KnownLengths.table = table;
    KnownLengths.usable = true;
    KnownLengths.count = 0;
    for (const SignatureRecord* record = table; record->name[0] != '\0'; ++record) {
        if (record->sizeTest != 1 || KnownLengths.count == 256) {
            KnownLengths.usable = false;
            return;
        }
        int at = KnownLengths.count++;
        while (at > 0 && KnownLengths.lengths[at - 1] > record->fileSize) {
            KnownLengths.lengths[at] = KnownLengths.lengths[at - 1];
            --at;
        }
        KnownLengths.lengths[at] = record->fileSize;
    }
}

bool TableHasLength(int64_t length) {
    int low = 0;
    int high = KnownLengths.count;
    while (low < high) {
        int middle = (low + high) / 2;
        if (KnownLengths.lengths[middle] < length) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low < KnownLengths.count && KnownLengths.lengths[low] == length;
}

// True when the listed length alone rules the file out.
bool CannotMatchByLength() {
    if (ListedFileLength < 0) return false;
    // The built-in table never changes, so its lengths are collected once. A
    // table a test installs may be refilled in place, so it is read each time.
    if (KnownLengths.table != SignatureTable || ActiveSignatureTable != SignatureTable) {
        CollectTableLengths(ActiveSignatureTable);
    }
    return KnownLengths.usable && !TableHasLength(ListedFileLength);
}

bool LengthPasses(const SignatureRecord& record) {
    switch (record.sizeTest) {
    case 1:
        return CurrentFileLength == record.fileSize;
    case 2: {
        int64_t difference = static_cast<int64_t>(record.fileSize) - CurrentFileLength;
        return difference > -SizeTolerance && difference < SizeTolerance;
    }
    case 3:
        return true;
    default:
        return false;
    }
}

bool PatternAt(int fd, uint32_t entryPoint, int32_t distance, const uint8_t* pattern) {
    uint32_t rva = entryPoint + static_cast<uint32_t>(distance);
    uint8_t bytes[kPatternLength];
    if (!SeekTo(fd, RvaToFileOffset(rva, fd))) return false;
    if (!ReadExactly(fd, bytes, kPatternLength)) return false;
    return std::memcmp(bytes, pattern, kPatternLength) == 0;
}

int FirstMatchingRecord(int fd) {
    uint32_t entryPoint = ReadU32(OptionalHeader + 16);
    for (int i = 0; ActiveSignatureTable[i].name[0] != '\0'; ++i) {
        const SignatureRecord& record = ActiveSignatureTable[i];
        if (!LengthPasses(record)) continue;
        if (!PatternAt(fd, entryPoint, record.firstOffset, record.firstPattern)) continue;
        if (!PatternAt(fd, entryPoint, record.secondOffset, record.secondPattern)) continue;
        return i;
    }
    return -1;
}

}  // namespace

int ReadPeFileHeader(int fd) {
    std::memset(PeFileHeader, 0, sizeof(PeFileHeader));
    HeaderOffset = 0;
    uint8_t low[2];
    if (!SeekTo(fd, 60) || !ReadExactly(fd, low, sizeof(low))) return 0;
    HeaderOffset = static_cast<uint16_t>(low[0] | (low[1] << 8));
    uint8_t signature[4];
    if (!SeekTo(fd, HeaderOffset) || !ReadExactly(fd, signature, sizeof(signature))) return 0;
    if (ReadU32(signature) != 0x4550u) return 0;
    if (!SeekTo(fd, HeaderOffset + 4u)) return 0;
    return ReadExactly(fd, PeFileHeader, sizeof(PeFileHeader)) ? 1 : 0;
}

int ReadPeSections(int fd) {
    if (!SeekTo(fd, HeaderOffset + 24u)) return 0;
    if (!ReadExactly(fd, OptionalHeader, sizeof(OptionalHeader))) return 0;
    uint16_t count = SectionCount();
    if (count > kMaxSections) return 0;
    std::memset(SectionTable, 0, sizeof(SectionTable));
    if (count == 0) return 1;
    if (!SeekTo(fd, HeaderOffset + kSectionTableDistance)) return 0;
    return ReadExactly(fd, SectionTable, count * static_cast<uint32_t>(kSectionHeaderSize)) ? 1 : 0;
}

uint32_t RvaToFileOffset(uint32_t rva, int fd) {
    int count = SectionCount();
    if (count > kMaxSections) count = kMaxSections;
    uint32_t offset = rva;
    if (count > 0) {
        int chosen = count - 1;
        for (int i = 0; i < count; ++i) {
            const uint8_t* section = SectionTable + i * kSectionHeaderSize;
            if (ReadU32(section + 12) + ReadU32(section + 8) > rva) {
                chosen = i;
                break;
            }
        }
        const uint8_t* section = SectionTable + chosen * kSectionHeaderSize;
        offset = rva - ReadU32(section + 12) + ReadU32(section + 20);
    }
    uint32_t length = static_cast<uint32_t>(SysFiles().FileLength(fd));
    if (offset >= length) offset = rva;
    if (offset == 0) offset = ReadU32(OptionalHeader + 60);
    return offset;
}

int MatchFile(const char* path) {
    // A path that does not fit the shared buffer is never cut short.
    if (std::strlen(path) >= sizeof(CurrentFilePath)) return -1;
    if (CannotMatchByLength()) {
        // Ends as a file of this length that matched nothing would.
        std::memset(CurrentFilePath, 0, sizeof(CurrentFilePath));
        CurrentFileLength = ListedFileLength <= 0x7FFFFFFF ? static_cast<int32_t>(ListedFileLength) : -1;
        return -1;
    }
    int fd = SysFiles().FileOpen(path, kOpenReadOnly | kOpenBinary, 0);
    if (fd == -1) return -1;
    std::memset(CurrentFilePath, 0, sizeof(CurrentFilePath));
    std::memcpy(CurrentFilePath, path, std::strlen(path));
    CurrentFileLength = SysFiles().FileLength(fd);
    int match = -1;
    if (CurrentFileLength != -1 && ReadPeFileHeader(fd) && ReadPeSections(fd)) {
        match = FirstMatchingRecord(fd);
        if (match < 0) std::memset(CurrentFilePath, 0, sizeof(CurrentFilePath));
    }
    SysFiles().FileClose(fd);
    return match;
}
