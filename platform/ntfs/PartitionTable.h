// The partitions of a whole disk (or of an image of one): the classic
// master boot record with its extended partitions, or the GUID partition
// table. The bytes come from a disk that an attacker may have written, so
// every entry is checked against the disk's size before it is used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct DiskPartition {
    int number = 0;       // as Linux numbers them: MBR 1-4 primary, 5 on logical; GPT by slot
    uint64_t offset = 0;  // bytes from the start of the disk
    uint64_t length = 0;  // bytes
    bool holdsNtfs = false;
};

// Reads count bytes at offset; false when they cannot all be read.
typedef std::function<bool(uint64_t offset, void* buffer, size_t count)> DiskReader;

// Whether the sector at offset is the boot sector of an NTFS file system.
bool HoldsNtfs(const DiskReader& read, uint64_t offset);

// The partitions of a disk of diskSize bytes whose logical sectors have
// sectorSize bytes (0: try 512, then 4096). False when the disk has no
// partition table this reader knows.
bool ReadPartitionTable(const DiskReader& read, uint64_t diskSize, uint32_t sectorSize,
                        std::vector<DiskPartition>* partitions);

// "2, 3" for the partitions that hold NTFS; empty when none does.
std::string NtfsPartitionNumbers(const std::vector<DiskPartition>& partitions);
