#include "offline/EmptyHive.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/LittleEndian.h"
#include "platform/offline/HiveImage.h"
#include "platform/offline/OfflineHive.h"

namespace {

const uint32_t kBinSize = 4096;
const uint32_t kRootCell = 0x20;     // cells start after the bin's 32-byte header
const uint32_t kSecurityCell = 0x80;
const char kRootName[] = "ROOT";

void Put16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) { WriteLe16(&bytes[at], value); }

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) { WriteLe32(&bytes[at], value); }

void WriteBaseBlock(std::vector<uint8_t>& hive) {
    memcpy(&hive[0], "regf", 4);
    Put32(hive, kHivePrimarySequence, 1);  // sequence numbers equal: closed cleanly
    Put32(hive, kHiveSecondarySequence, 1);
    Put32(hive, kHiveMajorVersion, 1);  // format 1.5
    Put32(hive, kHiveMinorVersion, 5);
    Put32(hive, kHiveFileType, kHiveTypePrimary);
    Put32(hive, kHiveFileFormat, 1);  // direct memory load
    Put32(hive, kHiveRootCell, kRootCell);
    Put32(hive, kHiveBinsSize, kBinSize);
    Put32(hive, kHiveClustering, 1);
    Put32(hive, kHiveChecksum, HiveHeaderChecksum(hive.data()));
}

void WriteRootKey(std::vector<uint8_t>& bin) {
    const size_t cell = kRootCell;
    const size_t nameLength = sizeof kRootName - 1;
    Put32(bin, cell, static_cast<uint32_t>(-static_cast<int32_t>(0x60)));  // allocated, 96 bytes
    size_t nk = cell + 4;
    memcpy(&bin[nk], "nk", 2);
    Put16(bin, nk + kKeyFlags, 0x2C);  // hive entry, no delete, ASCII name
    Put32(bin, nk + kKeySubkeyCount, 0);
    Put32(bin, nk + kKeySubkeyList, kHiveNoCell);
    Put32(bin, nk + kKeySubkeyList + 4, kHiveNoCell);  // the volatile list
    Put32(bin, nk + kKeyValueCount, 0);
    Put32(bin, nk + kKeyValueList, kHiveNoCell);
    Put32(bin, nk + kKeySecurity, kSecurityCell);
    Put32(bin, nk + kKeyClassName, kHiveNoCell);
    Put16(bin, nk + kKeyNameLength, static_cast<uint16_t>(nameLength));
    memcpy(&bin[nk + kKeyHeader], kRootName, nameLength);
}

// A security cell that refers to itself, holding a descriptor without a
// list of rights (full access).
void WriteSecurityCell(std::vector<uint8_t>& bin) {
    const size_t cell = kSecurityCell;
    Put32(bin, cell, static_cast<uint32_t>(-static_cast<int32_t>(0x30)));
    size_t sk = cell + 4;
    memcpy(&bin[sk], "sk", 2);
    Put32(bin, sk + 0x04, kSecurityCell);
    Put32(bin, sk + 0x08, kSecurityCell);
    Put32(bin, sk + 0x0C, 1);   // references
    Put32(bin, sk + 0x10, 20);  // descriptor length
    bin[sk + 0x14] = 1;         // revision
    Put16(bin, sk + 0x16, 0x8000);  // self-relative, no lists
}

}  // namespace

bool WriteEmptyHive(const std::string& path) {
    std::vector<uint8_t> hive(kHiveBaseBlockSize + kBinSize, 0);
    WriteBaseBlock(hive);
    std::vector<uint8_t> bin(kBinSize, 0);
    memcpy(&bin[0], "hbin", 4);
    Put32(bin, kHiveBinOffset, 0);
    Put32(bin, kHiveBinSize, kBinSize);
    WriteRootKey(bin);
    WriteSecurityCell(bin);
    const uint32_t freeStart = kSecurityCell + 0x30;
    Put32(bin, freeStart, kBinSize - freeStart);  // the rest is one free cell
    memcpy(&hive[kHiveBaseBlockSize], bin.data(), kBinSize);
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    bool written = fwrite(hive.data(), 1, hive.size(), file) == hive.size();
    return fclose(file) == 0 && written;
}
