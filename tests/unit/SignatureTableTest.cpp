#include "engine/SignatureTable.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

// The record layout is part of the table's definition: packed, 108 bytes.
static_assert(offsetof(SignatureRecord, name) == 0, "name at 0");
static_assert(offsetof(SignatureRecord, firstOffset) == 50, "firstOffset at 50");
static_assert(offsetof(SignatureRecord, firstPattern) == 54, "firstPattern at 54");
static_assert(offsetof(SignatureRecord, secondOffset) == 75, "secondOffset at 75");
static_assert(offsetof(SignatureRecord, secondPattern) == 79, "secondPattern at 79");
static_assert(offsetof(SignatureRecord, fileSize) == 100, "fileSize at 100");
static_assert(offsetof(SignatureRecord, sizeTest) == 104, "sizeTest at 104");
static_assert(sizeof(SignatureTable) == 86 * 108, "85 records and the terminator");

namespace {

// The detection names in table order, from the list the table is generated from.
std::vector<std::string> ListedNames() {
    std::string here = __FILE__;
    std::ifstream list(here.substr(0, here.rfind("tests/unit/")) + "tools/signature_names.txt");
    std::vector<std::string> names;
    for (std::string line; std::getline(list, line);)
        if (!line.empty()) names.push_back(line);
    return names;
}

std::vector<uint8_t> Hex(const char* text) {
    std::vector<uint8_t> bytes;
    // Pairs of digits, each but the last followed by one blank.
    for (const char* p = text; p[0] && p[1]; p += p[2] ? 3 : 2)
        bytes.push_back(static_cast<uint8_t>(std::stoul(std::string(p, 2), nullptr, 16)));
    return bytes;
}

void ExpectRecord(int index, int32_t first, const char* firstHex, int32_t second, const char* secondHex,
                  int32_t size) {
    const SignatureRecord& r = SignatureTable[index];
    // Packed fields are compared by value: a reference to one may be misaligned.
    EXPECT_EQ(first, int32_t{r.firstOffset}) << index;
    EXPECT_EQ(Hex(firstHex), std::vector<uint8_t>(r.firstPattern, r.firstPattern + 20)) << index;
    EXPECT_EQ(second, int32_t{r.secondOffset}) << index;
    EXPECT_EQ(Hex(secondHex), std::vector<uint8_t>(r.secondPattern, r.secondPattern + 20)) << index;
    EXPECT_EQ(size, int32_t{r.fileSize}) << index;
    EXPECT_EQ(1, int32_t{r.sizeTest}) << index;
}

TEST(SignatureTableTest, TheTwoKnownRecordsByteForByte) {
    ExpectRecord(0, 101617, "9c a7 bc 70 54 e1 5d cb 24 db c0 46 f3 b8 75 7b 10 ee 52 6a", 135361,
                 "c5 d5 ae 9f 84 59 87 26 25 a3 4f 75 e9 dd f8 34 d2 05 e5 9c", 95744);
    ExpectRecord(42, 1349, "33 c2 ab 83 ee 03 8d 7f fd 2b d1 c1 ca 0b 49 0f 85 ea ff ff", -1278,
                 "8d 76 04 33 c2 ab 83 c6 fd 8d 7f fd 2b d1 c1 ca 0b 49 0f 85", 90624);
    // Record 0 read as raw bytes: little-endian integers at the packed offsets.
    const uint8_t* raw = reinterpret_cast<const uint8_t*>(&SignatureTable[0]);
    EXPECT_EQ(0xF1, raw[50]);  // 101617 = 0x18CF1
    EXPECT_EQ(0x8C, raw[51]);
    EXPECT_EQ(0x01, raw[52]);
    EXPECT_EQ((std::vector<uint8_t>{0x00, 0x76, 0x01, 0x00}),  // 95744 = 0x17600
              std::vector<uint8_t>(raw + 100, raw + 104));
    EXPECT_EQ((std::vector<uint8_t>{0x01, 0x00, 0x00, 0x00}), std::vector<uint8_t>(raw + 104, raw + 108));
    EXPECT_EQ(0x00, raw[74]);
    const uint8_t* r42 = reinterpret_cast<const uint8_t*>(&SignatureTable[42]);
    EXPECT_EQ(0x02, r42[75]);  // -1278 = 0xFFFFFB02
    EXPECT_EQ(0xFB, r42[76]);
    EXPECT_EQ(0xFF, r42[78]);
}

TEST(SignatureTableTest, NamesInTableOrder) {
    std::vector<std::string> names = ListedNames();
    ASSERT_EQ(static_cast<size_t>(kSignatureCount), names.size());
    std::map<std::string, int> counts;
    for (int i = 0; i < kSignatureCount; ++i) {
        const SignatureRecord& r = SignatureTable[i];
        EXPECT_STREQ(names[i].c_str(), r.name) << i;
        size_t length = std::strlen(r.name);
        for (size_t j = length; j < sizeof r.name; ++j) EXPECT_EQ('\0', r.name[j]) << i;
        ++counts[r.name];
    }
    EXPECT_EQ(51u, counts.size());
    EXPECT_EQ(34, counts["W32/Drovak.Trojan"]);
    EXPECT_EQ(2, counts["W32/Drovak.V.Trojan"]);
}

TEST(SignatureTableTest, StatedRangesAndCounts) {
    int32_t minSize = INT32_MAX, maxSize = INT32_MIN;
    int32_t minFirst = INT32_MAX, maxFirst = INT32_MIN;
    int32_t minSecond = INT32_MAX, maxSecond = INT32_MIN;
    int negativeFirst = 0, negativeSecond = 0;
    for (int i = 0; i < kSignatureCount; ++i) {
        const SignatureRecord& r = SignatureTable[i];
        EXPECT_EQ(1, int32_t{r.sizeTest}) << i;
        minSize = std::min(minSize, int32_t{r.fileSize});
        maxSize = std::max(maxSize, int32_t{r.fileSize});
        minFirst = std::min(minFirst, int32_t{r.firstOffset});
        maxFirst = std::max(maxFirst, int32_t{r.firstOffset});
        minSecond = std::min(minSecond, int32_t{r.secondOffset});
        maxSecond = std::max(maxSecond, int32_t{r.secondOffset});
        negativeFirst += r.firstOffset < 0;
        negativeSecond += r.secondOffset < 0;
        EXPECT_EQ(0, r.firstPattern[20]) << i;
        EXPECT_EQ(0, r.secondPattern[20]) << i;
    }
    EXPECT_EQ(24576, minSize);
    EXPECT_EQ(323072, maxSize);
    EXPECT_EQ(-95024, minFirst);
    EXPECT_EQ(490239, maxFirst);
    EXPECT_EQ(-225680, minSecond);
    EXPECT_EQ(624159, maxSecond);
    EXPECT_EQ(17, negativeFirst);
    EXPECT_EQ(36, negativeSecond);
}

TEST(SignatureTableTest, TerminatorIsAllZeroAndPatternsAreDistinct) {
    const uint8_t* end = reinterpret_cast<const uint8_t*>(&SignatureTable[kSignatureCount]);
    for (int i = 0; i < 108; ++i) EXPECT_EQ(0, end[i]) << i;
    for (int i = 0; i < kSignatureCount; ++i) EXPECT_NE('\0', SignatureTable[i].name[0]) << i;

    // Every record can be told from every other: no two share a pattern, and
    // no record has both patterns in one place.
    std::set<std::string> patterns;
    for (int i = 0; i < kSignatureCount; ++i) {
        const SignatureRecord& r = SignatureTable[i];
        patterns.insert(std::string(reinterpret_cast<const char*>(r.firstPattern), 20));
        patterns.insert(std::string(reinterpret_cast<const char*>(r.secondPattern), 20));
        EXPECT_GE(std::abs(r.secondOffset - r.firstOffset), 20) << i;
    }
    EXPECT_EQ(2u * kSignatureCount, patterns.size());
}

TEST(SignatureTableTest, RecordsAreNotSorted) {
    bool bySizeUp = true, bySizeDown = true, byFirstUp = true;
    for (int i = 1; i < kSignatureCount; ++i) {
        bySizeUp &= SignatureTable[i - 1].fileSize <= SignatureTable[i].fileSize;
        bySizeDown &= SignatureTable[i - 1].fileSize >= SignatureTable[i].fileSize;
        byFirstUp &= SignatureTable[i - 1].firstOffset <= SignatureTable[i].firstOffset;
    }
    EXPECT_FALSE(bySizeUp);
    EXPECT_FALSE(bySizeDown);
    EXPECT_FALSE(byFirstUp);
}

}  // namespace
