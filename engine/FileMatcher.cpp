// Matching one file against the detection table.
//
// The header readers keep exactly the quirks of the program they replace
// (the 16-bit header offset, the section table at a fixed distance from the
// signature, the address translation's fall-backs): detection results must
// not change for any file, however malformed.
#include "engine/FileMatcher.h"

#include <cstring>

#include "common/Shared.h"
#include "engine/PeLayout.h"
#include "platform/LittleEndian.h"
#include "platform/Platform.h"

const SignatureRecord* ActiveSignatureTable = SignatureTable;

namespace {

// Process-wide header cache of the file under test.
uint16_t HeaderOffset;
uint8_t PeFileHeader[kFileHeaderSize];
uint8_t OptionalHeader[kOptionalHeaderRead];
uint8_t SectionTable[kMaxSections * kSectionHeaderSize];

uint16_t SectionCount() { return ReadLe16(PeFileHeader + kSectionCountAt); }

uint32_t EntryPoint() { return ReadLe32(OptionalHeader + kEntryPointAt); }

uint32_t SizeOfHeaders() { return ReadLe32(OptionalHeader + kSizeOfHeadersAt); }

const uint8_t* SectionHeader(int index) { return SectionTable + index * kSectionHeaderSize; }

uint32_t VirtualAddressOf(const uint8_t* section) { return ReadLe32(section + kVirtualAddressAt); }

uint32_t VirtualSizeOf(const uint8_t* section) { return ReadLe32(section + kVirtualSizeAt); }

uint32_t RawDataPointerOf(const uint8_t* section) { return ReadLe32(section + kRawDataPointerAt); }

bool SeekTo(int fd, uint32_t position) {
    // The position travels as the runtime's signed 32-bit offset: from 2^31
    // on it is negative and the seek fails.
    if (position > 0x7FFFFFFFu) return false;
    return SysFiles().FileSeek(fd, static_cast<int32_t>(position), kSeekSet) != -1;
}

bool ReadExactly(int fd, void* buffer, uint32_t count) {
    return SysFiles().FileRead(fd, buffer, count) == static_cast<int>(count);
}

const int kMaxKnownLengths = 256;

// The lengths of the active table, sorted, when every record tests the exact
// length; lets the matcher skip files that cannot match without opening them.
struct TableLengths {
    const SignatureRecord* table = nullptr;
    bool usable = false;
    int count = 0;
    int32_t lengths[kMaxKnownLengths];
};
TableLengths KnownLengths;

void CollectTableLengths(const SignatureRecord* table) {
    KnownLengths.table = table;
    KnownLengths.usable = true;
    KnownLengths.count = 0;
    for (const SignatureRecord* record = table; record->name[0] != '\0'; ++record) {
        if (record->sizeTest != kSizeTestExact || KnownLengths.count == kMaxKnownLengths) {
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
    if (Shared.ListedFileLength < 0) return false;
    // The built-in table never changes, so its lengths are collected once. A
    // table a test installs may be refilled in place, so it is read each time.
    if (KnownLengths.table != SignatureTable || ActiveSignatureTable != SignatureTable) {
        CollectTableLengths(ActiveSignatureTable);
    }
    return KnownLengths.usable && !TableHasLength(Shared.ListedFileLength);
}

bool LengthPasses(const SignatureRecord& record) {
    switch (record.sizeTest) {
    case kSizeTestExact:
        return Shared.CurrentFileLength == record.fileSize;
    case kSizeTestNear: {
        int64_t difference = static_cast<int64_t>(record.fileSize) - Shared.CurrentFileLength;
        return difference > -SizeTolerance && difference < SizeTolerance;
    }
    case kSizeTestNone:
        return true;
    default:
        return false;
    }
}

bool PatternAt(int fd, uint32_t entryPoint, int32_t distance, const uint8_t* pattern) {
    // Wraps around at 32 bits on purpose: a negative distance lies below the
    // entry point, and a sum past 2^32 starts again from address 0.
    uint32_t rva = entryPoint + static_cast<uint32_t>(distance);
    uint8_t bytes[kPatternLength];
    if (!SeekTo(fd, RvaToFileOffset(rva, fd))) return false;
    if (!ReadExactly(fd, bytes, kPatternLength)) return false;
    return std::memcmp(bytes, pattern, kPatternLength) == 0;
}

int FirstMatchingRecord(int fd) {
    uint32_t entryPoint = EntryPoint();
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
    if (!SeekTo(fd, kHeaderOffsetAt) || !ReadExactly(fd, low, sizeof(low))) return 0;
    HeaderOffset = ReadLe16(low);
    uint8_t signature[kSignatureSize];
    if (!SeekTo(fd, HeaderOffset) || !ReadExactly(fd, signature, sizeof(signature))) return 0;
    if (ReadLe32(signature) != kPeSignature) return 0;
    if (!SeekTo(fd, HeaderOffset + kSignatureSize)) return 0;
    return ReadExactly(fd, PeFileHeader, sizeof(PeFileHeader)) ? 1 : 0;
}

int ReadPeSections(int fd) {
    if (!SeekTo(fd, HeaderOffset + kOptionalHeaderAt)) return 0;
    if (!ReadExactly(fd, OptionalHeader, sizeof(OptionalHeader))) return 0;
    uint16_t count = SectionCount();
    if (count > kMaxSections) return 0;
    std::memset(SectionTable, 0, sizeof(SectionTable));
    if (count == 0) return 1;
    if (!SeekTo(fd, HeaderOffset + kSectionTableDistance)) return 0;
    return ReadExactly(fd, SectionTable, count * kSectionHeaderSize) ? 1 : 0;
}

// All of the arithmetic below is unsigned 32-bit and wraps around on purpose:
// a section whose end passes 2^32 ends low, and an address below its
// section's start translates to a huge offset, which the length test then
// turns back into the address itself.
uint32_t RvaToFileOffset(uint32_t rva, int fd) {
    int count = SectionCount();
    if (count > kMaxSections) count = kMaxSections;
    uint32_t offset = rva;
    if (count > 0) {
        // The first section that ends past the address; its start is not compared.
        const uint8_t* section = SectionHeader(count - 1);
        for (int i = 0; i < count; ++i) {
            if (VirtualAddressOf(SectionHeader(i)) + VirtualSizeOf(SectionHeader(i)) > rva) {
                section = SectionHeader(i);
                break;
            }
        }
        offset = rva - VirtualAddressOf(section) + RawDataPointerOf(section);
    }
    uint32_t length = static_cast<uint32_t>(SysFiles().FileLength(fd));
    if (offset >= length) offset = rva;
    if (offset == 0) offset = SizeOfHeaders();
    return offset;
}

int MatchFile(const char* path) {
    // A path that does not fit the shared buffer is never cut short.
    if (std::strlen(path) >= sizeof(Shared.CurrentFilePath)) return -1;
    if (CannotMatchByLength()) {
        // Ends as a file of this length that matched nothing would.
        std::memset(Shared.CurrentFilePath, 0, sizeof(Shared.CurrentFilePath));
        int64_t listed = Shared.ListedFileLength;
        Shared.CurrentFileLength = listed <= 0x7FFFFFFF ? static_cast<int32_t>(listed) : -1;
        return -1;
    }
    int fd = SysFiles().FileOpen(path, kOpenReadOnly | kOpenBinary, 0);
    if (fd == -1) return -1;
    std::memset(Shared.CurrentFilePath, 0, sizeof(Shared.CurrentFilePath));
    std::memcpy(Shared.CurrentFilePath, path, std::strlen(path));
    Shared.CurrentFileLength = SysFiles().FileLength(fd);
    int match = -1;
    if (Shared.CurrentFileLength != -1 && ReadPeFileHeader(fd) && ReadPeSections(fd)) {
        match = FirstMatchingRecord(fd);
        if (match < 0) std::memset(Shared.CurrentFilePath, 0, sizeof(Shared.CurrentFilePath));
    }
    SysFiles().FileClose(fd);
    return match;
}
