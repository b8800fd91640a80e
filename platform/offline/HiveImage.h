// The bytes of a registry hive file as Windows lays them out: a 4 KiB base
// block, then the hive bins data, whose offsets count from its start. Pure
// functions over byte buffers: nothing here reads or writes a file.
//
// Every offset and size read from such bytes is untrusted; the readers here
// widen to 64 bits before adding, and callers check a range with Has()
// before touching it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/LittleEndian.h"

typedef std::vector<uint8_t> HiveBytes;

const size_t kHiveBaseBlockSize = 4096;
const size_t kHiveBinAlignment = 4096;
const size_t kHiveSectorSize = 512;     // of the transaction logs, whatever the disk's sector
const size_t kHiveChecksummedBytes = 508;
const uint32_t kHiveNoCell = 0xFFFFFFFFu;
// The largest hive file, and hive bins data, read or made from a base block
// or a log: far above any real hive (system hives are seldom more than a few
// hundred MiB) and half of what the format's 32-bit offsets reach; it bounds
// the memory a hive can take (about twice this while a change is written).
const uint64_t kHiveSizeLimit = 1ull << 30;
const uint64_t kHiveLargestBins = kHiveSizeLimit - kHiveBaseBlockSize;

// Fields of the base block (offsets from its start).
const size_t kHivePrimarySequence = 0x04;
const size_t kHiveSecondarySequence = 0x08;
const size_t kHiveTimestamp = 0x0C;
const size_t kHiveMajorVersion = 0x14;
const size_t kHiveMinorVersion = 0x18;
const size_t kHiveFileType = 0x1C;
const size_t kHiveFileFormat = 0x20;
const size_t kHiveRootCell = 0x24;
const size_t kHiveBinsSize = 0x28;
const size_t kHiveClustering = 0x2C;
const size_t kHiveFlags = 0x90;
const size_t kHiveChecksum = 0x1FC;
// Fields of a hive bin's header (offsets from the bin's start).
const size_t kHiveBinOffset = 0x04;
const size_t kHiveBinSize = 0x08;
const size_t kHiveBinTimestamp = 0x14;
const size_t kHiveBinHeaderSize = 0x20;
// Cells start and end on 8-byte boundaries of the bins data.
const uint32_t kCellAlignment = 8;
// Fields of a key record ("nk"), from its cell's data; its name follows
// the kKeyHeader bytes.
const size_t kKeyFlags = 0x02;
const size_t kKeyParent = 0x10;
const size_t kKeySubkeyCount = 0x14;
const size_t kKeySubkeyList = 0x1C;
const size_t kKeyValueCount = 0x24;
const size_t kKeyValueList = 0x28;
const size_t kKeySecurity = 0x2C;
const size_t kKeyClassName = 0x30;
const size_t kKeyNameLength = 0x48;
const size_t kKeyClassLength = 0x4A;
const size_t kKeyHeader = 0x4C;
const uint16_t kKeyCompressedName = 0x20;  // in the flags: the name is Latin-1, not UTF-16
// Fields of a value record ("vk"); its name follows the kValueHeader bytes.
const size_t kValueNameLength = 0x02;
const size_t kValueDataSize = 0x04;
const size_t kValueDataOffset = 0x08;
const size_t kValueType = 0x0C;
const size_t kValueFlags = 0x10;
const size_t kValueHeader = 0x14;
const uint16_t kValueCompressedName = 0x01;

// The file type field: what the file is.
const uint32_t kHiveTypePrimary = 0;
const uint32_t kHiveTypeLog = 1;        // old-format transaction log (Windows XP to 8)
const uint32_t kHiveTypeLogNt = 2;      // the same, as Windows 2000 and earlier mark it
const uint32_t kHiveTypeLogEntries = 6; // new-format transaction log (Windows 8.1 and later)

// Fields at an offset of a hive's bytes.
inline uint16_t HiveRead16(const uint8_t* bytes, size_t at) { return ReadLe16(bytes + at); }
inline uint32_t HiveRead32(const uint8_t* bytes, size_t at) { return ReadLe32(bytes + at); }
inline uint64_t HiveRead64(const uint8_t* bytes, size_t at) { return ReadLe64(bytes + at); }
inline void HiveWrite32(uint8_t* bytes, size_t at, uint32_t value) { WriteLe32(bytes + at, value); }
inline void HiveWrite64(uint8_t* bytes, size_t at, uint64_t value) { WriteLe64(bytes + at, value); }

// Whether length bytes from at lie inside a buffer of size bytes.
inline bool HiveHas(uint64_t size, uint64_t at, uint64_t length) { return at <= size && length <= size - at; }

// The base block's checksum: the exclusive-or of its first 127 32-bit words,
// with 0xFFFFFFFF stored as 0xFFFFFFFE and 0 as 1.
uint32_t HiveHeaderChecksum(const uint8_t* baseBlock);
// A "regf" signature and the checksum it carries.
bool HiveBaseBlockIntact(const uint8_t* baseBlock);
// Not closed cleanly: a wrong checksum, or the two sequence numbers differ
// (a write began and did not end).
bool HiveBaseBlockDirty(const uint8_t* baseBlock);

// The bins data size a base block gives, when it is one the readers accept:
// a whole number of 4 KiB bins, none of them past kHiveLargestBins.
bool HiveBinsSizeOf(const uint8_t* baseBlock, uint32_t* binsSize);

// Makes image's base block that of a primary file closed cleanly: both
// sequence numbers set to sequence, the last-written time (in the base
// block and in its backup copy in the first bin's header) set to timestamp
// (a FILETIME), and the checksum made right. The image holds at least the
// base block and the first bin's header.
void SealHiveBaseBlock(HiveBytes* image, uint32_t sequence, uint64_t timestamp);
