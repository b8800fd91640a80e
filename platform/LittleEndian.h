// Little-endian fields of the formats the cleaner reads and writes (program
// files, performance data, hives, partition tables), taken byte by byte so
// that neither the host's byte order nor an odd address matters. The caller
// has made sure the bytes are there.
#pragma once

#include <cstdint>

inline uint16_t ReadLe16(const uint8_t* bytes) { return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8)); }

inline uint32_t ReadLe32(const uint8_t* bytes) {
    return static_cast<uint32_t>(ReadLe16(bytes)) | (static_cast<uint32_t>(ReadLe16(bytes + 2)) << 16);
}

inline uint64_t ReadLe64(const uint8_t* bytes) {
    return static_cast<uint64_t>(ReadLe32(bytes)) | (static_cast<uint64_t>(ReadLe32(bytes + 4)) << 32);
}

inline void WriteLe16(uint8_t* bytes, uint16_t value) {
    bytes[0] = static_cast<uint8_t>(value);
    bytes[1] = static_cast<uint8_t>(value >> 8);
}

inline void WriteLe32(uint8_t* bytes, uint32_t value) {
    WriteLe16(bytes, static_cast<uint16_t>(value));
    WriteLe16(bytes + 2, static_cast<uint16_t>(value >> 16));
}

inline void WriteLe64(uint8_t* bytes, uint64_t value) {
    WriteLe32(bytes, static_cast<uint32_t>(value));
    WriteLe32(bytes + 4, static_cast<uint32_t>(value >> 32));
}
