#include "platform/ntfs/PartitionTable.h"

#include <cstring>

#include "platform/LittleEndian.h"
#include "platform/ntfs/PartitionLayout.h"

namespace {

const int kMaxLogicalPartitions = 128;
const uint32_t kMaxGptEntries = 1024;
const uint32_t kMaxGptEntrySize = 4096;

bool EndsWithBootSignature(const uint8_t* sector) { return ReadLe16(sector + kBootSignatureAt) == kBootSignature; }

bool IsExtended(uint8_t type) { return type == 0x05 || type == 0x0F || type == 0x85; }

// Adds a partition of count sectors from sector start, when it lies on the disk.
void Add(const DiskReader& read, uint64_t diskSize, uint32_t sectorSize, int number, uint64_t start,
         uint64_t count, std::vector<DiskPartition>* partitions) {
    uint64_t limit = diskSize / sectorSize;
    if (count == 0 || start >= limit || count > limit - start) return;
    DiskPartition partition;
    partition.number = number;
    partition.offset = start * sectorSize;
    partition.length = count * sectorSize;
    partition.holdsNtfs = HoldsNtfs(read, partition.offset);
    partitions->push_back(partition);
}

// The logical partitions: a chain of boot records, each with one partition
// and the place of the next, both counted from the extended partition's start.
void ReadLogical(const DiskReader& read, uint64_t diskSize, uint32_t sectorSize, uint64_t extendedStart,
                 std::vector<DiskPartition>* partitions) {
    uint64_t record = extendedStart;
    int number = 5;
    for (int step = 0; step < kMaxLogicalPartitions; ++step) {
        uint8_t sector[kBootSectorSize];
        if (record >= diskSize / sectorSize || !read(record * sectorSize, sector, sizeof sector) ||
            !EndsWithBootSignature(sector))
            return;
        const uint8_t* own = sector + kMbrEntriesAt;
        const uint8_t* next = own + kMbrEntrySize;
        if (own[kMbrTypeAt] != 0)
            Add(read, diskSize, sectorSize, number++, record + ReadLe32(own + kMbrFirstSectorAt),
                ReadLe32(own + kMbrSectorCountAt), partitions);
        uint64_t following = extendedStart + ReadLe32(next + kMbrFirstSectorAt);
        // Each record must lie further on, so a chain cannot loop.
        if (next[kMbrTypeAt] == 0 || following <= record) return;
        record = following;
    }
}

bool ReadGpt(const DiskReader& read, uint64_t diskSize, uint32_t sectorSize, std::vector<DiskPartition>* partitions) {
    uint8_t header[kBootSectorSize];
    if (!read(sectorSize, header, sizeof header) || memcmp(header, "EFI PART", 8) != 0) return false;
    uint64_t entriesAt = ReadLe64(header + kGptEntriesSectorAt);
    uint32_t count = ReadLe32(header + kGptEntryCountAt);
    uint32_t entrySize = ReadLe32(header + kGptEntrySizeAt);
    if (entrySize < kGptMinEntrySize || entrySize > kMaxGptEntrySize || entrySize % 8 != 0 || count > kMaxGptEntries)
        return false;
    uint64_t bytes = static_cast<uint64_t>(count) * entrySize;
    if (entriesAt >= diskSize / sectorSize || bytes > diskSize - entriesAt * sectorSize) return false;
    std::vector<uint8_t> entries(bytes);
    if (bytes > 0 && !read(entriesAt * sectorSize, entries.data(), entries.size())) return false;
    static const uint8_t kUnused[kGptTypeSize] = {};
    for (uint32_t slot = 0; slot < count; ++slot) {
        const uint8_t* entry = entries.data() + static_cast<size_t>(slot) * entrySize;
        uint64_t first = ReadLe64(entry + kGptFirstSectorAt);
        uint64_t last = ReadLe64(entry + kGptLastSectorAt);
        if (memcmp(entry, kUnused, sizeof kUnused) == 0 || last < first) continue;
        Add(read, diskSize, sectorSize, static_cast<int>(slot) + 1, first, last - first + 1, partitions);
    }
    return true;
}

bool ReadMbr(const DiskReader& read, uint64_t diskSize, uint32_t sectorSize, std::vector<DiskPartition>* partitions) {
    uint8_t mbr[kBootSectorSize];
    if (!read(0, mbr, sizeof mbr) || !EndsWithBootSignature(mbr)) return false;
    for (int slot = 0; slot < kMbrEntryCount; ++slot) {
        const uint8_t* entry = mbr + kMbrEntriesAt + slot * kMbrEntrySize;
        // A boot flag other than these: boot code or a file system, not a table.
        if (entry[kMbrBootFlagAt] != 0x00 && entry[kMbrBootFlagAt] != 0x80) return false;
    }
    for (int slot = 0; slot < kMbrEntryCount; ++slot) {
        const uint8_t* entry = mbr + kMbrEntriesAt + slot * kMbrEntrySize;
        uint8_t type = entry[kMbrTypeAt];
        if (type == kMbrTypeGptProtective) {
            partitions->clear();
            return ReadGpt(read, diskSize, sectorSize, partitions);
        }
        if (type == 0) continue;
        uint32_t first = ReadLe32(entry + kMbrFirstSectorAt);
        if (IsExtended(type)) ReadLogical(read, diskSize, sectorSize, first, partitions);
        else Add(read, diskSize, sectorSize, slot + 1, first, ReadLe32(entry + kMbrSectorCountAt), partitions);
    }
    return true;
}

}  // namespace

bool HoldsNtfs(const DiskReader& read, uint64_t offset) {
    uint8_t sector[kBootSectorSize];
    return read(offset, sector, sizeof sector) && memcmp(sector + kNtfsNameAt, "NTFS    ", 8) == 0 &&
           EndsWithBootSignature(sector);
}

bool ReadPartitionTable(const DiskReader& read, uint64_t diskSize, uint32_t sectorSize,
                        std::vector<DiskPartition>* partitions) {
    partitions->clear();
    if (sectorSize != 0) return ReadMbr(read, diskSize, sectorSize, partitions);
    // An image does not say its sector size: the one under which the table
    // leads to NTFS file systems wins, else the usual 512 bytes.
    bool known = false;
    for (uint32_t size : {512u, 4096u}) {
        std::vector<DiskPartition> found;
        if (!ReadMbr(read, diskSize, size, &found)) continue;
        if (!known || (NtfsPartitionNumbers(*partitions).empty() && !NtfsPartitionNumbers(found).empty()))
            *partitions = found;
        known = true;
    }
    return known;
}

std::string NtfsPartitionNumbers(const std::vector<DiskPartition>& partitions) {
    std::string numbers;
    for (const DiskPartition& partition : partitions) {
        if (!partition.holdsNtfs) continue;
        if (!numbers.empty()) numbers += ", ";
        numbers += std::to_string(partition.number);
    }
    return numbers;
}
