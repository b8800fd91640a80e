// Recovery of a hive from its transaction logs over any hive file and logs,
// then the structural walk of what it gives. The input: a flags byte (bit 0
// and 1: make the hashes of .LOG1's and .LOG2's entries right, bit 2: make
// every base block's checksum right, so that mutations reach what follows
// those checks), the hive file's length (32 bits) and bytes, .LOG1's length
// and bytes, and .LOG2 as the rest.
// Whatever the bytes: a hive recovered or taken as it is has exactly its
// base block and bins and is closed cleanly, and once written back with the
// sequence number recovery gives, recovering it again with the same logs
// changes nothing.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/offline/HiveLogs.h"
#include "platform/offline/HiveWalk.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

const uint8_t kRehashLog1 = 1, kRehashLog2 = 2, kFixChecksums = 4;
// Bins as large as the product allows would make each input allocate and
// clear up to a GiB; the rules are the same at any limit.
const uint64_t kLargestBins = 1024 * 1024;

HiveBytes Take(FuzzInput& input, size_t length) {
    if (length > input.Remaining()) length = input.Remaining();
    HiveBytes bytes(input.Rest(), input.Rest() + length);
    for (size_t i = 0; i < length; ++i) input.Byte();
    return bytes;
}

void FixChecksum(HiveBytes* file) {
    if (file->size() >= kHiveSectorSize) HiveWrite32(file->data(), kHiveChecksum, HiveHeaderChecksum(file->data()));
}

// Makes the hashes of every entry whose size fits the log right.
void Rehash(HiveBytes* log) {
    for (size_t at = kHiveSectorSize; at + kLogEntryHeaderSize <= log->size();) {
        uint32_t size = HiveRead32(log->data(), at + kLogEntrySize);
        if (size < kLogEntryHeaderSize || size % kHiveSectorSize != 0 || size > log->size() - at) return;
        uint8_t* entry = log->data() + at;
        HiveWrite64(entry, kLogEntryHash1,
                    Marvin32(entry + kLogEntryHeaderSize, size - kLogEntryHeaderSize, kHiveLogEntrySeed));
        HiveWrite64(entry, kLogEntryHash2, Marvin32(entry, kLogEntryHashedHeader, kHiveLogEntrySeed));
        at += size;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    uint8_t flags = input.Byte();
    HiveBytes primary = Take(input, input.U32());
    HiveBytes log1 = Take(input, input.U32());
    HiveBytes log2 = Take(input, input.Remaining());
    if (flags & kRehashLog1) Rehash(&log1);
    if (flags & kRehashLog2) Rehash(&log2);
    if (flags & kFixChecksums) {
        FixChecksum(&primary);
        FixChecksum(&log1);
        FixChecksum(&log2);
    }
    std::vector<HiveLogFile> logs = {{HiveLogRole::kLog1, "H.LOG1", log1}, {HiveLogRole::kLog2, "H.LOG2", log2}};
    HiveRecovery recovery = RecoverHive(primary, logs, kLargestBins);
    if (recovery.outcome == HiveRecovery::kUnusable) {
        FUZZ_CHECK(!recovery.problem.empty());
        return 0;
    }
    const HiveBytes& image = recovery.image;
    FUZZ_CHECK(image.size() >= kHiveBaseBlockSize);
    FUZZ_CHECK(!HiveBaseBlockDirty(image.data()));
    FUZZ_CHECK(image.size() == kHiveBaseBlockSize + HiveRead32(image.data(), kHiveBinsSize));
    FUZZ_CHECK(recovery.outcome == HiveRecovery::kClean || !recovery.logs.empty());
    std::string problem;
    if (!WalkHive(image, &problem) || recovery.highestSequence == 0xFFFFFFFFu) return 0;
    HiveBytes written = image;
    SealHiveBaseBlock(&written, recovery.highestSequence + 1, 1);
    HiveRecovery again = RecoverHive(written, logs, kLargestBins);
    FUZZ_CHECK(again.outcome == HiveRecovery::kClean && again.image == written);
    return 0;
}
