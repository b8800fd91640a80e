// The memory pass: the process checks of both families, the service step,
// the end of the program on NT, and the termination the disposition asks for.
#include <string>
#include <vector>

#include "memory/MemoryScan.h"
#include "memory/ProcessChecks.h"
#include "unit/MemoryTestSupport.h"

namespace {

using Lines = std::vector<std::string>;
using Ids = std::vector<uint32_t>;

const char kConfirm[] = "System Memory    W32/Drovak.Trojan removed";
const char kEvil[] = "C:\\WINNT\\system32\\evil.exe";
const char kEvilRemoved[] = "C:\\WINNT\\system32\\evil.exe     W32/Drovak.Trojan removed";
const char kQuestion[] =
    "W32/Drovak.Trojan found in memory! registry entries created by the worm are removed. You must restart the "
    "computer and run this program to continue scanning.\n\nRestart the computer now?";
const char kSet1[] = "SYSTEM\\ControlSet001\\Services\\evil";
const char kSet2[] = "SYSTEM\\ControlSet002\\Services\\evil";

class MemoryPassTest : public MemoryTest {
protected:
    void SetUp() override {
        MemoryTest::SetUp();
        Shared.MemoryPassActive = 1;  // as the driver has it while the checks run
    }
    void MakeServiceKeys() {
        for (const char* set : {kSet1, kSet2}) {
            sim.SetRegistryText(kHkeyLocalMachine, set, "ImagePath", kEvil);
            sim.SetRegistryText(kHkeyLocalMachine, std::string(set) + "\\Enum", "Count", "1");
        }
    }
    bool HasKey(const char* path) { return sim.HasRegistryKey(kHkeyLocalMachine, path); }
};

TEST_F(MemoryPassTest, NineXEndsInfectedProgramsAndTheWalkGoesOn) {
    sim.SetVersion(1, 4, 10);
    uint32_t clean = Run("C:\\WINDOWS\\EXPLORER.EXE", -1);
    uint32_t evil = Run(kEvil);
    uint32_t unreadable = sim.AddProcess("C:\\gone\\missing.exe");
    RunMemoryPass();
    EXPECT_EQ((Ids{evil}), sim.terminated);
    EXPECT_TRUE(sim.IsRunning(clean) && sim.IsRunning(unreadable));
    EXPECT_FALSE(sim.Exists(kEvil));
    EXPECT_EQ((Lines{kConfirm, kEvilRemoved}), sim.logLines);
    EXPECT_EQ((std::vector<uint32_t>{1000}), sim.sleeps);
    EXPECT_EQ(1, Shared.FilesInfected);
    EXPECT_EQ(0, Shared.FilesScanned);
    EXPECT_EQ(0, Shared.MemoryPassActive);
    EXPECT_EQ(0, Shared.KillActionCode);
    EXPECT_EQ(-1, sim.endedWith);
    EXPECT_TRUE(sim.prompts.empty());
    ExpectHandlesClosed();
}

TEST_F(MemoryPassTest, NineXLeavesProgramsAloneWithActionLeave) {
    sim.SetVersion(1, 4, 10);
    Run(kEvil);
    Shared.ActionCode = kActionLeave;
    CheckProcesses9x();
    EXPECT_EQ(1, Shared.FilesInfected);
    EXPECT_TRUE(sim.terminated.empty());
    EXPECT_TRUE(sim.Exists(kEvil));
}

TEST_F(MemoryPassTest, NtStopsTheServiceOfAProgramThatSurvivesAndEndsThePass) {
    MakeServiceKeys();
    SimPlatform::ProcessSpec stubborn;
    stubborn.resistsTerminations = 2;
    Run(kEvil, 0, stubborn);
    sim.AddService("evil", {kServiceStopPending, kServiceStopped});
    RunMemoryPass();
    EXPECT_EQ(1, sim.StopRequests("evil"));
    EXPECT_FALSE(HasKey(kSet1));
    EXPECT_FALSE(HasKey(kSet2));
    EXPECT_EQ(0, Shared.MemoryRestartNeeded);
    // The stop succeeded: the file is acted on though the program still runs.
    EXPECT_EQ(kConfirm, sim.logLines.at(0));
    EXPECT_TRUE(sim.prompts.empty());
    EXPECT_EQ(0, sim.endedWith);
    EXPECT_EQ(1, Shared.MemoryPassActive) << "the program ends inside the pass";
    ExpectHandlesClosed();
}

TEST_F(MemoryPassTest, NtAfterASuccessfulFirstTerminationStillTriesTheService) {
    MakeServiceKeys();
    uint32_t evil = Run(kEvil);
    sim.ScriptPrompt(kAnswerCancel);
    RunMemoryPass();
    // The second termination of an ended process fails: no service of that
    // name stops, its keys go all the same, and a restart is wanted.
    EXPECT_EQ((Ids{evil}), sim.terminated);
    EXPECT_FALSE(HasKey(kSet1));
    EXPECT_EQ(1, Shared.MemoryRestartNeeded);
    EXPECT_EQ((Lines{kConfirm, kEvilRemoved}), sim.logLines);
    ASSERT_EQ(1u, sim.prompts.size());
    EXPECT_EQ(kQuestion, sim.prompts[0].text);
    EXPECT_EQ(kProgramCaption, sim.prompts[0].caption);
    EXPECT_EQ(65, sim.prompts[0].style);
    EXPECT_TRUE(sim.restartRequests.empty());
    EXPECT_EQ(0, sim.endedWith);
}

TEST_F(MemoryPassTest, NtRestartsWhenTheQuestionIsAnsweredOk) {
    Run(kEvil);
    sim.ScriptPrompt(kAnswerOk);
    sim.restartResult = false;  // a refused restart does not keep the program alive
    RunMemoryPass();
    EXPECT_EQ((std::vector<uint32_t>{6}), sim.restartRequests);
    EXPECT_EQ(0, sim.endedWith);
}

TEST_F(MemoryPassTest, NtSixAndLaterHaveNoServiceStepAndRemoveOnlyWhatEnded) {
    sim.SetVersion(2, 6, 1);
    MakeServiceKeys();
    SimPlatform::ProcessSpec stubborn;
    stubborn.resistsTerminations = 2;
    Run(kEvil, 0, stubborn);
    sim.AddService("evil", {kServiceStopped});
    RunMemoryPass();
    EXPECT_EQ(0, sim.StopRequests("evil"));
    EXPECT_TRUE(HasKey(kSet1));
    EXPECT_EQ(0, Shared.MemoryRestartNeeded);
    EXPECT_TRUE(sim.logLines.empty());
    EXPECT_TRUE(sim.Exists(kEvil));
    EXPECT_TRUE(sim.prompts.empty());
    EXPECT_EQ(0, sim.endedWith);
}

TEST_F(MemoryPassTest, NtProgramThatVanishesBeforeItsTerminationIsLeftWithItsService) {
    uint32_t evil = Run(kEvil);
    sim.AtPeek(1, [&] { sim.EndProcess(evil); });  // while the walk examines its file
    EXPECT_EQ(1, CheckProcessesNt());
    EXPECT_TRUE(sim.terminated.empty());
    EXPECT_EQ(1, Shared.MemoryRestartNeeded);
    EXPECT_TRUE(sim.logLines.empty());
    EXPECT_TRUE(sim.Exists(kEvil));
    ExpectHandlesClosed();
}

TEST_F(MemoryPassTest, NtWithoutInfectedProgramsOrWithoutItsLibraryGoesOnToTheDrives) {
    uint32_t clean = Run("C:\\WINNT\\explorer.exe", -1);
    RunMemoryPass();
    EXPECT_TRUE(sim.IsRunning(clean));
    EXPECT_EQ(0, Shared.MemoryPassActive);
    EXPECT_EQ(-1, sim.endedWith);
    Run(kEvil);
    sim.MissLibrary("psapi.dll");
    EXPECT_EQ(0, CheckProcessesNt());
    EXPECT_TRUE(sim.terminated.empty());
    sim.SetVersion(3, 1, 0);  // neither family: nothing at all
    RunMemoryPass();
    EXPECT_EQ(0, Shared.FilesInfected);
    EXPECT_EQ(0, Shared.MemoryPassActive);
}

TEST_F(MemoryPassTest, TheServiceIsNamedByTheFileWithoutItsExtension) {
    char name[260];
    for (auto pair : {std::make_pair("D:\\WINNT\\SYSTEM32\\EVIL.EXE", "EVIL"), std::make_pair("a.b.c", "a.b"),
                      std::make_pair("C:\\dir.x\\noext", "noext"), std::make_pair("C:\\.exe", "")}) {
        ServiceNameOf(pair.first, name, sizeof name);
        EXPECT_STREQ(pair.second, name);
    }
}

TEST_F(MemoryPassTest, KillingTheProgramOfAFileFollowsThePlatform) {
    uint32_t evil = Run(kEvil);
    sim.SetVersion(2, 5, 1);  // NT 5.x: by full path, never a box
    EXPECT_EQ(1, KillProcessOfFile("C:\\nothing.exe"));
    EXPECT_EQ(1, KillProcessOfFile(kEvil));
    EXPECT_EQ((Ids{evil}), sim.terminated);
    sim.SetVersion(2, 4, 0);  // NT 4: by instance name
    EXPECT_EQ(0, KillProcessOfFile("C:\\nothing.exe"));
    sim.SetVersion(1, 4, 10);  // 9x: by tool-help name
    EXPECT_EQ(0, KillProcessOfFile("C:\\held.exe"));
    ASSERT_EQ(2u, sim.messageBoxes.size());
    EXPECT_EQ("Could not kill process", sim.messageBoxes[1].text);
    EXPECT_EQ("C:\\held.exe", sim.messageBoxes[1].caption);
    EXPECT_EQ(0, sim.messageBoxes[1].style);
    sim.SetVersion(3, 1, 0);
    EXPECT_EQ(1, KillProcessOfFile("C:\\held.exe"));
    EXPECT_EQ(2u, sim.messageBoxes.size());
}

}  // namespace
