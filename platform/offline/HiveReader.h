// Reading the records of a hive image (keys, values, their lists and data,
// security cells) straight from its bytes, as Windows reads them. Every
// record is checked against the cell that holds it before it is read, so
// any bytes are safe to hand in; a record that does not fit is a problem,
// never a read out of bounds. What a whole hive must satisfy is HiveWalk's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/offline/HiveImage.h"

// A key or value name as UTF-16 code units (a name stored in the one-byte
// form is widened unit by unit, as Windows widens it).
typedef std::u16string HiveName;

struct HiveKey {
    uint32_t offset;  // of its cell, in the bins data
    uint32_t parent;
    uint32_t subkeyCount, subkeyList;
    uint32_t valueCount, valueList;
    uint32_t security;
    uint32_t className;
    uint16_t classLength;
    HiveName name;
};

struct HiveValue {
    uint32_t offset;
    uint32_t dataSize;  // as stored: the top bit set for data kept in the record itself
    uint32_t dataOffset;
    uint32_t type;
    HiveName name;
};

struct HiveSubkey {
    uint32_t key;
    char leaf;      // 'f', 'h' or 'i': the kind of list that names it
    uint32_t hint;  // the name hint (lf) or hash (lh) the list keeps for it
};

struct HiveSecurity {
    uint32_t next, previous;  // the list all security cells form
    uint32_t references;
    const uint8_t* descriptor;
    uint32_t descriptorLength;
};

class HiveReader {
public:
    // image: a hive file's bytes (base block, bins, maybe more); kept by reference.
    explicit HiveReader(const HiveBytes& image) : image_(image) {}

    // Checks the base block and the layout of the bins and their cells;
    // false with the problem when they are not those of a hive.
    bool Open(std::string* problem);

    uint32_t Root() const { return root_; }
    uint32_t BinsSize() const { return binsSize_; }

    // The data of the allocated cell that begins at offset; false when
    // none begins there.
    bool Cell(uint32_t offset, const uint8_t** data, uint32_t* length) const;

    bool Key(uint32_t offset, HiveKey* key, std::string* problem) const;
    bool Value(uint32_t offset, HiveValue* value, std::string* problem) const;
    bool Security(uint32_t offset, HiveSecurity* security, std::string* problem) const;
    // The class name's bytes (UTF-16LE).
    bool ClassName(const HiveKey& key, std::string* name, std::string* problem) const;
    // The key's subkeys in list order, and the cells of the lists.
    bool Subkeys(const HiveKey& key, std::vector<HiveSubkey>* subkeys, std::vector<uint32_t>* lists,
                 std::string* problem) const;
    // The key's values in list order (offsets of their records), and the
    // list's cell (kHiveNoCell when it has none).
    bool Values(const HiveKey& key, std::vector<uint32_t>* values, uint32_t* list, std::string* problem) const;
    // The value's data, and the cells that hold it (none for data kept in
    // the record; a big-data record, its segment list and its segments).
    bool Data(const HiveValue& value, std::string* data, std::vector<uint32_t>* cells, std::string* problem) const;

private:
    bool IndexCells(std::string* problem);
    bool Fail(std::string* problem, const char* what, uint32_t offset) const;
    bool BigData(const HiveValue& value, std::string* data, std::vector<uint32_t>* cells, std::string* problem) const;
    bool Leaf(uint32_t offset, std::vector<HiveSubkey>* subkeys, std::string* problem) const;

    const HiveBytes& image_;
    uint32_t binsSize_ = 0;
    uint32_t minorVersion_ = 0;
    uint32_t root_ = kHiveNoCell;
    std::vector<bool> allocated_;  // per 8 bytes of the bins data: an allocated cell begins there
};

// The name (or any UTF-16 text) as UTF-8, for messages and for comparing
// with the registry's names; a lone surrogate becomes "?".
std::string HiveNameText(const HiveName& name);
