// The built-in detection table: 85 packed records and a zero terminator.
#pragma once

#include <cstdint>

// The bytes of a pattern that are compared; each is stored with a zero after it.
const uint32_t kPatternLength = 20;

#pragma pack(push, 1)
struct SignatureRecord {
    char name[50];
    int32_t firstOffset;
    uint8_t firstPattern[kPatternLength + 1];
    int32_t secondOffset;
    uint8_t secondPattern[kPatternLength + 1];
    int32_t fileSize;
    int32_t sizeTest;  // one of the kSizeTest values below; any other never matches
};
#pragma pack(pop)

static_assert(sizeof(SignatureRecord) == 108, "records are packed to 108 bytes");

// How a record's fileSize is used.
const int32_t kSizeTestExact = 1;  // the file's length equals fileSize
const int32_t kSizeTestNear = 2;   // it differs from fileSize by less than SizeTolerance
const int32_t kSizeTestNone = 3;   // the length is not tested

const int32_t SizeTolerance = 4096;
const int kSignatureCount = 85;

// Records 0 to 84 and the terminator record.
extern const SignatureRecord SignatureTable[kSignatureCount + 1];
