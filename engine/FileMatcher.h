// Matching one file against the detection table.
#pragma once

#include <cstdint>

#include "engine/SignatureTable.h"

// The table the matcher walks; SignatureTable unless a test installs another.
extern const SignatureRecord* ActiveSignatureTable;

// Index of the first record the file at path matches, or -1. Opens and closes
// the file itself; fills CurrentFilePath and CurrentFileLength on the way.
int MatchFile(const char* path);

// Header readers on an open descriptor (1 = read, 0 = failed).
int ReadPeFileHeader(int fd);
int ReadPeSections(int fd);
// File offset at which the bytes of image address rva are looked for.
uint32_t RvaToFileOffset(uint32_t rva, int fd);
