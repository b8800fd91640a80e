#include "bench/SampleLayout.h"

#include <algorithm>
#include <cstring>

#include "tools/samplegen/SampleGen.h"

namespace {

const uint32_t kPeHeaderOffset = 0x80;
const uint32_t kHeadersSize = 0x400;
const uint32_t kSectionAlignment = 0x1000;
const uint32_t kFirstSectionAddress = 0x1000;
const uint32_t kSecondRawStart = 0x600;  // two-section layout: first section's raw data is 0x200 bytes

uint32_t AlignUp(uint32_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }
uint32_t AlignDown(uint32_t value, uint32_t alignment) { return value / alignment * alignment; }

struct Section {
    uint32_t virtualAddress, virtualSize, rawPointer, rawSize;
};

// The headers, by the sample generator's one PE writer.
std::vector<uint8_t> WriteHeaders(uint32_t size, uint32_t entryPoint, const Section* sections, int count) {
    samplegen::PeHeaders headers;
    headers.peOffset = kPeHeaderOffset;
    headers.entryPoint = entryPoint;
    headers.sizeOfHeaders = kHeadersSize;
    for (int i = 0; i < count; ++i) {
        headers.sections.push_back({i == 0 ? ".text" : ".data", sections[i].virtualSize, sections[i].virtualAddress,
                                    sections[i].rawSize, sections[i].rawPointer});
    }
    return samplegen::WritePe(headers, size);
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
    *file = WriteHeaders(size, entry, sections, count);

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
