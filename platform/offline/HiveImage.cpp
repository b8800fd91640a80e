#include "platform/offline/HiveImage.h"

#include <cstring>

uint32_t HiveHeaderChecksum(const uint8_t* baseBlock) {
    uint32_t sum = 0;
    for (size_t at = 0; at < kHiveChecksummedBytes; at += 4) sum ^= HiveRead32(baseBlock, at);
    if (sum == 0xFFFFFFFFu) return 0xFFFFFFFEu;
    if (sum == 0) return 1;
    return sum;
}

bool HiveBaseBlockIntact(const uint8_t* baseBlock) {
    return memcmp(baseBlock, "regf", 4) == 0 && HiveRead32(baseBlock, kHiveChecksum) == HiveHeaderChecksum(baseBlock);
}

bool HiveBaseBlockDirty(const uint8_t* baseBlock) {
    return !HiveBaseBlockIntact(baseBlock) ||
           HiveRead32(baseBlock, kHivePrimarySequence) != HiveRead32(baseBlock, kHiveSecondarySequence);
}

bool HiveBinsSizeOf(const uint8_t* baseBlock, uint32_t* binsSize) {
    uint32_t size = HiveRead32(baseBlock, kHiveBinsSize);
    if (size == 0 || size % kHiveBinAlignment != 0 || size > kHiveLargestBins) return false;
    *binsSize = size;
    return true;
}

void SealHiveBaseBlock(HiveBytes* image, uint32_t sequence, uint64_t timestamp) {
    uint8_t* bytes = image->data();
    HiveWrite32(bytes, kHivePrimarySequence, sequence);
    HiveWrite32(bytes, kHiveSecondarySequence, sequence);
    HiveWrite32(bytes, kHiveFileType, kHiveTypePrimary);
    HiveWrite64(bytes, kHiveTimestamp, timestamp);
    HiveWrite64(bytes, kHiveBaseBlockSize + kHiveBinTimestamp, timestamp);
    HiveWrite32(bytes, kHiveChecksum, HiveHeaderChecksum(bytes));
}
