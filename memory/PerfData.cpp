#include "memory/PerfData.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "common/Shared.h"
#include "memory/PerfLayout.h"
#include "platform/LittleEndian.h"

namespace {

using namespace perf;

const size_t kLongestName = 16;
const int kConvertedNameSize = static_cast<int>(kPathSize);

// Reads little-endian fields of a block, widening every offset to 64 bits
// before it is added so that no sum wraps around.
class BlockReader {
public:
    BlockReader(const uint8_t* data, size_t length) : data_(data), length_(length) {}
    bool Fits(uint64_t at, uint64_t size) const { return at <= length_ && size <= length_ - at; }
    bool Get32(uint64_t at, uint32_t* value) const {
        if (!Fits(at, 4)) return false;
        *value = ReadLe32(data_ + at);
        return true;
    }
    uint16_t WideAt(uint64_t at) const { return ReadLe16(data_ + at); }
    uint64_t Length() const { return length_; }

private:
    const uint8_t* data_;
    uint64_t length_;
};

bool SameName(const char* text, size_t length, const char* name) {
    size_t nameLength = strlen(name);
    if (length != nameLength) return false;
    for (size_t i = 0; i < length; ++i)
        if (tolower(static_cast<unsigned char>(text[i])) != name[i]) return false;
    return true;
}

// The leading decimal digits of a text, as atoi reads them.
uint32_t LeadingNumber(const char* text, size_t length) {
    uint32_t value = 0;
    for (size_t i = 0; i < length && i < 10 && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10 + static_cast<uint32_t>(text[i] - '0');
    return value;
}

bool HasSignature(const BlockReader& reader, const uint8_t* block) {
    static const uint8_t kSignature[8] = {'P', 0, 'E', 0, 'R', 0, 'F', 0};
    return reader.Fits(0, sizeof kSignature) && memcmp(block, kSignature, sizeof kSignature) == 0;
}

// The offset of the ID Process counter in each counter block, or false.
bool FindIdCounter(const BlockReader& reader, uint64_t object, uint32_t idProcessIndex, uint32_t* counterOffset) {
    uint32_t headerLength = 0, counters = 0;
    reader.Get32(object + kObjectHeaderLengthAt, &headerLength);
    reader.Get32(object + kObjectNumCountersAt, &counters);
    uint64_t definition = object + headerLength;
    for (uint32_t i = 0; i < counters; ++i, definition += kCounterDefinitionSize) {
        uint32_t nameIndex = 0;
        if (!reader.Fits(definition, kCounterDefinitionSize)) return false;
        reader.Get32(definition + kCounterNameIndexAt, &nameIndex);
        if (nameIndex == idProcessIndex) return reader.Get32(definition + kCounterOffsetAt, counterOffset);
    }
    return false;
}

// The instance's name converted to the ANSI code page, "unknown" when that
// fails; false when the name does not lie inside the block.
bool ReadInstanceName(const BlockReader& reader, uint64_t instance, char* name, size_t nameSize) {
    uint32_t offset = 0, length = 0;
    reader.Get32(instance + kInstanceNameOffsetAt, &offset);
    reader.Get32(instance + kInstanceNameLengthAt, &length);
    uint64_t at = instance + offset;
    if (!reader.Fits(at, length) || length % 2 != 0) return false;
    uint16_t wide[kConvertedNameSize + 1];
    int count = 0;
    while (count < kConvertedNameSize + 1 && static_cast<uint64_t>(count) * 2 < length) {
        uint16_t c = reader.WideAt(at + static_cast<uint64_t>(count) * 2);
        if (c == 0) break;
        wide[count++] = c;
    }
    char converted[kConvertedNameSize];
    int written = count == 0 ? 0 : SysSession().WideToAnsi(wide, count, converted, kConvertedNameSize - 1);
    if (count > 0 && written == 0) {
        snprintf(name, nameSize, "unknown");
        return true;
    }
    converted[written] = '\0';
    name[0] = '\0';
    if (strlen(converted) <= kLongestName) snprintf(name, nameSize, "%s", converted);
    return true;
}

// One instance and its counter block; false when any of it lies outside the
// block or its lengths cannot be right. *next is where the following one starts.
bool ReadInstance(const BlockReader& reader, uint64_t instance, uint32_t counterOffset, PerfProcessEntry* entry,
                  uint64_t* next) {
    uint32_t instanceLength = 0, blockLength = 0;
    if (!reader.Fits(instance, kInstanceSize)) return false;
    reader.Get32(instance, &instanceLength);
    if (instanceLength < kInstanceSize) return false;
    if (!ReadInstanceName(reader, instance, entry->name, sizeof entry->name)) return false;
    uint64_t counters = instance + instanceLength;
    if (!reader.Get32(counters, &blockLength) || blockLength < kCounterBlockSize) return false;
    if (!reader.Fits(counters, blockLength) || static_cast<uint64_t>(counterOffset) + 4 > blockLength) return false;
    uint32_t id = 0;
    if (!reader.Get32(counters + counterOffset, &id)) return false;
    entry->processId = id == 0 ? kNoProcessId : id;
    *next = counters + blockLength;
    return true;
}

}  // namespace

bool FindProcessCounterIndexes(const char* list, size_t length, char* objectIndex, size_t indexSize,
                               uint32_t* idProcessIndex) {
    bool foundObject = false, foundCounter = false;
    const char* previous = nullptr;
    size_t previousLength = 0;
    size_t at = 0;
    while (at < length) {
        const char* text = list + at;
        const char* end = static_cast<const char*>(memchr(text, '\0', length - at));
        if (end == nullptr) break;  // an unterminated last string is not read
        size_t textLength = static_cast<size_t>(end - text);
        if (textLength == 0) break;  // the empty string ends the list
        if (previous != nullptr && SameName(text, textLength, "process") && previousLength < indexSize) {
            memcpy(objectIndex, previous, previousLength);
            objectIndex[previousLength] = '\0';
            foundObject = true;
        } else if (previous != nullptr && SameName(text, textLength, "id process")) {
            *idProcessIndex = LeadingNumber(previous, previousLength);
            foundCounter = true;
        }
        previous = text;
        previousLength = textLength;
        at += textLength + 1;
    }
    return foundObject && foundCounter;
}

int ReadPerfProcesses(const uint8_t* block, size_t length, uint32_t idProcessIndex, PerfProcessEntry* entries,
                      int capacity) {
    BlockReader reader(block, length);
    uint32_t blockHeaderLength = 0;
    if (!HasSignature(reader, block) || !reader.Get32(kBlockHeaderLengthAt, &blockHeaderLength)) return -1;
    uint64_t object = blockHeaderLength;  // only the first object is read
    if (!reader.Fits(object, kObjectSize)) return -1;
    uint32_t counterOffset = 0;
    if (!FindIdCounter(reader, object, idProcessIndex, &counterOffset)) return -1;

    uint32_t definitionLength = 0, instances = 0;
    reader.Get32(object + kObjectDefinitionLengthAt, &definitionLength);
    reader.Get32(object + kObjectNumInstancesAt, &instances);  // no instances (-1) reads as very many
    if (instances > static_cast<uint32_t>(capacity)) instances = static_cast<uint32_t>(capacity);
    uint64_t instance = object + definitionLength;
    int filled = 0;
    while (static_cast<uint32_t>(filled) < instances) {
        PerfProcessEntry entry;
        memset(&entry, 0, sizeof entry);
        uint64_t next = 0;
        if (!ReadInstance(reader, instance, counterOffset, &entry, &next)) break;
        entries[filled++] = entry;
        instance = next;
    }
    return filled;
}
