// The partition table of a disk written by anyone: byte 0 picks the sector
// size (0: left to the reader, 1: 512, 2: 4096), bytes 1 to 4 the disk's size
// in 512-byte sectors, the rest the disk's first bytes (zeros after them, up
// to its size). Every partition found must lie on the disk.
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/ntfs/PartitionTable.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    uint8_t choice = input.Byte() % 3;
    uint32_t sectorSize = choice == 0 ? 0 : choice == 1 ? 512 : 4096;
    uint64_t diskSize = static_cast<uint64_t>(input.U32()) * 512;
    std::vector<uint8_t> start(input.Rest(), input.Rest() + input.Remaining());
    DiskReader read = [&](uint64_t offset, void* buffer, size_t count) {
        if (offset > diskSize || count > diskSize - offset) return false;
        memset(buffer, 0, count);
        if (offset < start.size())
            memcpy(buffer, start.data() + offset, std::min<uint64_t>(count, start.size() - offset));
        return true;
    };
    std::vector<DiskPartition> partitions;
    if (!ReadPartitionTable(read, diskSize, sectorSize, &partitions)) return 0;
    for (const DiskPartition& partition : partitions) {
        FUZZ_CHECK(partition.number >= 1);
        FUZZ_CHECK(partition.length > 0 && partition.offset < diskSize);
        FUZZ_CHECK(partition.length <= diskSize - partition.offset);
        FUZZ_CHECK(partition.holdsNtfs == HoldsNtfs(read, partition.offset));
    }
    return 0;
}
