#include "engine/ScanRun.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Shared.h"
#include "engine/WalkTree.h"
#include "tools/samplegen/SampleGen.h"
#include "unit/ScanTestSupport.h"

namespace {

using Lines = std::vector<std::string>;

const char kRestartQuestion[] =
    "The system has to be restarted to remove the virus completely from your system. \n\n Restart now?";

class ScanRunTest : public ScanTest {
protected:
    void SetUp() override {
        ScanTest::SetUp();
        strcpy(Shared.ScanTarget, "!:");
        Shared.ActionCode = 100;
    }
    std::vector<std::string> StatisticsLines(int scanned, int infected, int removed) {
        return {"Scanning statistics", "------------------------------",
                "Total files scanned\t\t:  " + std::to_string(scanned),
                "Total files infected\t\t:  " + std::to_string(infected),
                "Total files removed\t\t:  " + std::to_string(removed)};
    }
};

TEST_F(ScanRunTest, WalksFixedDrivesCToZOnlyAfterTheMemoryPass) {
    for (char letter : {'A', 'B', 'C', 'Z'}) {
        sim.AddDrive(letter);
        WriteClean(std::string(1, letter) + ":\\f.exe");
    }
    const uint32_t types[] = {kDriveRemovable, kDriveRemote, kDriveCdRom, kDriveRamDisk};
    for (int i = 0; i < 4; ++i) {
        char letter = static_cast<char>('D' + i);
        sim.AddDrive(letter, types[i]);
        WriteClean(std::string(1, letter) + ":\\f.exe");
    }
    UseRecordingChecker();
    size_t checkedAtMemoryPass = 99;
    services.onMemoryPass = [&] { checkedAtMemoryPass = scantest::CheckerCalls().size(); };

    EXPECT_EQ(1, ScanRun());

    EXPECT_EQ(1, services.memoryPasses);
    EXPECT_EQ(0u, checkedAtMemoryPass);
    EXPECT_EQ((std::vector<std::string>{"C:\\f.exe", "Z:\\f.exe"}), CheckedPaths());
    EXPECT_EQ(2, Shared.FilesScanned);
}

TEST_F(ScanRunTest, CleanScanEndsWithStatisticsAndCompletedStatus) {
    sim.AddDrive('C');
    WriteClean("C:\\one.exe");
    WriteClean("C:\\dir\\two.exe");
    sim.WriteFile("C:\\dir\\notes.txt", std::string("text"));

    EXPECT_EQ(1, ScanRun());

    EXPECT_EQ(StatisticsLines(3, 0, 0), sim.logLines);
    EXPECT_EQ(1, Shared.StatisticsShown);
    EXPECT_EQ("Scanning completed", sim.statusTexts.back());
    EXPECT_TRUE(sim.prompts.empty());
}

TEST_F(ScanRunTest, InfectionsPutABlankLineBeforeTheStatistics) {
    sim.AddDrive('C');
    WriteInfected("C:\\bad.exe");
    WriteClean("C:\\good.exe");

    ScanRun();

    Lines expected = {"C:\\bad.exe     W32/Drovak.Zg.Trojan removed", " "};
    for (const std::string& line : StatisticsLines(2, 1, 1)) expected.push_back(line);
    EXPECT_EQ(expected, sim.logLines);
    EXPECT_FALSE(sim.Exists("C:\\bad.exe"));
}

TEST_F(ScanRunTest, AnEmptyTargetSkipsMemoryPassAndWalkButStillReports) {
    sim.AddDrive('C');
    WriteClean("C:\\f.exe");
    Shared.ScanTarget[0] = '\0';

    EXPECT_EQ(1, ScanRun());

    EXPECT_EQ(0, services.memoryPasses);
    EXPECT_EQ(0, Shared.FilesScanned);
    EXPECT_EQ(StatisticsLines(0, 0, 0), sim.logLines);
    EXPECT_EQ((Lines{"Scanning completed"}), sim.statusTexts);
}

TEST_F(ScanRunTest, AFolderTargetWalksJustThatTree) {
    sim.AddDrive('C');
    WriteClean("C:\\outside.exe");
    WriteClean("C:\\data\\in.exe");
    WriteClean("C:\\data\\deep\\in2.exe");
    strcpy(Shared.ScanTarget, "C:\\data");
    UseRecordingChecker();

    ScanRun();

    EXPECT_EQ(1, services.memoryPasses);
    EXPECT_EQ((std::vector<std::string>{"C:\\data\\in.exe", "C:\\data\\deep\\in2.exe"}),
              CheckedPaths());
}

TEST_F(ScanRunTest, ATerminatedScanStillPostsItsStatisticsAndSaysSo) {
    sim.AddDrive('C');
    sim.AddDrive('D');
    WriteClean("C:\\a.exe");
    WriteClean("C:\\b.exe");
    WriteClean("D:\\c.exe");
    UseRecordingChecker();
    sim.AtPeek(2, [&] { sim.QueueEscape(); });
    sim.ScriptPrompt(kAnswerYes);

    ScanRun();

    // The walk of D: still starts but leaves at its first entry.
    EXPECT_EQ((std::vector<std::string>{"C:\\a.exe"}), CheckedPaths());
    EXPECT_EQ(StatisticsLines(1, 0, 0), sim.logLines);
    EXPECT_EQ((Lines{"C:\\a.exe", "Scanning terminated"}), sim.statusTexts);
    EXPECT_EQ(1u, sim.prompts.size());
}

TEST_F(ScanRunTest, CapitalisedProgramFilesIsWalkedAgainByTheFollowUp) {
    sim.AddDrive('C');
    WriteClean("C:\\PROGRAM FILES\\app.exe");
    UseRecordingChecker();

    ScanRun();

    EXPECT_EQ((std::vector<std::string>{"C:\\PROGRAM FILES\\app.exe", "C:\\Program Files\\app.exe"}),
              CheckedPaths());
    EXPECT_EQ(2, Shared.FilesScanned);
    EXPECT_EQ(0, Shared.ProgramFilesPending);
}

TEST_F(ScanRunTest, NoFollowUpOnceAProgramFilesPathWasEntered) {
    sim.AddDrive('C');
    sim.AddDrive('D');
    WriteClean("C:\\Program Files\\app.exe");
    WriteClean("D:\\PROGRAM FILES\\other.exe");
    UseRecordingChecker();

    ScanRun();

    EXPECT_EQ((std::vector<std::string>{"C:\\Program Files\\app.exe", "D:\\PROGRAM FILES\\other.exe"}),
              CheckedPaths());
    EXPECT_EQ(1, Shared.ProgramFilesVisited);
}

TEST_F(ScanRunTest, AScheduledDeletionAsksToRestartAndYesRestarts) {
    sim.AddDrive('C');
    WriteInfected("C:\\busy.exe");
    sim.LockFile("C:\\busy.exe");
    services.scheduleResult = 1;
    sim.ScriptPrompt(kAnswerYes);

    ScanRun();

    ASSERT_EQ(1u, sim.prompts.size());
    EXPECT_EQ(kRestartQuestion, sim.prompts[0].text);
    EXPECT_EQ("Cordafix Ver 1.0", sim.prompts[0].caption);
    EXPECT_EQ(36, sim.prompts[0].style);
    EXPECT_EQ(1, services.restarts);
    EXPECT_EQ("C:\\busy.exe     W32/Drovak.Zg.Trojan Unable to remove", sim.logLines[0]);
    EXPECT_EQ("Scanning completed", sim.statusTexts.back());
}

TEST_F(ScanRunTest, NoToTheRestartQuestionLeavesTheMachineRunning) {
    sim.AddDrive('C');
    WriteInfected("C:\\busy.exe");
    sim.LockFile("C:\\busy.exe");
    sim.ScriptPrompt(kAnswerNo);

    ScanRun();

    EXPECT_EQ(1u, sim.prompts.size());
    EXPECT_EQ(0, services.restarts);
}

TEST_F(ScanRunTest, AFailedSchedulingAsksNothing) {
    sim.AddDrive('C');
    WriteInfected("C:\\busy.exe");
    sim.LockFile("C:\\busy.exe");
    services.scheduleResult = 0;

    ScanRun();

    EXPECT_TRUE(sim.prompts.empty());
    EXPECT_EQ(0, services.restarts);
}

TEST_F(ScanRunTest, TheBuiltInTableFindsItsSamplesAndSparesNearMisses) {
    ActiveSignatureTable = SignatureTable;
    const SignatureRecord& record = SignatureTable[5];
    sim.AddDrive('C');
    ASSERT_TRUE(sim.WriteFile("C:\\tools\\real.exe", samplegen::MatchingSample(record)));
    ASSERT_TRUE(sim.WriteFile("C:\\tools\\near.exe",
                              samplegen::NearMissSample(record, samplegen::NearMiss::LengthPlusOne)));
    ASSERT_TRUE(sim.WriteFile("C:\\tools\\readme.txt", samplegen::PlainFile(300, 7)));

    ScanRun();

    EXPECT_FALSE(sim.Exists("C:\\tools\\real.exe"));
    EXPECT_TRUE(sim.Exists("C:\\tools\\near.exe"));
    Lines expected = {"C:\\tools\\real.exe     " + std::string(record.name) + " removed", " "};
    for (const std::string& line : StatisticsLines(3, 1, 1)) expected.push_back(line);
    EXPECT_EQ(expected, sim.logLines);
    EXPECT_EQ((Lines{std::string(record.name)}), services.repaired);
}

}  // namespace
