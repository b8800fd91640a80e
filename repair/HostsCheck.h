// The hosts file as a suspect of a second kind: uuencoded text matched
// against the attachment table, then dealt with by ActionCode.
#pragma once

#include <cstddef>
#include <cstdint>

const size_t kAttachmentPatternSize = 100;

#pragma pack(push, 1)
struct AttachmentRecord {
    char name[25];          // detection name, zero-filled
    int32_t referenceSize;  // compared by the size rules
    int16_t position;       // fixed-position mode: offset into the head, or back from the tail's end
    uint16_t patternLength; // bytes compared, at most the field's size; 0 disables the record
    int16_t region;         // kRegionHead or kRegionTail, else the record never matches
    uint8_t pattern[kAttachmentPatternSize];  // stored scrambled until UnscramblePatterns
    int16_t searchMode;     // kSearchWholeRegion, else compare at position
    int16_t reserved1;
    int16_t sizeRule;       // kSizeRuleEqual, kSizeRuleNear, else none
    int16_t resultCode;
    uint8_t reserved2[27];
};
#pragma pack(pop)

static_assert(sizeof(AttachmentRecord) == 170, "attachment records are 170 bytes");

// The values of a record's mode fields.
const int16_t kRegionHead = 0;         // region: the text's start
const int16_t kRegionTail = 1;         // region: the text's end
const int16_t kSearchWholeRegion = 1;  // searchMode; any other value compares at position
const int16_t kSizeRuleEqual = 16;     // sizeRule; any other value sets no rule
const int16_t kSizeRuleNear = 17;      // sizeRule: within kSizeRuleSlack bytes
const int32_t kSizeRuleSlack = 4096;

const size_t kAttachmentTableSize = 1;
const size_t kEncodedTextSize = 4096;
// Every stored pattern byte is the plain byte exclusive-or this key.
const uint8_t kAttachmentPatternKey = 0xA7;

// The built-in table (its patterns scrambled until UnscramblePatterns ran).
extern AttachmentRecord AttachmentTable[kAttachmentTableSize];
// The records the matcher walks: AttachmentTable unless a test installs others.
extern AttachmentRecord* ActiveAttachmentTable;
extern size_t ActiveAttachmentCount;

// Start and end of the file last checked, whitespace removed.
extern uint8_t HeadText[kEncodedTextSize];
extern uint8_t TailText[kEncodedTextSize];

// Restores the plain patterns of AttachmentTable in place; only the first
// call in the process changes anything.
void UnscramblePatterns();

// Checks one file (the hosts file) and disposes of it by ActionCode when it
// matches. 1 when it matched, whatever the disposition's outcome.
int CheckAndCleanEncodedFile(const char* path);
// 1 with *recordIndex set when the open descriptor's content matches a record
// (and FilesInfected grows by one), else 0.
int MatchEncodedFile(int fd, int* recordIndex);
// 1 when the first five bytes read "begin" in any letter case.
int HasEncodedHeader(int fd);
// Copies the non-whitespace bytes among the first length of source; returns
// how many were copied.
int32_t StripWhitespace(const uint8_t* source, uint8_t* destination, int32_t length);
// 1 when pattern starts in text at a position below searchLength. Bytes at or
// beyond textSize are never read: a comparison that would need them fails.
int FindPattern(const uint8_t* text, int32_t searchLength, const uint8_t* pattern,
                int32_t patternLength, size_t textSize);

// The hosts file's path for this platform family; false when the family
// keeps none that is checked, or the path does not fit.
bool GetHostsFilePath(char* path, size_t size);
// Runs the check on the hosts file, when the family has one.
void CheckHostsFile();
