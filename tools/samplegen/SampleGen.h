// Synthetic test files for the detection table: PE files that match a record,
// near misses that must not, plain files, and runnable programs padded so
// that they match a record while they still start.
//
// The generator carries its own model of where the matcher looks for a
// pattern (PeView / LookupOffset). It is written apart from the matcher on
// purpose, so the tests compare two readings of the same rules; the two share
// only the names of the header fields (engine/PeLayout.h).
//
// WritePe is the one writer of PE headers for the tests, the benchmark and
// the end-to-end samples: every synthetic program file starts there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/SignatureTable.h"

namespace samplegen {

typedef std::vector<uint8_t> Bytes;

// Little-endian stores; the bytes must be there.
void Put16(Bytes& b, size_t at, uint32_t v);
void Put32(Bytes& b, size_t at, uint32_t v);

struct PeSection {
    const char* name;  // up to 8 characters
    uint32_t virtualSize;
    uint32_t virtualAddress;
    uint32_t rawSize;
    uint32_t rawPointer;
};
struct PeHeaders {
    bool plus = false;         // PE32+ (64-bit) instead of PE32
    uint32_t peOffset = 0x80;  // e_lfanew
    uint32_t entryPoint = 0;
    uint32_t sizeOfHeaders = 0x600;
    std::vector<PeSection> sections;
};
// A zero-filled file of the given length holding the DOS header, the
// signature, the file and optional headers (a GUI program for Windows 4.0,
// 4 KB sections, 512-byte file alignment) and the section table. Headers that
// reach past length are cut off there.
Bytes WritePe(const PeHeaders& headers, size_t length);

// The headers as the matcher reads them: the low 16 bits at byte 60 lead to
// "PE\0\0", 96 bytes of optional header follow 24 bytes later, and up to 20
// section headers are taken from 248 bytes after the signature.
struct ViewSection {
    uint32_t virtualSize;
    uint32_t virtualAddress;
    uint32_t rawPointer;
};
struct PeView {
    bool readable = false;  // false: the matcher tests no record on this file
    uint32_t entryPoint = 0;
    uint32_t sizeOfHeaders = 0;
    int sectionCount = 0;
    ViewSection sections[20];
};
PeView ReadView(const Bytes& file);
// Where the matcher looks for the 20 bytes of image address rva in a file of
// the given length, and whether a seek there and a 20-byte read succeed.
bool LookupOffset(const PeView& view, uint32_t rva, uint32_t fileLength, uint32_t* offset);
// Index of the first record of table (ended by a zero name) the file matches
// by this model, or -1.
int ModelMatch(const Bytes& file, const SignatureRecord* table);

// A PE32 file of the record's exact length with both patterns where the
// matcher looks through the section table. sectionCount from 2 to 20 (the
// extra sections lie past the two that carry the patterns). Empty on failure.
Bytes MatchingSample(const SignatureRecord& record, int sectionCount = 2);
// The same as a PE32+ (64-bit) file, whose real section table lies 264 bytes
// after the signature; the patterns sit where the matcher's reading (from
// 248 bytes on) sends it. Empty when the record's offsets do not fit.
Bytes MatchingSamplePe32Plus(const SignatureRecord& record);

enum class NearMiss {
    FirstPatternByte,   // one byte of the first pattern changed
    SecondPatternByte,  // one byte of the second pattern changed
    LengthPlusOne,      // one byte appended
    LengthMinusOne,     // last byte removed
    TwentyOneSections,  // a 21st section header added
    TruncatedHeaders,   // cut inside the optional header
};
const int kNearMissKinds = 6;
const char* NearMissName(NearMiss kind);  // "first-byte", "second-byte", ...
bool NearMissFromName(const std::string& name, NearMiss* kind);
Bytes NearMissSample(const SignatureRecord& record, NearMiss kind);

// A file that is no PE file: printable text of the given length.
Bytes PlainFile(size_t length, uint32_t seed);

// Runnable samples: a copy of base padded with zero bytes to the record's
// length, with both patterns written past the end of base (in the overlay,
// which the loader ignores). Placement fails when base is not read as a PE
// file, is longer than the record's length, or a pattern would land inside
// base or outside the file.
struct Placement {
    bool possible = false;
    uint32_t firstAt = 0;
    uint32_t secondAt = 0;
    const char* reason = "";
};
Placement PlaceInOverlay(const Bytes& base, const SignatureRecord& record);
Bytes RunnableSample(const Bytes& base, const SignatureRecord& record);

// The demo tree: matching samples of several records, near misses, plain
// files, subfolders and a "Program Files" folder. Each written file is listed
// as "relative\path<TAB>expected record or -1" in *listing.
bool WriteDemoTree(const std::string& folder, std::vector<std::string>* listing);

bool WriteBytes(const std::string& path, const Bytes& bytes);
bool ReadBytes(const std::string& path, Bytes* bytes);

}  // namespace samplegen
