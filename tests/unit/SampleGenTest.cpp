#include "tools/samplegen/SampleGen.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "engine/FileMatcher.h"
#include "support/SimTest.h"

using namespace samplegen;

namespace {

// The records whose patterns lie far enough past the entry point for a small
// program padded to their length to carry them in its overlay.
const int kOverlayRecords[] = {5, 11, 19, 23, 38, 48, 63, 65, 73, 77, 79, 84};

// Shaped like a small MinGW program: nine sections, 4 KB apart in memory and
// 512-byte aligned in the file, entry point in the first one.
Bytes SmallProgram(int sectionCount = 9, size_t length = 0x3A00) {
    PeHeaders headers;
    headers.entryPoint = 0x14b0;
    headers.sizeOfHeaders = 0x400;
    for (uint32_t i = 0; i < static_cast<uint32_t>(sectionCount); ++i)
        headers.sections.push_back({".sect", 0x800, 0x1000 + 0x1000 * i, 0x600, 0x400 + 0x600 * i});
    Bytes file = WritePe(headers, length);
    for (size_t i = 0x1000; i < length; ++i) file[i] = static_cast<uint8_t>(i * 31 + 7);
    return file;
}

class SampleGenTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        hostC = sim.AddDrive('C');
    }
    void TearDown() override {
        EXPECT_EQ(0, sim.OpenDescriptorCount());
        SimTest::TearDown();
    }
    int MatchBytes(const Bytes& bytes) {
        EXPECT_TRUE(sim.WriteFile("C:\\sample.exe", bytes));
        return MatchFile("C:\\sample.exe");
    }
    std::string hostC;
};

TEST_F(SampleGenTest, EveryRecordHasASampleReportedAsItself) {
    for (int i = 0; i < kSignatureCount; ++i) {
        const SignatureRecord& r = SignatureTable[i];
        Bytes sample = MatchingSample(r);
        ASSERT_EQ(static_cast<size_t>(r.fileSize), sample.size()) << i;
        EXPECT_EQ(i, ModelMatch(sample, SignatureTable)) << i;
        EXPECT_EQ(i, MatchBytes(sample)) << i;
        // Also when the walk hands over the listed length.
        Shared.ListedFileLength = r.fileSize;
        EXPECT_EQ(i, MatchFile("C:\\sample.exe")) << i;
        Shared.ListedFileLength = -1;
    }
}

TEST_F(SampleGenTest, NoNearMissMatches) {
    for (int i = 0; i < kSignatureCount; ++i) {
        for (int k = 0; k < kNearMissKinds; ++k) {
            NearMiss kind = static_cast<NearMiss>(k);
            Bytes sample = NearMissSample(SignatureTable[i], kind);
            ASSERT_FALSE(sample.empty()) << i << " " << NearMissName(kind);
            EXPECT_EQ(-1, ModelMatch(sample, SignatureTable)) << i << " " << NearMissName(kind);
            EXPECT_EQ(-1, MatchBytes(sample)) << i << " " << NearMissName(kind);
        }
    }
    // Each kind differs from the matching sample in the way its name says.
    const SignatureRecord& r = SignatureTable[42];
    Bytes good = MatchingSample(r);
    EXPECT_EQ(good.size() + 1, NearMissSample(r, NearMiss::LengthPlusOne).size());
    EXPECT_EQ(good.size() - 1, NearMissSample(r, NearMiss::LengthMinusOne).size());
    for (NearMiss kind : {NearMiss::FirstPatternByte, NearMiss::SecondPatternByte}) {
        Bytes near = NearMissSample(r, kind);
        ASSERT_EQ(good.size(), near.size());
        int differing = 0;
        for (size_t j = 0; j < good.size(); ++j) differing += good[j] != near[j];
        EXPECT_EQ(1, differing) << NearMissName(kind);
    }
    Bytes many = NearMissSample(r, NearMiss::TwentyOneSections);
    EXPECT_EQ(21, many[0x86] | (many[0x87] << 8));
    EXPECT_FALSE(ReadView(NearMissSample(r, NearMiss::TruncatedHeaders)).readable);
    NearMiss parsed;
    EXPECT_TRUE(NearMissFromName("sections21", &parsed));
    EXPECT_EQ(NearMiss::TwentyOneSections, parsed);
    EXPECT_FALSE(NearMissFromName("sections22", &parsed));
}

TEST_F(SampleGenTest, TwentySectionsAndPe32PlusSamplesMatch) {
    for (int i : {0, 13, 42, 84}) {
        Bytes sample = MatchingSample(SignatureTable[i], 20);
        ASSERT_FALSE(sample.empty()) << i;
        EXPECT_EQ(20, sample[0x86]);
        EXPECT_EQ(i, MatchBytes(sample)) << i;
    }
    EXPECT_TRUE(MatchingSample(SignatureTable[0], 21).empty());

    int made = 0;
    for (int i = 0; i < kSignatureCount; ++i) {
        Bytes sample = MatchingSamplePe32Plus(SignatureTable[i]);
        if (sample.empty()) continue;
        ++made;
        EXPECT_EQ(0x0b, sample[0x98]);
        EXPECT_EQ(0x02, sample[0x99]);  // optional header magic 0x20b
        EXPECT_EQ(240, sample[0x94]);   // SizeOfOptionalHeader
        EXPECT_EQ(i, MatchBytes(sample)) << i;
    }
    EXPECT_GE(made, 20);
    EXPECT_FALSE(MatchingSamplePe32Plus(SignatureTable[42]).empty());
}

TEST_F(SampleGenTest, PlainFilesAreNoPeFiles) {
    for (size_t length : {0u, 61u, 62u, 5000u}) {
        Bytes plain = PlainFile(length, 3);
        EXPECT_EQ(length, plain.size());
        EXPECT_FALSE(ReadView(plain).readable);
        EXPECT_EQ(-1, MatchBytes(plain));
    }
}

// Two readings of the same rules must agree on malformed variants, too.
TEST_F(SampleGenTest, ModelAndMatcherAgreeOnDamagedFiles) {
    SignatureRecord records[3];
    records[0] = SignatureTable[42];
    records[0].sizeTest = 3;
    records[1] = SignatureTable[0];
    records[1].sizeTest = 2;
    std::memset(&records[2], 0, sizeof records[2]);
    ActiveSignatureTable = records;
    Bytes bases[] = {MatchingSample(SignatureTable[42]), MatchingSample(SignatureTable[0], 5),
                     MatchingSamplePe32Plus(SignatureTable[42])};
    uint32_t state = 12345;
    auto next = [&state]() {
        state = state * 1103515245u + 12345u;
        return state >> 8;
    };
    int matched = 0;
    int unmatched = 0;
    for (int round = 0; round < 600; ++round) {
        Bytes file = bases[round % 3];
        int changes = 1 + next() % 3;
        for (int c = 0; c < changes; ++c) {
            switch (next() % 4) {
            case 0:  // somewhere in the headers
                file[next() % 0x400] = static_cast<uint8_t>(next());
                break;
            case 1:  // a section header field
                file[0x80 + 248 + next() % 120] = static_cast<uint8_t>(next());
                break;
            case 2:  // the entry point or the header pointer
                file[(next() % 2) ? 0x98 + 16 + next() % 4 : 60 + next() % 4] = static_cast<uint8_t>(next());
                break;
            default:  // shorter or longer
                file.resize(next() % 2 ? file.size() - next() % 5000 : file.size() + next() % 5000);
            }
        }
        int model = ModelMatch(file, records);
        int real = MatchBytes(file);
        EXPECT_EQ(model, real) << "round " << round;
        (real >= 0 ? matched : unmatched) += 1;
    }
    EXPECT_GT(matched, 50);
    EXPECT_GT(unmatched, 50);
}

TEST_F(SampleGenTest, RunnableCopiesOfASmallProgramMatchTheirRecords) {
    Bytes program = SmallProgram();
    int placeable = 0;
    for (int i = 0; i < kSignatureCount; ++i) {
        const SignatureRecord& r = SignatureTable[i];
        Placement placement = PlaceInOverlay(program, r);
        if (!placement.possible) {
            EXPECT_TRUE(RunnableSample(program, r).empty());
            continue;
        }
        ++placeable;
        EXPECT_GE(placement.firstAt, program.size());
        EXPECT_GE(placement.secondAt, program.size());
        Bytes sample = RunnableSample(program, r);
        ASSERT_EQ(static_cast<size_t>(r.fileSize), sample.size());
        EXPECT_TRUE(std::equal(program.begin(), program.end(), sample.begin())) << i;
        EXPECT_EQ(0, std::memcmp(&sample[placement.firstAt], r.firstPattern, 20));
        EXPECT_EQ(i, MatchBytes(sample)) << i;
    }
    for (int i : kOverlayRecords) EXPECT_TRUE(PlaceInOverlay(program, SignatureTable[i]).possible) << i;
    EXPECT_GE(placeable, 12);

    // Refusals: patterns next to the entry point, a program longer than the
    // record, a program the matcher does not read.
    EXPECT_FALSE(PlaceInOverlay(program, SignatureTable[42]).possible);
    EXPECT_FALSE(PlaceInOverlay(SmallProgram(9, 100000), SignatureTable[0]).possible);
    EXPECT_FALSE(PlaceInOverlay(SmallProgram(21, 0x3A00), SignatureTable[84]).possible);
    EXPECT_FALSE(PlaceInOverlay(PlainFile(5000, 1), SignatureTable[84]).possible);
}

// The real helper programs, when the cross builds made them:
// CORDAFIX_SLEEPER_EXE=/path/to/sleeper.exe, or several paths separated by
// "|" (the 64-bit one's PE32+ copies match through the matcher's reading of a
// PE32 section table).
TEST_F(SampleGenTest, RunnableCopiesOfTheSleeperMatch) {
    const char* paths = std::getenv("CORDAFIX_SLEEPER_EXE");
    if (!paths || !*paths) GTEST_SKIP() << "CORDAFIX_SLEEPER_EXE not set";
    std::stringstream list(paths);
    std::string path;
    while (std::getline(list, path, '|')) {
        Bytes sleeper;
        ASSERT_TRUE(ReadBytes(path, &sleeper)) << path;
        for (int i : kOverlayRecords) {
            Bytes sample = RunnableSample(sleeper, SignatureTable[i]);
            ASSERT_FALSE(sample.empty()) << path << " " << i << ": " << PlaceInOverlay(sleeper, SignatureTable[i]).reason;
            EXPECT_EQ(i, MatchBytes(sample)) << path << " " << i;
        }
    }
}

TEST_F(SampleGenTest, DemoTreeMatchesItsListing) {
    std::vector<std::string> listing;
    ASSERT_TRUE(WriteDemoTree(hostC + "/demo", &listing));
    int matching = 0;
    int clean = 0;
    bool programFiles = false;
    for (const std::string& line : listing) {
        size_t tab = line.find('\t');
        ASSERT_NE(std::string::npos, tab);
        std::string path = "C:\\demo\\" + line.substr(0, tab);
        int expected = std::atoi(line.c_str() + tab + 1);
        EXPECT_EQ(expected, MatchFile(path.c_str())) << path;
        (expected >= 0 ? matching : clean) += 1;
        programFiles |= line.rfind("Program Files\\", 0) == 0;
    }
    EXPECT_GE(matching, 5);
    EXPECT_GE(clean, 8);
    EXPECT_TRUE(programFiles);
}

}  // namespace
