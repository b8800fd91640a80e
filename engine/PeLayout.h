// The fields of a program file's headers that the matcher reads, by the
// published PE/COFF layout. The sample generator writes its files by them.
#pragma once

#include <cstdint>

// DOS header: the offset of the "PE\0\0" signature (e_lfanew); the matcher
// reads only its low 16 bits.
const uint32_t kHeaderOffsetAt = 60;
const uint32_t kPeSignature = 0x4550;  // "PE" and two zero bytes, little-endian
const uint32_t kSignatureSize = 4;
// COFF file header, right after the signature.
const uint32_t kFileHeaderSize = 20;
const uint32_t kSectionCountAt = 2;  // NumberOfSections, 16 bits
// Optional header, right after the file header (counted from the
// signature); the matcher reads only its first 96 bytes (standard and
// Windows-specific fields, no data directories).
const uint32_t kOptionalHeaderAt = kSignatureSize + kFileHeaderSize;
const uint32_t kOptionalHeaderRead = 96;
const uint32_t kEntryPointAt = 16;     // AddressOfEntryPoint
const uint32_t kSizeOfHeadersAt = 60;  // SizeOfHeaders
// Where the matcher looks for the section table, counted from the
// signature: after a PE32 optional header with all 16 data directories,
// whatever SizeOfOptionalHeader says.
const uint32_t kSectionTableDistance = 248;
// One section header.
const uint32_t kSectionHeaderSize = 40;
const uint32_t kVirtualSizeAt = 8;
const uint32_t kVirtualAddressAt = 12;
const uint32_t kRawDataPointerAt = 20;  // PointerToRawData
// The most sections the matcher reads.
const int kMaxSections = 20;
