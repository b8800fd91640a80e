// The fields of a disk's partition tables that the reader uses, by the
// published layouts of the master boot record and the GUID partition table.
// The tests build their disks by them.
#pragma once

#include <cstddef>
#include <cstdint>

// Any boot sector: the reader's unit, and its closing signature 55 AA.
const size_t kBootSectorSize = 512;
const size_t kBootSignatureAt = 510;
const uint16_t kBootSignature = 0xAA55;  // little-endian
// NTFS boot sector: the file system's name, "NTFS" and four spaces.
const size_t kNtfsNameAt = 3;

// Master boot record (and each boot record of an extended partition's chain):
// four entries, each with its boot flag, type and place in sectors.
const size_t kMbrEntriesAt = 446;
const size_t kMbrEntrySize = 16;
const int kMbrEntryCount = 4;
const size_t kMbrBootFlagAt = 0;
const size_t kMbrTypeAt = 4;
const size_t kMbrFirstSectorAt = 8;
const size_t kMbrSectorCountAt = 12;
const uint8_t kMbrTypeGptProtective = 0xEE;

// GUID partition table: its header in the disk's second sector ("EFI PART"),
// the entries where that header says.
const size_t kGptEntriesSectorAt = 72;
const size_t kGptEntryCountAt = 80;
const size_t kGptEntrySizeAt = 84;
const size_t kGptMinEntrySize = 128;
const size_t kGptTypeSize = 16;  // the entry's type GUID, all zero when unused
const size_t kGptFirstSectorAt = 32;
const size_t kGptLastSectorAt = 40;
