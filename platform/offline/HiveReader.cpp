#include "platform/offline/HiveReader.h"

#include "platform/host/TextCodes.h"

#include <cstdio>
#include <cstring>

namespace {

const uint32_t kLowestMinorVersion = 2;  // older hives lay their cells out otherwise
const uint32_t kHighestMinorVersion = 6;
// Data above this size are split into segments from format 1.4 on.
const uint32_t kLargestSegment = 16344;
const uint32_t kInlineData = 0x80000000u;
const uint32_t kSizeMask = 0x7FFFFFFFu;

const uint32_t kSmallestKeyCell = 80;  // a key record with its cell's size field, whole 8 bytes
// In a security record.
const size_t kSecurityHeader = 20;

HiveName NameOf(const uint8_t* bytes, size_t length, bool compressed) {
    HiveName name;
    if (compressed) {
        name.assign(bytes, bytes + length);
    } else {
        for (size_t i = 0; i + 1 < length; i += 2) name += static_cast<char16_t>(HiveRead16(bytes, i));
    }
    return name;
}

}  // namespace

std::string HiveNameText(const HiveName& name) { return Utf16ToUtf8(name.data(), name.size()); }

bool HiveReader::Fail(std::string* problem, const char* what, uint32_t offset) const {
    char text[160];
    snprintf(text, sizeof text, "%s (cell 0x%X)", what, offset);
    *problem = text;
    return false;
}

bool HiveReader::Open(std::string* problem) {
    if (image_.size() < kHiveBaseBlockSize + kHiveBinAlignment) {
        *problem = "shorter than a hive's base block and first bin";
        return false;
    }
    const uint8_t* block = image_.data();
    minorVersion_ = HiveRead32(block, kHiveMinorVersion);
    if (!HiveBaseBlockIntact(block) || HiveBaseBlockDirty(block)) {
        *problem = "its base block is damaged or not that of a hive closed cleanly";
        return false;
    }
    if (HiveRead32(block, kHiveFileType) != kHiveTypePrimary || HiveRead32(block, kHiveFileFormat) != 1 ||
        HiveRead32(block, kHiveMajorVersion) != 1 || minorVersion_ < kLowestMinorVersion ||
        minorVersion_ > kHighestMinorVersion) {
        *problem = "a hive format version this tool does not know";
        return false;
    }
    if (!HiveBinsSizeOf(block, &binsSize_) || image_.size() - kHiveBaseBlockSize < binsSize_) {
        *problem = "the size of its bins is impossible or past the end of the file";
        return false;
    }
    root_ = HiveRead32(block, kHiveRootCell);
    return IndexCells(problem);
}

// Bins follow each other without gaps, each a whole number of 4 KiB with
// its own offset in its header; cells fill each bin exactly.
bool HiveReader::IndexCells(std::string* problem) {
    allocated_.assign(binsSize_ / kCellAlignment, false);
    const uint8_t* bins = image_.data() + kHiveBaseBlockSize;
    for (uint64_t bin = 0; bin < binsSize_;) {
        uint32_t size = HiveRead32(bins, bin + kHiveBinSize);
        if (memcmp(bins + bin, "hbin", 4) != 0 || HiveRead32(bins, bin + kHiveBinOffset) != bin ||
            size < kHiveBinAlignment || size % kHiveBinAlignment != 0 || !HiveHas(binsSize_, bin, size))
            return Fail(problem, "a hive bin whose header is damaged", static_cast<uint32_t>(bin));
        for (uint64_t cell = bin + kHiveBinHeaderSize; cell < bin + size;) {
            int64_t stored = static_cast<int32_t>(HiveRead32(bins, cell));
            uint64_t length = static_cast<uint64_t>(stored < 0 ? -stored : stored);
            if (length < kCellAlignment || length % kCellAlignment != 0 || cell + length > bin + size)
                return Fail(problem, "a cell of impossible size", static_cast<uint32_t>(cell));
            if (stored < 0) allocated_[cell / kCellAlignment] = true;
            cell += length;
        }
        bin += size;
    }
    return true;
}

bool HiveReader::Cell(uint32_t offset, const uint8_t** data, uint32_t* length) const {
    if (offset % kCellAlignment != 0 || offset >= binsSize_ || !allocated_[offset / kCellAlignment]) return false;
    const uint8_t* cell = image_.data() + kHiveBaseBlockSize + offset;
    *data = cell + 4;
    *length = static_cast<uint32_t>(-static_cast<int32_t>(HiveRead32(cell, 0))) - 4;
    return true;
}

bool HiveReader::Key(uint32_t offset, HiveKey* key, std::string* problem) const {
    const uint8_t* data;
    uint32_t length;
    if (!Cell(offset, &data, &length)) return Fail(problem, "a key that is no allocated cell", offset);
    if (length < kKeyHeader || memcmp(data, "nk", 2) != 0) return Fail(problem, "a key record that is none", offset);
    uint16_t nameLength = HiveRead16(data, kKeyNameLength);
    if (kKeyHeader + nameLength > length) return Fail(problem, "a key name longer than its cell", offset);
    key->offset = offset;
    key->parent = HiveRead32(data, kKeyParent);
    key->subkeyCount = HiveRead32(data, kKeySubkeyCount);
    key->subkeyList = HiveRead32(data, kKeySubkeyList);
    key->valueCount = HiveRead32(data, kKeyValueCount);
    key->valueList = HiveRead32(data, kKeyValueList);
    key->security = HiveRead32(data, kKeySecurity);
    key->className = HiveRead32(data, kKeyClassName);
    key->classLength = HiveRead16(data, kKeyClassLength);
    key->name = NameOf(data + kKeyHeader, nameLength, (HiveRead16(data, kKeyFlags) & kKeyCompressedName) != 0);
    return true;
}

bool HiveReader::Value(uint32_t offset, HiveValue* value, std::string* problem) const {
    const uint8_t* data;
    uint32_t length;
    if (!Cell(offset, &data, &length)) return Fail(problem, "a value that is no allocated cell", offset);
    if (length < kValueHeader || memcmp(data, "vk", 2) != 0) return Fail(problem, "a value record that is none", offset);
    uint16_t nameLength = HiveRead16(data, kValueNameLength);
    if (kValueHeader + nameLength > length) return Fail(problem, "a value name longer than its cell", offset);
    value->offset = offset;
    value->dataSize = HiveRead32(data, kValueDataSize);
    value->dataOffset = HiveRead32(data, kValueDataOffset);
    value->type = HiveRead32(data, kValueType);
    value->name = NameOf(data + kValueHeader, nameLength, (HiveRead16(data, kValueFlags) & kValueCompressedName) != 0);
    return true;
}

bool HiveReader::Security(uint32_t offset, HiveSecurity* security, std::string* problem) const {
    const uint8_t* data;
    uint32_t length;
    if (!Cell(offset, &data, &length)) return Fail(problem, "a security record that is no allocated cell", offset);
    if (length < kSecurityHeader || memcmp(data, "sk", 2) != 0)
        return Fail(problem, "a security record that is none", offset);
    security->next = HiveRead32(data, 4);
    security->previous = HiveRead32(data, 8);
    security->references = HiveRead32(data, 12);
    security->descriptorLength = HiveRead32(data, 16);
    security->descriptor = data + kSecurityHeader;
    if (security->descriptorLength > length - kSecurityHeader)
        return Fail(problem, "a security descriptor longer than its cell", offset);
    return true;
}

bool HiveReader::ClassName(const HiveKey& key, std::string* name, std::string* problem) const {
    name->clear();
    if (key.className == kHiveNoCell) return true;
    const uint8_t* data;
    uint32_t length;
    if (!Cell(key.className, &data, &length)) return Fail(problem, "a class name that is no allocated cell", key.className);
    if (key.classLength > length) return Fail(problem, "a class name longer than its cell", key.className);
    name->assign(reinterpret_cast<const char*>(data), key.classLength);
    return true;
}

// One list of subkeys: lf and lh keep a hint or hash beside each key, li none.
bool HiveReader::Leaf(uint32_t offset, std::vector<HiveSubkey>* subkeys, std::string* problem) const {
    const uint8_t* data;
    uint32_t length;
    if (!Cell(offset, &data, &length) || length < 4)
        return Fail(problem, "a subkey list that is no allocated cell", offset);
    char leaf = data[0] == 'l' ? static_cast<char>(data[1]) : 0;
    if (leaf != 'f' && leaf != 'h' && leaf != 'i') return Fail(problem, "a subkey list of unknown kind", offset);
    uint64_t count = HiveRead16(data, 2), entry = leaf == 'i' ? 4 : 8;
    if (4 + count * entry > length) return Fail(problem, "a subkey list longer than its cell", offset);
    for (uint64_t i = 0; i < count; ++i) {
        size_t at = static_cast<size_t>(4 + i * entry);
        subkeys->push_back({HiveRead32(data, at), leaf, leaf == 'i' ? 0 : HiveRead32(data, at + 4)});
    }
    return true;
}

bool HiveReader::Subkeys(const HiveKey& key, std::vector<HiveSubkey>* subkeys, std::vector<uint32_t>* lists,
                         std::string* problem) const {
    subkeys->clear();
    lists->clear();
    if (key.subkeyCount == 0) return true;
    // Every subkey takes a cell of its own: a larger count is a lie (and
    // would have an index root name one list again and again).
    if (key.subkeyCount > binsSize_ / kSmallestKeyCell) return Fail(problem, "more subkeys than the hive can hold", key.offset);
    const uint8_t* data;
    uint32_t length;
    if (!Cell(key.subkeyList, &data, &length) || length < 4)
        return Fail(problem, "a subkey list that is no allocated cell", key.subkeyList);
    lists->push_back(key.subkeyList);
    if (memcmp(data, "ri", 2) != 0) {
        if (!Leaf(key.subkeyList, subkeys, problem)) return false;
    } else {
        // An index root divides a long list; it names lists, never another root.
        uint64_t count = HiveRead16(data, 2);
        if (4 + count * 4 > length) return Fail(problem, "an index root longer than its cell", key.subkeyList);
        for (uint64_t i = 0; i < count; ++i) {
            uint32_t leaf = HiveRead32(data, static_cast<size_t>(4 + i * 4));
            lists->push_back(leaf);
            if (!Leaf(leaf, subkeys, problem)) return false;
            if (subkeys->size() > key.subkeyCount) break;
        }
    }
    if (subkeys->size() != key.subkeyCount) return Fail(problem, "a key whose subkey count is not that of its lists", key.offset);
    return true;
}

bool HiveReader::Values(const HiveKey& key, std::vector<uint32_t>* values, uint32_t* list, std::string* problem) const {
    values->clear();
    *list = kHiveNoCell;
    if (key.valueCount == 0) return true;
    const uint8_t* data;
    uint32_t length;
    if (!Cell(key.valueList, &data, &length)) return Fail(problem, "a value list that is no allocated cell", key.valueList);
    if (static_cast<uint64_t>(key.valueCount) * 4 > length)
        return Fail(problem, "a key with more values than its value list holds", key.offset);
    *list = key.valueList;
    for (uint32_t i = 0; i < key.valueCount; ++i) values->push_back(HiveRead32(data, i * 4));
    return true;
}

bool HiveReader::Data(const HiveValue& value, std::string* data, std::vector<uint32_t>* cells,
                      std::string* problem) const {
    data->clear();
    cells->clear();
    uint32_t size = value.dataSize & kSizeMask;
    if (value.dataSize & kInlineData) {
        if (size > 4) return Fail(problem, "a value with more than 4 bytes of data in its record", value.offset);
        uint8_t inlineBytes[4];
        HiveWrite32(inlineBytes, 0, value.dataOffset);
        data->assign(reinterpret_cast<const char*>(inlineBytes), size);
        return true;
    }
    if (minorVersion_ >= 4 && size > kLargestSegment) return BigData(value, data, cells, problem);
    const uint8_t* bytes;
    uint32_t length;
    if (!Cell(value.dataOffset, &bytes, &length)) return Fail(problem, "a value whose data is no allocated cell", value.offset);
    if (size > length) return Fail(problem, "a value with more data than its data cell holds", value.offset);
    cells->push_back(value.dataOffset);
    data->assign(reinterpret_cast<const char*>(bytes), size);
    return true;
}

// Big data: a "db" record names a list of segments of 16344 bytes each but
// the last. hivex takes four bytes less than a segment's cell holds from
// each, so segment cells larger than Windows makes them would shift what it
// reads; they are refused.
bool HiveReader::BigData(const HiveValue& value, std::string* data, std::vector<uint32_t>* cells,
                         std::string* problem) const {
    uint32_t size = value.dataSize & kSizeMask;
    const uint8_t* record;
    uint32_t length;
    if (!Cell(value.dataOffset, &record, &length) || length < 8 || memcmp(record, "db", 2) != 0 || length >= size)
        return Fail(problem, "a value whose big-data record is none", value.offset);
    uint32_t count = HiveRead16(record, 2), listOffset = HiveRead32(record, 4);
    const uint8_t* list;
    uint32_t listLength;
    if (count != (size + kLargestSegment - 1) / kLargestSegment || !Cell(listOffset, &list, &listLength) ||
        static_cast<uint64_t>(count) * 4 > listLength)
        return Fail(problem, "a value whose list of data segments does not fit its size", value.offset);
    cells->push_back(value.dataOffset);
    cells->push_back(listOffset);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t segment = HiveRead32(list, i * 4), part = i + 1 < count ? kLargestSegment : size - i * kLargestSegment;
        const uint8_t* bytes;
        uint32_t segmentLength;
        if (!Cell(segment, &bytes, &segmentLength) || segmentLength < part ||
            (i + 1 < count && segmentLength != kLargestSegment + 4))
            return Fail(problem, "a value with a data segment of the wrong size", value.offset);
        cells->push_back(segment);
        data->append(reinterpret_cast<const char*>(bytes), part);
    }
    return true;
}
