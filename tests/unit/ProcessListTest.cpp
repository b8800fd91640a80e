// The process listings and the terminations by tool-help name and by full path.
#include <string>
#include <vector>

#include "memory/ProcessKill.h"
#include "unit/MemoryTestSupport.h"

namespace {

using Names = std::vector<std::string>;

class ProcessListTest : public MemoryTest {};

TEST_F(ProcessListTest, NineXSnapshotListsFullPathsFromTheFirstEntryOn) {
    sim.SetVersion(1, 4, 10);
    Run("C:\\WINDOWS\\EXPLORER.EXE", -1);
    Run("C:\\evil.exe");
    EXPECT_EQ((Names{"C:\\WINDOWS\\EXPLORER.EXE", "C:\\evil.exe"}), Paths(ListProcesses9x()));
    sim.SetVersion(2, 5, 1);  // NT's tool-help names the file only
    EXPECT_EQ((Names{"EXPLORER.EXE", "evil.exe"}), Paths(ListProcesses9x()));
    ExpectHandlesClosed();
}

TEST_F(ProcessListTest, AMissingToolhelpPieceFailsTheWholeListing) {
    Run("C:\\a.exe");
    Run("C:\\b.exe");
    for (const char* function : {"Process32Next", "Process32First", "CreateToolhelp32Snapshot"}) {
        sim.MissFunction(function);
        EXPECT_EQ(nullptr, ListProcesses9x()) << function;
    }
    sim.MissLibrary("kernel32");
    EXPECT_EQ(nullptr, ListProcesses9x());
    ExpectHandlesClosed();
}

TEST_F(ProcessListTest, NtListingUsesTheDebugPrivilegeForProcessesThatRefuse) {
    Run("C:\\open.exe");
    SimPlatform::ProcessSpec guarded;
    guarded.needsDebugPrivilege = true;
    Run("C:\\WINDOWS\\system32\\winlogon.exe", -1, guarded);
    ProcessRecord* list = nullptr;
    ASSERT_TRUE(ListProcessesNt(false, &list));
    EXPECT_EQ((Names{"C:\\open.exe"}), Paths(list));
    ASSERT_TRUE(ListProcessesNt(true, &list));
    EXPECT_EQ((Names{"C:\\open.exe", "C:\\WINDOWS\\system32\\winlogon.exe"}), Paths(list));
    EXPECT_EQ((std::vector<std::string>{"SeDebugPrivilege"}), sim.privilegesEnabled);
    ExpectHandlesClosed();
}

TEST_F(ProcessListTest, ATokenThatCannotBeOpenedIsAnnouncedForEveryRefusingProcess) {
    SimPlatform::ProcessSpec guarded;
    guarded.needsDebugPrivilege = true;
    Run("C:\\one.exe", -1, guarded);
    Run("C:\\two.exe", -1, guarded);
    Run("C:\\three.exe", -1);
    sim.tokenOpenFails = true;
    ProcessRecord* list = nullptr;
    ASSERT_TRUE(ListProcessesNt(true, &list));
    EXPECT_EQ((Names{"C:\\three.exe"}), Paths(list));
    ASSERT_EQ(2u, sim.messageBoxes.size());
    EXPECT_EQ("false", sim.messageBoxes[0].text);
    EXPECT_EQ("TEMP", sim.messageBoxes[0].caption);
    ExpectHandlesClosed();
}

TEST_F(ProcessListTest, NtListingFailsWithoutItsLibraryOrAnyProcess) {
    ProcessRecord* list = nullptr;
    EXPECT_FALSE(ListProcessesNt(true, &list));  // no process id comes back
    Run("C:\\a.exe");
    sim.MissFunction("GetModuleFileNameExA");
    EXPECT_FALSE(ListProcessesNt(true, &list));
    sim.MissLibrary("psapi.dll");
    EXPECT_FALSE(ListProcessesNt(true, &list));
    EXPECT_EQ(nullptr, list);
}

TEST_F(ProcessListTest, OnlyTheFirst1024ProcessesAreSeenAndVanishedOnesAreLeftOut) {
    for (int i = 0; i < 1030; ++i) sim.AddProcess("C:\\p" + std::to_string(i) + ".exe");
    uint32_t gone = 8 + 4 * 3;
    sim.onProcessOpen = [&](uint32_t id) {
        if (id == gone) sim.EndProcess(id);  // between the listing and its opening
    };
    ProcessRecord* list = nullptr;
    ASSERT_TRUE(ListProcessesNt(true, &list));
    Names paths = Paths(list);
    ASSERT_EQ(1023u, paths.size());
    EXPECT_EQ("C:\\p2.exe", paths[2]);
    EXPECT_EQ("C:\\p4.exe", paths[3]);
    EXPECT_EQ("C:\\p1023.exe", paths.back());
    ExpectHandlesClosed();
}

TEST_F(ProcessListTest, ANameCutToTheBufferStillEndsInTheRecord) {
    std::string longPath = "C:\\" + std::string(300, 'x') + ".exe";
    sim.AddProcess(longPath);
    ProcessRecord* list = nullptr;
    ASSERT_TRUE(ListProcessesNt(false, &list));
    EXPECT_EQ((Names{longPath.substr(0, 259)}), Paths(list));
}

TEST_F(ProcessListTest, ToolhelpEndsOnlyTheFirstMatchEvenWhenItIsFirstInTheSnapshot) {
    sim.SetVersion(1, 4, 10);
    uint32_t first = Run("C:\\WINDOWS\\EVIL.EXE");
    uint32_t second = Run("C:\\other\\evil.exe");
    Run("C:\\clean.exe", -1);
    EXPECT_EQ(1, KillByNameToolhelp("D:\\somewhere\\Evil.Exe"));
    EXPECT_EQ((std::vector<uint32_t>{first}), sim.terminated);
    EXPECT_TRUE(sim.IsRunning(second));
    EXPECT_EQ((std::vector<uint32_t>{100, 100, 50, 500}), sim.sleeps);
    ExpectHandlesClosed();
}

TEST_F(ProcessListTest, ToolhelpPacesEachStepAndFailsQuietly) {
    sim.SetVersion(1, 4, 10);
    Run("C:\\a.exe", -1);
    uint32_t target = Run("C:\\b.exe");
    SimPlatform::ProcessSpec stubborn;
    stubborn.resistsTerminations = 1;
    EXPECT_EQ(1, KillByNameToolhelp("C:\\b.exe"));
    EXPECT_EQ((std::vector<uint32_t>{100, 100, 100, 100, 50, 500}), sim.sleeps);
    EXPECT_EQ((std::vector<uint32_t>{target}), sim.terminated);
    Run("C:\\c.exe", 0, stubborn);
    EXPECT_EQ(0, KillByNameToolhelp("C:\\c.exe"));  // refused: the wait is made all the same
    EXPECT_EQ(0, KillByNameToolhelp("C:\\nothing.exe"));
    sim.MissFunction("Process32Next");
    EXPECT_EQ(0, KillByNameToolhelp("C:\\c.exe"));
    ExpectHandlesClosed();
}

TEST_F(ProcessListTest, FullPathEndsEveryMatchAndAnswersTrueWithNone) {
    uint32_t a = Run("C:\\dir\\evil.exe");
    uint32_t b = Run("C:\\DIR\\EVIL.EXE");
    uint32_t other = Run("C:\\elsewhere\\evil.exe");
    SimPlatform::ProcessSpec guarded;
    guarded.refusesTermination = true;
    Run("C:\\dir\\Evil.exe", 0, guarded);
    EXPECT_TRUE(KillByPathPsapi("c:\\dir\\evil.exe"));
    EXPECT_EQ((std::vector<uint32_t>{a, b}), sim.terminated);
    EXPECT_TRUE(sim.IsRunning(other));
    EXPECT_EQ((std::vector<uint32_t>{500, 500}), sim.sleeps);  // only after a success
    EXPECT_TRUE(KillByPathPsapi("C:\\nothing.exe"));
    sim.MissLibrary("psapi.dll");
    EXPECT_FALSE(KillByPathPsapi("C:\\elsewhere\\evil.exe"));
    EXPECT_TRUE(sim.IsRunning(other));
    ExpectHandlesClosed();
}

}  // namespace
