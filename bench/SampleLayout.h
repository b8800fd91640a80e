// Synthetic samples for the benchmark corpus, laid out so that every reader of
// the records finds the patterns at the same file offsets.
//
// The engine translates an address with the first section whose end lies
// above it; other scanners take the section whose start is the highest one
// at or below it and also require the address to fall inside the section's
// raw data. The two agree when the sections are sorted, each one's virtual
// size reaches exactly to the next one's start, the file alignment divides
// every raw-data pointer, and each pattern lies inside its section's raw data.
// Such a layout is built here: one section when both patterns fit in the file
// together (holding the entry point too when that also fits), else two
// sections, the lower pattern at the start of the first and the higher one in
// the second.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/SignatureTable.h"

struct SampleLayout {
    int sections = 0;          // 1 or 2; 0 when the record cannot be built
    bool entryWithPatterns = false;  // the entry point lies in the patterns' one section
    uint32_t entryPoint = 0;   // AddressOfEntryPoint
    uint32_t firstFileOffset = 0;
    uint32_t secondFileOffset = 0;
};

// Builds the file that matches record (its exact length, the two patterns at
// the entry point's distances). False when the record cannot be realised, for
// instance overlapping patterns that disagree.
bool BuildSample(const SignatureRecord& record, std::vector<uint8_t>* file, SampleLayout* layout);
