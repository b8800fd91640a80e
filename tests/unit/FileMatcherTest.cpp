#include "engine/FileMatcher.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/Shared.h"
#include "sim/SimPlatform.h"
#include "support/SimTest.h"
#include "tools/samplegen/SampleGen.h"

namespace {

using samplegen::Bytes;
using samplegen::Put16;
using samplegen::Put32;

struct Section {
    uint32_t virtualAddress;
    uint32_t virtualSize;
    uint32_t rawPointer;
};

// A PE32 file from the sample generator with no sections yet, whose fields
// the matcher reads are then set one by one: signature at pe, section table
// 248 bytes after it.
struct PeFile {
    Bytes bytes;
    uint32_t pe = 0x80;

    explicit PeFile(size_t length, uint32_t peOffset = 0x80) : pe(peOffset) {
        samplegen::PeHeaders headers;
        headers.peOffset = peOffset;
        headers.sizeOfHeaders = 0x400;
        bytes = samplegen::WritePe(headers, length);
    }
    PeFile& Entry(uint32_t rva) {
        Put32(bytes, pe + 24 + 16, rva);
        return *this;
    }
    PeFile& SizeOfHeaders(uint32_t size) {
        Put32(bytes, pe + 24 + 60, size);
        return *this;
    }
    PeFile& SectionCount(uint32_t count) {
        Put16(bytes, pe + 6, count);
        return *this;
    }
    PeFile& Sections(const std::vector<Section>& sections) {
        SectionCount(static_cast<uint32_t>(sections.size()));
        for (size_t i = 0; i < sections.size(); ++i) {
            size_t at = pe + 248 + i * 40;
            Put32(bytes, at + 8, sections[i].virtualSize);
            Put32(bytes, at + 12, sections[i].virtualAddress);
            Put32(bytes, at + 20, sections[i].rawPointer);
        }
        return *this;
    }
    PeFile& Pattern(size_t at, const uint8_t* pattern) {
        std::memcpy(&bytes[at], pattern, 20);
        return *this;
    }
};

SignatureRecord Record(const char* name, int32_t first, uint8_t firstFill, int32_t second,
                       uint8_t secondFill, int32_t size, int32_t sizeTest) {
    SignatureRecord r;
    std::memset(&r, 0, sizeof r);
    std::strncpy(r.name, name, sizeof r.name - 1);
    r.firstOffset = first;
    r.secondOffset = second;
    for (int i = 0; i < 20; ++i) {
        r.firstPattern[i] = static_cast<uint8_t>(firstFill + i);
        r.secondPattern[i] = static_cast<uint8_t>(secondFill + i);
    }
    r.fileSize = size;
    r.sizeTest = sizeTest;
    return r;
}

// Records the seeks and opens so that tests can tell which bytes were looked at.
class WatchedSim : public SimPlatform {
public:
    std::vector<int32_t> seeks;
    int opens = 0;
    int FileOpen(const char* path, int flags, int permission) override {
        ++opens;
        lastOpenFlags = flags;
        return SimPlatform::FileOpen(path, flags, permission);
    }
    int32_t FileSeek(int fd, int32_t offset, int origin) override {
        seeks.push_back(offset);
        return SimPlatform::FileSeek(fd, offset, origin);
    }
    int lastOpenFlags = -1;
};

class FileMatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProcessState();
        sim.AddDrive('C');
    }
    void TearDown() override {
        EXPECT_EQ(0, sim.OpenDescriptorCount());
        ResetProcessState();
    }

    int Match(const Bytes& bytes, const std::vector<SignatureRecord>& records) {
        table = records;
        table.push_back(SignatureRecord());
        std::memset(&table.back(), 0, sizeof(SignatureRecord));
        ActiveSignatureTable = table.data();
        EXPECT_TRUE(sim.WriteFile("C:\\sample.exe", bytes));
        return MatchFile("C:\\sample.exe");
    }

    // Opens the file and reads its headers, as the matcher does, so that the
    // address translation can be asked directly.
    int OpenHeaders(const Bytes& bytes) {
        EXPECT_TRUE(sim.WriteFile("C:\\headers.exe", bytes));
        int fd = SysFiles().FileOpen("C:\\headers.exe", kOpenReadOnly | kOpenBinary, 0);
        EXPECT_NE(-1, fd);
        EXPECT_EQ(1, ReadPeFileHeader(fd));
        EXPECT_EQ(1, ReadPeSections(fd));
        return fd;
    }

    WatchedSim sim;
    PlatformScope seam{sim.Parts()};
    std::vector<SignatureRecord> table;
};

TEST_F(FileMatcherTest, OneSectionTranslationOfA20000ByteFile) {
    PeFile file(20000);
    file.Sections({{4096, 8192, 1024}}).SizeOfHeaders(777);
    int fd = OpenHeaders(file.bytes);
    EXPECT_EQ(3072u, RvaToFileOffset(6144, fd));    // inside the section
    EXPECT_EQ(11928u, RvaToFileOffset(15000, fd));  // past its end: the last section still applies
    EXPECT_EQ(100u, RvaToFileOffset(100, fd));      // wraps to a huge offset: the address itself
    EXPECT_EQ(777u, RvaToFileOffset(3072, fd));     // translates to 0: SizeOfHeaders
    EXPECT_EQ(19999u, RvaToFileOffset(23071, fd));  // last byte still inside the file
    EXPECT_EQ(23072u, RvaToFileOffset(23072, fd));  // exactly the length: the address itself
    SysFiles().FileClose(fd);
}

TEST_F(FileMatcherTest, FirstSectionWhoseEndLiesPastTheAddressWinsWhateverItsStart) {
    PeFile file(0x9000);
    // Out of order on purpose: an address below the first section's start still
    // falls into it, because only the end is compared.
    file.Sections({{0x3000, 0x1000, 0x5000}, {0x1000, 0x1000, 0x7000}, {0x6000, 0x1000, 0x800}});
    int fd = OpenHeaders(file.bytes);
    EXPECT_EQ(0x5000u - 0x1000u, RvaToFileOffset(0x2000, fd));
    EXPECT_EQ(0x5000u + 0x800u, RvaToFileOffset(0x3800, fd));
    EXPECT_EQ(0x800u + 0x200u, RvaToFileOffset(0x6200, fd));
    EXPECT_EQ(0x800u + 0x1000u, RvaToFileOffset(0x7000, fd));  // past every section: the last one
    SysFiles().FileClose(fd);
}

TEST_F(FileMatcherTest, WithoutSectionsEveryAddressIsAFileOffset) {
    PeFile file(5000);
    file.SectionCount(0).SizeOfHeaders(0x321);
    int fd = OpenHeaders(file.bytes);
    EXPECT_EQ(1234u, RvaToFileOffset(1234, fd));
    EXPECT_EQ(0x321u, RvaToFileOffset(0, fd));
    EXPECT_EQ(9000u, RvaToFileOffset(9000, fd));
    SysFiles().FileClose(fd);
}

TEST_F(FileMatcherTest, TheLengthIsAskedAgainAtEachTranslation) {
    PeFile file(3000);
    file.Sections({{0x1000, 0x1000, 0x200}});
    int fd = OpenHeaders(file.bytes);
    EXPECT_EQ(0x1E00u, RvaToFileOffset(0x1E00, fd));  // 0x1000 lies past 3000 bytes: the address itself
    // The file grows behind the open descriptor: the same address now translates.
    Bytes longer = file.bytes;
    longer.resize(0x2000, 0);
    ASSERT_TRUE(sim.WriteFile("C:\\headers.exe", longer));
    EXPECT_EQ(0x1000u, RvaToFileOffset(0x1E00, fd));
    SysFiles().FileClose(fd);
}

TEST_F(FileMatcherTest, PatternsAreFoundThroughTheSectionTable) {
    SignatureRecord r = Record("W32/Drovak.Trojan", -0x500, 0x10, 0x1400, 0x40, 0x8000, 1);
    PeFile file(0x8000);
    file.Entry(0x2000).Sections({{0x1000, 0x2000, 0x400}, {0x3000, 0x1000, 0x6000}});
    file.Pattern(0x1B00 - 0x1000 + 0x400, r.firstPattern);   // in the first section
    file.Pattern(0x3400 - 0x3000 + 0x6000, r.secondPattern);  // in the second
    EXPECT_EQ(0, Match(file.bytes, {r}));
    EXPECT_STREQ("C:\\sample.exe", Shared.CurrentFilePath);
    EXPECT_EQ(0x8000, Shared.CurrentFileLength);
    // The same bytes at the untranslated addresses are not looked at.
    PeFile flat(0x8000);
    flat.Entry(0x2000).Sections({{0x1000, 0x2000, 0x400}, {0x3000, 0x1000, 0x6000}});
    flat.Pattern(0x1B00, r.firstPattern).Pattern(0x3400, r.secondPattern);
    EXPECT_EQ(-1, Match(flat.bytes, {r}));
}

TEST_F(FileMatcherTest, EntryPlusOffsetWrapsAroundAt32Bits) {
    SignatureRecord r = Record("W32/Drovak.Trojan", 0x1100, 0x10, 0x1200, 0x40, 0, 3);
    PeFile file(0x1000);
    file.Entry(0xFFFFF000).SectionCount(0);  // entry + 0x1100 = 0x100
    file.Pattern(0x100, r.firstPattern).Pattern(0x200, r.secondPattern);
    EXPECT_EQ(0, Match(file.bytes, {r}));
}

TEST_F(FileMatcherTest, AnOffsetOf2To31OrMoreMakesTheSeekFail) {
    PeFile file(0x1000);
    file.Entry(0x1000).Sections({{0x1000, 0x1000, 0x0}});
    // entry + 0 translates to offset 0, so SizeOfHeaders is used: 2^31. Were it
    // cut to 31 bits, the first pattern would be read at offset 0.
    file.SizeOfHeaders(0x80000000u);
    SignatureRecord r = Record("W32/Drovak.Trojan", 0, 0, 0x10, 0x40, 0, 3);
    file.Pattern(0x10, r.secondPattern);
    std::memcpy(r.firstPattern, file.bytes.data(), 20);
    EXPECT_EQ(-1, Match(file.bytes, {r}));
    for (int32_t seek : sim.seeks) EXPECT_GE(seek, 0);

    // An address of 2^31 or more that stays itself (beyond the file) also fails.
    PeFile zero(0x1000);
    zero.Entry(0x7FFFFFF0).SectionCount(0);
    SignatureRecord high = Record("W32/Drovak.Trojan", 0x20, 0, 0x30, 0x40, 0, 3);
    std::memcpy(high.firstPattern, zero.bytes.data() + 0x10, 20);  // what offset 0x10 would hold
    std::memcpy(high.secondPattern, zero.bytes.data() + 0x20, 20);
    EXPECT_EQ(-1, Match(zero.bytes, {high}));
}

TEST_F(FileMatcherTest, OnlyTheLow16BitsOfTheHeaderPointerCount) {
    SignatureRecord r = Record("W32/Drovak.Trojan", 0x10, 0x10, 0x40, 0x40, 0x2000, 1);
    PeFile file(0x2000);
    file.Entry(0x1000).SectionCount(0);
    Put32(file.bytes, 60, 0x00010080);  // the upper half is never read
    file.Pattern(0x1010, r.firstPattern).Pattern(0x1040, r.secondPattern);
    EXPECT_EQ(0, Match(file.bytes, {r}));

    // A signature at a pointer above 64 KB is never found.
    PeFile high(0x20000, 0x10080);
    high.Entry(0x1000).SectionCount(0);
    high.Pattern(0x1010, r.firstPattern).Pattern(0x1040, r.secondPattern);
    r.fileSize = 0x20000;
    EXPECT_EQ(-1, Match(high.bytes, {r}));
}

TEST_F(FileMatcherTest, FilesWithoutASignatureAreNotTested) {
    SignatureRecord any = Record("W32/Drovak.Trojan", 0, 0, 0, 0x40, 0, 3);
    std::string text = "This is a plain text file, not a program at all.\r\n";
    while (text.size() < 300) text += text;
    EXPECT_EQ(-1, Match(Bytes(text.begin(), text.end()), {any}));

    PeFile ne(0x400);
    std::memcpy(&ne.bytes[0x80], "PE\0\1", 4);
    sim.seeks.clear();
    EXPECT_EQ(-1, Match(ne.bytes, {any}));
    EXPECT_EQ((std::vector<int32_t>{60, 0x80}), sim.seeks);  // nothing read past the signature
    EXPECT_STREQ("C:\\sample.exe", Shared.CurrentFilePath);         // only a tested file is cleared
    EXPECT_EQ(0x400, Shared.CurrentFileLength);

    PeFile lower(0x400);
    std::memcpy(&lower.bytes[0x80], "pe\0\0", 4);
    EXPECT_EQ(-1, Match(lower.bytes, {any}));
}

TEST_F(FileMatcherTest, ShortAndEmptyFilesAreNotInfected) {
    SignatureRecord any = Record("W32/Drovak.Trojan", 0, 0, 0, 0x40, 0, 3);
    EXPECT_EQ(-1, Match(Bytes(), {any}));
    EXPECT_EQ(0, Shared.CurrentFileLength);
    Bytes small(61, 0);
    small[60] = 0;  // a pointer to offset 0 would need byte 61 as well
    EXPECT_EQ(-1, Match(small, {any}));
    // 62 bytes pointing at a signature that the file no longer holds.
    Bytes sixtyTwo(62, 0);
    sixtyTwo[60] = 58;
    std::memcpy(&sixtyTwo[58], "PE", 2);
    EXPECT_EQ(-1, Match(sixtyTwo, {any}));
}

TEST_F(FileMatcherTest, AHeaderPointerPastTheEndIsNoMatch) {
    SignatureRecord any = Record("W32/Drovak.Trojan", 0, 0, 0, 0x40, 0, 3);
    Bytes file(1000, 0);
    Put32(file, 60, 0xFFF0);
    EXPECT_EQ(-1, Match(file, {any}));
    Put32(file, 60, 998);  // "PE" fits, the two zero bytes do not
    file[998] = 'P';
    file[999] = 'E';
    EXPECT_EQ(-1, Match(file, {any}));
}

TEST_F(FileMatcherTest, TruncatedAnywhereInTheHeadersIsNoMatch) {
    SignatureRecord r = Record("W32/Drovak.Trojan", 0x10, 0x10, 0x80, 0x40, 0, 3);
    PeFile file(0x1400);
    file.Entry(0x1000).Sections({{0x1000, 0x1000, 0x400}, {0x2000, 0x1000, 0x1000}});
    file.Pattern(0x410, r.firstPattern).Pattern(0x480, r.secondPattern);
    ASSERT_EQ(0, Match(file.bytes, {r}));
    size_t headersEnd = 0x80 + 248 + 2 * 40;
    for (size_t cut = 0; cut < headersEnd; ++cut) {
        Bytes part(file.bytes.begin(), file.bytes.begin() + cut);
        EXPECT_EQ(-1, Match(part, {r})) << "cut at " << cut;
    }
    // Headers whole but the second pattern cut short.
    Bytes part(file.bytes.begin(), file.bytes.begin() + 0x480 + 19);
    EXPECT_EQ(-1, Match(part, {r}));
    EXPECT_EQ(0, sim.OpenDescriptorCount());
}

TEST_F(FileMatcherTest, TwentySectionsAreTestedTwentyOneAreNot) {
    SignatureRecord r = Record("W32/Drovak.Trojan", 0x10, 0x10, 0x80, 0x40, 0, 3);
    std::vector<Section> sections(20, Section{0x1000, 0x1000, 0x600});
    PeFile twenty(0x2000);
    twenty.Entry(0x1000).Sections(sections).SizeOfHeaders(0x600);
    twenty.Pattern(0x610, r.firstPattern).Pattern(0x680, r.secondPattern);
    EXPECT_EQ(0, Match(twenty.bytes, {r}));

    PeFile more = twenty;
    more.SectionCount(21);
    EXPECT_EQ(-1, Match(more.bytes, {r}));
    more.SectionCount(65535);
    EXPECT_EQ(-1, Match(more.bytes, {r}));

    // The section reader itself refuses before reading: a 21st header would
    // not fit the fixed table.
    for (uint32_t count : {21u, 65535u}) {
        more.SectionCount(count);
        ASSERT_TRUE(sim.WriteFile("C:\\many.exe", more.bytes));
        int fd = SysFiles().FileOpen("C:\\many.exe", kOpenReadOnly | kOpenBinary, 0);
        ASSERT_NE(-1, fd);
        EXPECT_EQ(1, ReadPeFileHeader(fd));
        EXPECT_EQ(0, ReadPeSections(fd)) << count;
        SysFiles().FileClose(fd);
    }
}

TEST_F(FileMatcherTest, TheSectionTableIsRead248BytesAfterTheSignatureEvenForPe32Plus) {
    // A PE32+ file: optional header of 240 bytes, its real section table at
    // +264. The matcher reads from +248, where it sees 16 other bytes first.
    PeFile file(0x3000);
    Put16(file.bytes, 0x80 + 20, 240);
    Put16(file.bytes, 0x80 + 24, 0x20b);
    file.Entry(0x1000).SectionCount(1);
    size_t real = 0x80 + 264;
    Put32(file.bytes, real + 8, 0x1000);    // VirtualSize
    Put32(file.bytes, real + 12, 0x1000);   // VirtualAddress
    Put32(file.bytes, real + 20, 0x800);    // PointerToRawData
    // As seen from +248: VirtualSize and VirtualAddress are the last data
    // directory (zero), PointerToRawData is bytes 4 to 7 of the real name.
    std::memcpy(&file.bytes[real], "\0\0\0\0\x00\x02\0\0", 8);  // seen PointerToRawData 0x200
    SignatureRecord seen = Record("W32/Drovak.Trojan", 0x10, 0x10, 0x80, 0x40, 0, 3);
    SignatureRecord realLayout = Record("W32/Drovak.Bb.Trojan", 0x10, 0x60, 0x80, 0x70, 0, 3);
    file.Pattern(0x1010 + 0x200, seen.firstPattern).Pattern(0x1080 + 0x200, seen.secondPattern);
    file.Pattern(0x810, realLayout.firstPattern).Pattern(0x880, realLayout.secondPattern);
    EXPECT_EQ(1, Match(file.bytes, {realLayout, seen}));
}

TEST_F(FileMatcherTest, EachSizeTestAppliesItsLengthRuleAndOtherValuesNeverMatch) {
    PeFile file(10000);
    file.Entry(0x1000).SectionCount(0);
    SignatureRecord r = Record("W32/Drovak.Trojan", 0x10, 0x10, 0x80, 0x40, 10000, 1);
    file.Pattern(0x1010, r.firstPattern).Pattern(0x1080, r.secondPattern);
    EXPECT_EQ(0, Match(file.bytes, {r}));
    r.fileSize = 10001;
    EXPECT_EQ(-1, Match(file.bytes, {r}));
    r.sizeTest = 3;
    EXPECT_EQ(0, Match(file.bytes, {r}));
    for (int32_t other : {0, 4, -1, 0x101}) {
        r.sizeTest = other;
        r.fileSize = 10000;
        EXPECT_EQ(-1, Match(file.bytes, {r})) << "sizeTest " << other;
    }

    // Tolerance: a record of 10000 bytes passes files of 5905 to 14095 bytes.
    r.sizeTest = 2;
    r.fileSize = 10000;
    for (size_t length : {5904u, 5905u, 10000u, 14095u, 14096u}) {
        PeFile sized(length);
        sized.Entry(0x1000).SectionCount(0);
        sized.Pattern(0x1010, r.firstPattern).Pattern(0x1080, r.secondPattern);
        bool passes = length >= 5905 && length <= 14095;
        EXPECT_EQ(passes ? 0 : -1, Match(sized.bytes, {r})) << length;
    }
}

TEST_F(FileMatcherTest, RecordOrderDecides) {
    PeFile file(0x3000);
    file.Entry(0x1000).SectionCount(0);
    SignatureRecord firstOnly = Record("W32/Drovak.Da.Trojan", 0x10, 0x10, 0x80, 0x90, 0x3000, 1);
    SignatureRecord both = Record("W32/Drovak.Fc.Trojan", 0x10, 0x10, 0x100, 0x40, 0x3000, 1);
    SignatureRecord also = Record("W32/Drovak.Fg.Trojan", 0x10, 0x10, 0x100, 0x40, 0x3000, 1);
    file.Pattern(0x1010, both.firstPattern).Pattern(0x1100, both.secondPattern);
    // The first pattern of firstOnly matches, its second does not: the next record decides.
    EXPECT_EQ(1, Match(file.bytes, {firstOnly, both, also}));
    EXPECT_EQ(0, Match(file.bytes, {also, both}));
    EXPECT_STREQ("C:\\sample.exe", Shared.CurrentFilePath);
}

TEST_F(FileMatcherTest, AnEmptyTableMatchesNothing) {
    PeFile file(0x3000);
    file.Entry(0x1000).SectionCount(0);
    EXPECT_EQ(-1, Match(file.bytes, {}));
    // A record behind the terminator is never reached.
    SignatureRecord r = Record("W32/Drovak.Trojan", 0x10, 0x10, 0x80, 0x40, 0, 3);
    file.Pattern(0x1010, r.firstPattern).Pattern(0x1080, r.secondPattern);
    SignatureRecord end;
    std::memset(&end, 0, sizeof end);
    EXPECT_EQ(-1, Match(file.bytes, {end, r}));
}

TEST_F(FileMatcherTest, CurrentFilePathIsClearedAfterNoMatchAndKeptWhenNothingIsOpened) {
    SignatureRecord r = Record("W32/Drovak.Trojan", 0x10, 0x10, 0x80, 0x40, 0x3000, 1);
    PeFile file(0x3000);
    file.Entry(0x1000).SectionCount(0);
    EXPECT_EQ(-1, Match(file.bytes, {r}));
    for (char c : Shared.CurrentFilePath) EXPECT_EQ('\0', c);  // tested and no match: cleared
    EXPECT_EQ(0x3000, Shared.CurrentFileLength);

    std::strcpy(Shared.CurrentFilePath, "C:\\earlier.exe");
    Shared.CurrentFileLength = 77;
    EXPECT_EQ(-1, MatchFile("C:\\missing.exe"));  // not opened: nothing changes
    EXPECT_STREQ("C:\\earlier.exe", Shared.CurrentFilePath);
    EXPECT_EQ(77, Shared.CurrentFileLength);
    EXPECT_EQ(kOpenReadOnly | kOpenBinary, sim.lastOpenFlags);

    std::string tooLong = "C:\\" + std::string(258, 'a');
    int opens = sim.opens;
    EXPECT_EQ(-1, MatchFile(tooLong.c_str()));  // never cut short, never opened
    EXPECT_EQ(opens, sim.opens);
}

TEST_F(FileMatcherTest, ListedLengthShortCutGivesTheSameResults) {
    SignatureRecord r = Record("W32/Drovak.Trojan", 0x10, 0x10, 0x80, 0x40, 0x3000, 1);
    SignatureRecord s = Record("W32/Drovak.V.Trojan", 0x20, 0x50, 0x90, 0x60, 0x2800, 1);
    PeFile match(0x3000);
    match.Entry(0x1000).SectionCount(0).Pattern(0x1010, r.firstPattern).Pattern(0x1080, r.secondPattern);
    PeFile otherLength(0x2FFF);
    otherLength.Entry(0x1000).SectionCount(0);
    PeFile sameLength(0x2800);
    sameLength.Entry(0x1000).SectionCount(0);
    std::string text(5000, 't');
    std::vector<Bytes> files{match.bytes, otherLength.bytes, sameLength.bytes,
                             Bytes(text.begin(), text.end()), Bytes()};
    for (const Bytes& bytes : files) {
        Shared.ListedFileLength = -1;
        int slow = Match(bytes, {r, s});
        std::string slowPath = Shared.CurrentFilePath;
        int32_t slowLength = Shared.CurrentFileLength;
        int opens = sim.opens;
        Shared.ListedFileLength = static_cast<int64_t>(bytes.size());
        std::strcpy(Shared.CurrentFilePath, "C:\\stale");
        EXPECT_EQ(slow, Match(bytes, {r, s}));
        // A file that is no PE file keeps its path after a real attempt; the
        // short cut leaves it cleared. Nothing reads it after no match.
        if (bytes.size() >= 0x2800) {
            EXPECT_EQ(slowPath, Shared.CurrentFilePath) << bytes.size();
        }
        EXPECT_EQ(slowLength, Shared.CurrentFileLength);
        bool listed = bytes.size() == 0x3000 || bytes.size() == 0x2800;
        EXPECT_EQ(opens + (listed ? 1 : 0), sim.opens) << bytes.size();
    }
    // With a record that does not test the exact length, every file is opened.
    SignatureRecord loose = s;
    loose.sizeTest = 2;
    Shared.ListedFileLength = 0x2FFF;
    int opens = sim.opens;
    EXPECT_EQ(-1, Match(otherLength.bytes, {r, loose}));
    EXPECT_EQ(opens + 1, sim.opens);
    // The built-in table: a length it does not list is never opened.
    ActiveSignatureTable = SignatureTable;
    ASSERT_TRUE(sim.WriteFile("C:\\plain.exe", otherLength.bytes));
    opens = sim.opens;
    EXPECT_EQ(-1, MatchFile("C:\\plain.exe"));
    EXPECT_EQ(opens, sim.opens);
}

}  // namespace
