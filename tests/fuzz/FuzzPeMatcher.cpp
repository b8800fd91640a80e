// The file matcher over any file's bytes: the whole input is the file. It is
// matched against the built-in table (once with the length the folder listing
// gave, once without, which must agree) and against a small table whose
// records test the length loosely (within the tolerance, or not at all), so
// that the pattern reads run for every input. Offsets and patterns of that
// table come from the file's last 48 bytes, so the fuzzer can make them match.
#include <cstdint>
#include <cstring>

#include "common/Shared.h"
#include "engine/FileMatcher.h"
#include "engine/PeLayout.h"
#include "engine/SignatureTable.h"
#include "platform/LittleEndian.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

const char kPath[] = "C:\\PROGRAM FILES\\SAMPLE.EXE";
const size_t kTailSize = 48;

int32_t Int32At(const uint8_t* bytes) { return static_cast<int32_t>(ReadLe32(bytes)); }

SignatureRecord LooseRecord(const char* name, const uint8_t* tail, int32_t fileSize, int32_t sizeTest) {
    SignatureRecord record;
    memset(&record, 0, sizeof record);
    snprintf(record.name, sizeof record.name, "%s", name);
    record.firstOffset = Int32At(tail);
    record.secondOffset = Int32At(tail + 4);
    memcpy(record.firstPattern, tail + 8, 20);
    memcpy(record.secondPattern, tail + 28, 20);
    record.fileSize = fileSize;
    record.sizeTest = sizeTest;
    return record;
}

// Record 0 within the tolerance (or just outside it), 1 without a length
// test, 2 with a size test that never matches, then the terminator.
void MakeLooseTable(const uint8_t* data, size_t size, SignatureRecord* table) {
    uint8_t tail[kTailSize] = {0};
    size_t taken = size < kTailSize ? size : kTailSize;
    memcpy(tail, data + size - taken, taken);
    int16_t delta = static_cast<int16_t>(tail[0] | (tail[47] << 8));
    int32_t length = static_cast<int32_t>(size);
    table[0] = LooseRecord("W32/Drovak.Fuzz.Trojan", tail, length + delta / 4, 2);
    table[1] = LooseRecord("W32/Drovak.Trojan", tail, 0, 3);
    table[2] = LooseRecord("W32/Drovak.Never.Trojan", tail, length, tail[1] % 2 ? 0 : 4);
    memset(&table[3], 0, sizeof table[3]);
}

int Match(const SignatureRecord* table, int64_t listedLength) {
    ActiveSignatureTable = table;
    Shared.ListedFileLength = listedLength;
    int match = MatchFile(kPath);
    FUZZ_CHECK(FuzzSim().OpenCount() == 0);  // closed on every path
    // A match leaves the path for the repairs; without one it is emptied or,
    // when the headers could not be read, left as it was set.
    FUZZ_CHECK(strcmp(Shared.CurrentFilePath, kPath) == 0 || (match < 0 && Shared.CurrentFilePath[0] == '\0'));
    return match;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryDiskSim& sim = FreshFuzzSim();
    sim.PutFile(kPath, data, size);

    int listed = Match(SignatureTable, static_cast<int64_t>(size));
    int unlisted = Match(SignatureTable, -1);
    FUZZ_CHECK(listed == unlisted);
    FUZZ_CHECK(listed >= -1 && listed < kSignatureCount);
    if (listed >= 0) FUZZ_CHECK(SignatureTable[listed].fileSize == static_cast<int64_t>(size));

    SignatureRecord table[4];
    MakeLooseTable(data, size, table);
    int loose = Match(table, -1);
    FUZZ_CHECK(loose >= -1 && loose <= 1);
    if (loose == 0) {
        int64_t difference = static_cast<int64_t>(table[0].fileSize) - static_cast<int64_t>(size);
        FUZZ_CHECK(difference > -SizeTolerance && difference < SizeTolerance);
    }
    // A file without the signature at the offset named at byte 60 is no PE file.
    if (loose >= 0) {
        FUZZ_CHECK(size >= 62);
        size_t header = ReadLe16(data + kHeaderOffsetAt);
        FUZZ_CHECK(header + 4 <= size && memcmp(data + header, "PE\0\0", 4) == 0);
    }
    FUZZ_CHECK(sim.changes == 0);
    ActiveSignatureTable = SignatureTable;
    Shared.ListedFileLength = -1;
    return 0;
}
