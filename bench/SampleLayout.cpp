#include "bench/SampleLayout.h"

#include <algorithm>
#include <cstring>

namespace {

const uint32_t kPeHeaderOffset = 0x80;
const uint32_t kHeadersSize = 0x400;
const uint32_t kFileAlignment = 0x200;
const uint32_t kSectionAlignment = 0x1000;
const uint32_t kFirstSectionAddress = 0x1000;
const uint32_t kPatternLength = 20;
const uint32_t kSecondRawStart = 0x600;  // two-section layout: first section's raw data is 0x200 bytes

uint32_t AlignUp(uint32_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }
uint32_t AlignDown(uint32_t value, uint32_t alignment) { return value / alignment * alignment; }

void Put16(std::vector<uint8_t>* file, uint32_t at, uint16_t value) {
    (*file)[at] = value & 0xFF;
    (*file)[at + 1] = value >> 8;
}

void Put32(std::vector<uint8_t>* file, uint32_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) (*file)[at + i] = (value >> (8 * i)) & 0xFF;
}

struct Section {
    uint32_t virtualAddress, virtualSize, rawPointer, rawSize;
};

void WriteHeaders(std::vector<uint8_t>* file, uint32_t entryPoint, const Section* sections, int count) {
    (*file)[0] = 'M';
    (*file)[1] = 'Z';
    Put32(file, 60, kPeHeaderOffset);
    const uint32_t pe = kPeHeaderOffset;
    memcpy(&(*file)[pe], "PE\0\0", 4);
    Put16(file, pe + 4, 0x14C);                 // i386
    Put16(file, pe + 6, static_cast<uint16_t>(count));
    Put16(file, pe + 20, 224);                  // PE32 optional header with 16 directories
    Put16(file, pe + 22, 0x0102);               // executable, 32-bit
    const uint32_t opt = pe + 24;
    Put16(file, opt, 0x10B);
    Put32(file, opt + 16, entryPoint);
    Put32(file, opt + 28, 0x400000);            // ImageBase
    Put32(file, opt + 32, kSectionAlignment);
    Put32(file, opt + 36, kFileAlignment);
    Put16(file, opt + 40, 4);                   // operating system version 4.0
    Put16(file, opt + 48, 4);                   // subsystem version 4.0
    const Section& last = sections[count - 1];
    Put32(file, opt + 56, AlignUp(last.virtualAddress + last.virtualSize, kSectionAlignment));
    Put32(file, opt + 60, kHeadersSize);
    Put16(file, opt + 68, 2);                   // GUI subsystem
    Put32(file, opt + 92, 16);                  // NumberOfRvaAndSizes
    for (int i = 0; i < count; ++i) {
        const uint32_t at = pe + 248 + 40 * i;
        memcpy(&(*file)[at], i == 0 ? ".text" : ".data", 5);
        Put32(file, at + 8, sections[i].virtualSize);
        Put32(file, at + 12, sections[i].virtualAddress);
        Put32(file, at + 16, sections[i].rawSize);
        Put32(file, at + 20, sections[i].rawPointer);
        Put32(file, at + 36, 0x60000020);       // code, execute, read
    }
}

// Copies a pattern in; false when it would overwrite different pattern bytes
// already placed (overlapping patterns that disagree).
bool PlacePattern(std::vector<uint8_t>* file, std::vector<bool>* taken, uint32_t at, const uint8_t* pattern) {
    if (at < kHeadersSize || at + kPatternLength > file->size()) return false;
    for (uint32_t i = 0; i < kPatternLength; ++i) {
        if ((*taken)[at + i] && (*file)[at + i] != pattern[i]) return false;
        (*file)[at + i] = pattern[i];
        (*taken)[at + i] = true;
    }
    return true;
}

}  // namespace

bool BuildSample(const SignatureRecord& record, std::vector<uint8_t>* file, SampleLayout* layout) {
    *layout = SampleLayout();
    if (record.sizeTest != 1 || record.fileSize < static_cast<int32_t>(kSecondRawStart + 0x1000 + kPatternLength))
        return false;
    const uint32_t size = static_cast<uint32_t>(record.fileSize);
    const int64_t low = std::min(record.firstOffset, record.secondOffset);
    const int64_t high = std::max(record.firstOffset, record.secondOffset);
    file->assign(size, 0);
    std::vector<bool> taken(size, false);

    Section sections[2];
    int count;
    uint32_t entry;
    // One section when the entry point and both patterns fit in the file at
    // once: then the entry point's file offset plus a distance is the
    // pattern's file offset too, which scanners counting from the entry
    // point's file offset rely on.
    const int64_t spanLow = std::min<int64_t>(low, 0), spanHigh = std::max<int64_t>(high, 0);
    if (spanHigh - spanLow + kPatternLength <= size - kHeadersSize) {
        count = 1;
        entry = static_cast<uint32_t>(kFirstSectionAddress - spanLow);
        sections[0] = {kFirstSectionAddress, AlignUp(size - kHeadersSize, kSectionAlignment), kHeadersSize,
                       size - kHeadersSize};
    } else if (high - low + kPatternLength <= size - kHeadersSize) {
        // Both patterns fit, the entry point does not: it stays outside the section.
        count = 1;
        const uint32_t address =
            AlignUp(static_cast<uint32_t>(std::max<int64_t>(kFirstSectionAddress, low + kFirstSectionAddress)),
                    kSectionAlignment);
        entry = static_cast<uint32_t>(address - low);
        sections[0] = {address, AlignUp(size - kHeadersSize, kSectionAlignment), kHeadersSize, size - kHeadersSize};
    } else {
        count = 2;
        // The lower pattern opens the first section, the higher one falls in the second.
        const uint32_t firstAddress =
            AlignUp(static_cast<uint32_t>(std::max<int64_t>(kFirstSectionAddress, low + kFirstSectionAddress)),
                    kSectionAlignment);
        entry = static_cast<uint32_t>(firstAddress - low);
        const uint32_t highAddress = static_cast<uint32_t>(entry + high);
        const uint32_t secondAddress = AlignDown(highAddress, kSectionAlignment);
        if (secondAddress <= firstAddress) return false;
        sections[0] = {firstAddress, secondAddress - firstAddress, kHeadersSize, kSecondRawStart - kHeadersSize};
        sections[1] = {secondAddress, AlignUp(size - kSecondRawStart, kSectionAlignment), kSecondRawStart,
                       size - kSecondRawStart};
    }
    WriteHeaders(file, entry, sections, count);

    auto fileOffset = [&](int32_t distance) -> uint32_t {
        const uint32_t rva = entry + static_cast<uint32_t>(distance);
        for (int i = 0; i < count; ++i)
            if (rva >= sections[i].virtualAddress && rva - sections[i].virtualAddress < sections[i].rawSize)
                return rva - sections[i].virtualAddress + sections[i].rawPointer;
        return 0;
    };
    layout->sections = count;
    layout->entryWithPatterns = count == 1 && entry - sections[0].virtualAddress < sections[0].rawSize;
    layout->entryPoint = entry;
    layout->firstFileOffset = fileOffset(record.firstOffset);
    layout->secondFileOffset = fileOffset(record.secondOffset);
    if (!PlacePattern(file, &taken, layout->firstFileOffset, record.firstPattern) ||
        !PlacePattern(file, &taken, layout->secondFileOffset, record.secondPattern)) {
        layout->sections = 0;
        return false;
    }
    return true;
}
