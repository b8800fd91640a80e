// Termination by performance-data instance name, and the checked reading of
// the counter names and the data block.
#include <cstring>
#include <string>
#include <vector>

#include "memory/PerfData.h"
#include "memory/ProcessKill.h"
#include "unit/MemoryTestSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Ids = std::vector<uint32_t>;

// Where the sim's honest block keeps things (the published layout).
const size_t kObject = 104;  // the data block's header, system name included
const size_t kFirstInstance = kObject + 64 + 4 * 40;
const size_t kIdleInstanceSize = 24 + 16 + 216;

void Put32(Bytes& b, size_t at, uint32_t value) { memcpy(&b[at], &value, 4); }

class PerfDataTest : public MemoryTest {
protected:
    void SetUp() override {
        MemoryTest::SetUp();
        sim.SetVersion(2, 4, 0);
    }
    uint32_t RunNamed(const std::string& path, const std::string& instance) {
        SimPlatform::ProcessSpec spec;
        spec.instanceName = instance;
        return Run(path, -1, spec);
    }
    void SetCounters(const std::string& list) {
        std::vector<uint8_t> bytes(list.begin(), list.end());
        sim.SetRegistryBytes(kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Perflib\\009",
                             "Counters", bytes, kRegMultiSz);
    }
};

TEST_F(PerfDataTest, InstancesWhoseNamesBeginWithTheFileNameAreEnded) {
    uint32_t notepad = RunNamed("C:\\WINNT\\NOTEPAD.EXE", "notepad");
    uint32_t notepad2 = RunNamed("C:\\x\\notepad2.exe", "notepad2");
    uint32_t notepa = RunNamed("C:\\x\\notepa.exe", "notepa");
    EXPECT_EQ(1, KillByNamePerfData("D:\\anywhere\\Notepad.exe"));
    EXPECT_EQ((Ids{notepad, notepad2}), sim.terminated);
    EXPECT_TRUE(sim.IsRunning(notepa));
    EXPECT_EQ((Ids{500, 500}), sim.sleeps);
    // The idle process and the total carry id 0: never opened, never matched by "IDLE".
    EXPECT_EQ(0, KillByNamePerfData("C:\\Idle.exe"));
    EXPECT_EQ(0, KillByNamePerfData("C:\\x.e"));  // four characters or fewer
    EXPECT_EQ(0, KillByNamePerfData("C:\\.exe"));  // an empty name matches nothing
    ExpectHandlesClosed();
}

TEST_F(PerfDataTest, ABlockPastTheFirstBufferIsFetchedWhateverSizeTheSystemLeaves) {
    for (int i = 0; i < 400; ++i) RunNamed("C:\\p" + std::to_string(i) + ".exe", "filler" + std::to_string(i));
    uint32_t late = RunNamed("C:\\late.exe", "late");
    ASSERT_GT(sim.PerformanceDataBlock().size(), 51200u + 2 * 25600u);
    // Wine leaves 0 in the size; growing "by the size left" would never get there.
    sim.SetPerformanceSizeOnMoreData(0);
    // Idle and filler0 to filler252 fill the 254 entries: filler3 and filler30 to filler39 match.
    EXPECT_EQ(1, KillByNamePerfData("C:\\FILLER3.EXE"));
    EXPECT_EQ(11u, sim.terminated.size());
    EXPECT_TRUE(sim.IsRunning(late)) << "past the 254th instance";
}

TEST_F(PerfDataTest, NamesOfSixteenCharactersMatchAndLongerOnesNever) {
    uint32_t sixteen = RunNamed("C:\\a.exe", "ABCDEFGHIJKLMNOP");
    uint32_t seventeen = RunNamed("C:\\b.exe", "ABCDEFGHIJKLMNOPQ");
    EXPECT_EQ(1, KillByNamePerfData("C:\\ABCDEFGHIJKLMNOP.EXE"));
    EXPECT_EQ((Ids{sixteen}), sim.terminated);
    EXPECT_EQ(0, KillByNamePerfData("C:\\ABCDEFGHIJKLMNOPQ.EXE"));
    EXPECT_EQ(0, KillByNamePerfData("C:\\ABC.EXE")) << "17 characters leave the name empty";
    EXPECT_TRUE(sim.IsRunning(seventeen));
}

TEST_F(PerfDataTest, MissingNamesOrCounterOrSignatureTouchNoProcess) {
    uint32_t evil = RunNamed("C:\\evil.exe", "evil");
    SetCounters(std::string("230\0Process\0", 12) + '\0');
    EXPECT_EQ(0, KillByNamePerfData("C:\\evil.exe"));
    SetCounters(std::string("784\0ID Process\0", 15) + '\0');
    EXPECT_EQ(0, KillByNamePerfData("C:\\evil.exe"));
    SetCounters(std::string("230\0Process\0" "785\0ID Process\0", 27) + '\0');  // no such counter definition
    EXPECT_EQ(0, KillByNamePerfData("C:\\evil.exe"));
    sim.PublishCounterNames();
    Bytes block = sim.PerformanceDataBlock();
    block[2] = 'X';
    sim.SetPerformanceData(block);
    EXPECT_EQ(0, KillByNamePerfData("C:\\evil.exe"));
    EXPECT_TRUE(sim.IsRunning(evil));
    EXPECT_TRUE(sim.terminated.empty());
}

TEST_F(PerfDataTest, TruncatedOrLyingBlocksEndTheReadingWithoutACrash) {
    RunNamed("C:\\first.exe", "first");
    RunNamed("C:\\second.exe", "second");
    const Bytes honest = sim.PerformanceDataBlock();
    const size_t second = kFirstInstance + kIdleInstanceSize + (24 + 16 + 216);
    // The name of the last instance read, "" when none, "unusable" for no reading at all.
    auto LastRead = [](const Bytes& block) {
        PerfProcessEntry entries[kPerfEntrySlots];
        int count = ReadPerfProcesses(block.data(), block.size(), 784, entries, kPerfEntriesUsed);
        return count < 0 ? std::string("unusable") : count == 0 ? std::string() : std::string(entries[count - 1].name);
    };
    EXPECT_EQ("_Total", LastRead(honest));
    const struct {
        size_t cut;
        const char* last;
    } cuts[] = {{3, "unusable"}, {27, "unusable"}, {kObject + 40, "unusable"}, {kFirstInstance + 10, ""},
                {second + 30, "first"}, {honest.size() - 1, "second"}};
    for (const auto& c : cuts) EXPECT_EQ(c.last, LastRead(Bytes(honest.begin(), honest.begin() + c.cut))) << c.cut;

    const struct {
        size_t at;
        uint32_t value;
        const char* last;
    } lies[] = {
        {24, 0xFFFFFFF0u, "unusable"},          // the object beyond the block
        {kObject + 32, 0xFFFFFFFFu, "_Total"},  // counter definitions past the end, ID Process before them
        {kObject + 40, 0xFFFFFFFFu, "_Total"},  // "no instances" read as very many: the block's end stops it
        {second + 16, 0x7FFFFFFFu, "first"},    // the second process's name far away
        {second + 40, 0, "first"},              // its counter block claims no length
        {kFirstInstance, 0, ""},                // an instance that claims no length would never move on
    };
    for (const auto& lie : lies) {
        Bytes block = honest;
        Put32(block, lie.at, lie.value);
        EXPECT_EQ(lie.last, LastRead(block)) << lie.at;
    }
    Bytes lying = honest;
    Put32(lying, kFirstInstance, 0);
    sim.SetPerformanceData(lying);
    EXPECT_EQ(0, KillByNamePerfData("C:\\first.exe"));
    EXPECT_TRUE(sim.terminated.empty());
}

TEST_F(PerfDataTest, TheCounterNamesAreNeverReadPastTheirEnd) {
    const char list[] = "6\0% Processor Time\0" "230\0Process\0" "784\0ID Process\0" "231\0process";
    char index[32] = "";
    uint32_t counter = 0;
    EXPECT_TRUE(FindProcessCounterIndexes(list, sizeof list - 1, index, sizeof index, &counter));
    EXPECT_STREQ("230", index);  // the unterminated last "process" is not read
    EXPECT_EQ(784u, counter);
    const char later[] = "230\0PROCESS\0" "784\0id process\0" "999\0Process\0";
    EXPECT_TRUE(FindProcessCounterIndexes(later, sizeof later, index, sizeof index, &counter));
    EXPECT_STREQ("999", index);  // a later occurrence replaces an earlier one
    EXPECT_FALSE(FindProcessCounterIndexes("Process\0\0", 9, index, sizeof index, &counter));
}

}  // namespace
