#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/Shared.h"
#include "engine/WalkTree.h"
#include "unit/ScanTestSupport.h"

namespace {

using Paths = std::vector<std::string>;

class WalkTreeTest : public ScanTest {
protected:
    void MakeSmallTree() {
        sim.AddDrive('D');
        WriteClean("D:\\a.exe");
        sim.WriteFile("D:\\b.txt", std::string("hello"));
        WriteClean("D:\\sub1\\x.exe");
        WriteClean("D:\\sub1\\deeper\\y.exe");
        WriteClean("D:\\sub2\\z.exe");
    }
};

TEST_F(WalkTreeTest, FilesComeBeforeSubfoldersWhichAreWalkedDepthFirst) {
    MakeSmallTree();
    UseRecordingChecker();
    Shared.FilesScanned = 10;

    EXPECT_EQ(15, WalkTree("D:\\*.*"));

    EXPECT_EQ((Paths{"D:\\a.exe", "D:\\b.txt", "D:\\sub1\\x.exe", "D:\\sub1\\deeper\\y.exe",
                     "D:\\sub2\\z.exe"}),
              CheckedPaths());
    // Every listed entry shows in the status line, folders and dot entries included.
    EXPECT_EQ((Paths{"D:\\a.exe", "D:\\b.txt", "D:\\sub1", "D:\\sub2", "D:\\sub1\\.",
                     "D:\\sub1\\..", "D:\\sub1\\deeper", "D:\\sub1\\x.exe", "D:\\sub1\\deeper\\.",
                     "D:\\sub1\\deeper\\..", "D:\\sub1\\deeper\\y.exe", "D:\\sub2\\.",
                     "D:\\sub2\\..", "D:\\sub2\\z.exe"}),
              sim.statusTexts);
    // 14 entries in the file passes (two pumps each), 14 in the folder passes (one each).
    EXPECT_EQ(3 * 14, sim.PeekCount());
    EXPECT_EQ("test-tag", scantest::CheckerCalls()[0].tag);
}

TEST_F(WalkTreeTest, CheckersSeeTheListedLengthWhichIsForgottenAfterwards) {
    MakeSmallTree();
    UseRecordingChecker();
    WalkTree("D:\\*.*");
    ASSERT_EQ(5u, scantest::CheckerCalls().size());
    EXPECT_EQ(scantest::kSampleLength, scantest::CheckerCalls()[0].listedLength);
    EXPECT_EQ(5, scantest::CheckerCalls()[1].listedLength);
    EXPECT_EQ(-1, Shared.ListedFileLength);
}

TEST_F(WalkTreeTest, AnEmptyDriveReturnsAtOnce) {
    sim.AddDrive('E');
    Shared.FilesScanned = 4;
    EXPECT_EQ(4, WalkTree("E:\\*.*"));
    EXPECT_TRUE(sim.statusTexts.empty());
    EXPECT_EQ(0, sim.PeekCount());
}

TEST_F(WalkTreeTest, APatternWithoutADotAbandonsTheWalk) {
    MakeSmallTree();
    UseRecordingChecker();
    EXPECT_EQ(-1, WalkTree("D:\\sub1\\*"));
    EXPECT_TRUE(CheckedPaths().empty());
    EXPECT_TRUE(sim.statusTexts.empty());
}

TEST_F(WalkTreeTest, UnreadableFoldersAndVanishedFilesArePassedOverQuietly) {
    sim.AddDrive('D');
    WriteInfected("D:\\open\\gone.exe");
    WriteClean("D:\\open\\kept.exe");
    WriteInfected("D:\\shut\\hidden.exe");
    sim.DenyListing("D:\\shut");
    std::string goneHost = sim.HostPath("D:\\open\\gone.exe");
    sim.onFindEntry = [&](const char*, const FindEntry& entry) {
        if (std::string(entry.name) == "gone.exe") std::remove(goneHost.c_str());
    };

    EXPECT_EQ(2, WalkTree("D:\\*.*"));

    EXPECT_EQ(0, Shared.FilesInfected);
    EXPECT_TRUE(sim.logLines.empty());
    EXPECT_TRUE(sim.Exists("D:\\shut\\hidden.exe"));
    EXPECT_EQ((Paths{"D:\\open", "D:\\shut", "D:\\open\\.", "D:\\open\\..", "D:\\open\\gone.exe",
                     "D:\\open\\kept.exe"}),
              sim.statusTexts);
}

TEST_F(WalkTreeTest, PathsThatWouldNotFitArePassedOverNeverCut) {
    sim.AddDrive('D');
    const std::string folder = "D:\\" + std::string(200, 'f') + "\\";  // 204 characters
    const std::string fits = folder + std::string(51, 'n') + ".exe";      // 259
    const std::string tooLong = folder + std::string(52, 'n') + ".exe";   // 260
    const std::string sub = folder + std::string(51, 's');  // its pattern has 259 characters
    ASSERT_EQ(259u, fits.size());
    ASSERT_EQ(260u, tooLong.size());
    ASSERT_TRUE(WriteClean(fits));
    ASSERT_TRUE(WriteClean(tooLong));
    ASSERT_TRUE(WriteClean(folder + "ok.exe"));
    ASSERT_TRUE(WriteClean(sub + "\\k"));            // 257 characters
    ASSERT_TRUE(WriteClean(sub + "\\kk.exe"));       // 262: not reachable
    ASSERT_TRUE(WriteClean(folder + std::string(60, 'g') + "\\deep.exe"));  // folder too long
    UseRecordingChecker();

    EXPECT_EQ(3, WalkTree("D:\\*.*"));

    EXPECT_EQ((Paths{fits, folder + "ok.exe", sub + "\\k"}), CheckedPaths());
    for (const std::string& shown : sim.statusTexts) EXPECT_LE(shown.size(), 60u);
}

TEST_F(WalkTreeTest, TheStatusLineShortensPathsLongerThanSixtyCharacters) {
    sim.AddDrive('D');
    const std::string sixty = "D:\\" + std::string(53, 'p') + ".exe";
    const std::string sixtyOne = "D:\\" + std::string(54, 'q') + ".exe";
    ASSERT_EQ(60u, sixty.size());
    ASSERT_EQ(61u, sixtyOne.size());
    WriteClean(sixty);
    WriteClean(sixtyOne);

    WalkTree("D:\\*.*");

    EXPECT_EQ((Paths{sixty, sixtyOne.substr(0, 29) + ".." + sixtyOne.substr(32)}),
              sim.statusTexts);
    EXPECT_EQ(2, Shared.FilesScanned);
}

TEST_F(WalkTreeTest, MemoryPassExaminesExactlyTheGivenFileWithoutCountingIt) {
    sim.AddDrive('D');
    WriteInfected("D:\\dir\\prog.exe", 1);
    WriteClean("D:\\dir\\other.exe");
    WriteInfected("D:\\dir\\sub\\more.exe");
    Shared.MemoryPassActive = 1;
    Shared.FilesScanned = 7;

    EXPECT_EQ(7, WalkTree("D:\\dir\\prog.exe"));

    EXPECT_EQ(7, Shared.FilesScanned);
    EXPECT_EQ(1, Shared.FilesInfected);
    EXPECT_EQ(1, Shared.MemoryHit);
    EXPECT_TRUE(sim.Exists("D:\\dir\\prog.exe"));
    EXPECT_TRUE(sim.logLines.empty());
    EXPECT_EQ((Paths{"D:\\dir\\prog.exe"}), sim.statusTexts);
    EXPECT_EQ(2, sim.PeekCount());  // no folder pass
    EXPECT_EQ((Paths{"W32/Drovak.Trojan"}), services.repaired);

    // Each walk starts by forgetting the last hit.
    EXPECT_EQ(7, WalkTree("D:\\dir\\other.exe"));
    EXPECT_EQ(0, Shared.MemoryHit);
    EXPECT_EQ(1, Shared.FilesInfected);
}

TEST_F(WalkTreeTest, MemoryPassTakesAFileNameWithoutADot) {
    sim.AddDrive('D');
    WriteInfected("D:\\dir\\prog");
    Shared.MemoryPassActive = 1;
    EXPECT_EQ(0, WalkTree("D:\\dir\\prog"));
    EXPECT_EQ(1, Shared.MemoryHit);
}

TEST_F(WalkTreeTest, ADriveRootNotesItsProgramFilesFolder) {
    sim.AddDrive('D');
    WriteClean("D:\\Program Files\\app.exe");
    sim.AddDrive('E');

    WalkTree("D:\\*.*");
    EXPECT_STREQ("D:\\Program Files\\*.*", Shared.ProgramFilesPattern);
    EXPECT_EQ(1, Shared.ProgramFilesPending);
    EXPECT_EQ(1, Shared.ProgramFilesVisited);

    WalkTree("E:\\*.*");  // no such folder: the flag keeps its value
    EXPECT_STREQ("E:\\Program Files", Shared.ProgramFilesPattern);
    EXPECT_EQ(1, Shared.ProgramFilesPending);

    strcpy(Shared.ProgramFilesPattern, "untouched");
    WalkTree("D:\\Program Files\\*.*");  // not a root pattern
    EXPECT_STREQ("untouched", Shared.ProgramFilesPattern);
}

TEST_F(WalkTreeTest, OnlyTheExactCaseCountsAsAVisitToProgramFiles) {
    sim.AddDrive('D');
    WriteClean("D:\\PROGRAM FILES\\app.exe");
    WalkTree("D:\\*.*");
    EXPECT_EQ(1, Shared.ProgramFilesPending);
    EXPECT_EQ(0, Shared.ProgramFilesVisited);
    EXPECT_STREQ("D:\\Program Files\\*.*", Shared.ProgramFilesPattern);
}

TEST_F(WalkTreeTest, EscapeAnsweredNoLetsTheWalkGoOnAndIsNeverDispatched) {
    MakeSmallTree();
    UseRecordingChecker();
    sim.QueueEscape();
    sim.ScriptPrompt(kAnswerNo);

    EXPECT_EQ(5, WalkTree("D:\\*.*"));

    ASSERT_EQ(1u, sim.prompts.size());
    EXPECT_EQ("Terminate the Scan now?", sim.prompts[0].text);
    EXPECT_EQ("Cordafix Ver 1.0", sim.prompts[0].caption);
    EXPECT_EQ(36, sim.prompts[0].style);
    EXPECT_EQ(0, Shared.ScanCancelled);
    EXPECT_TRUE(sim.dispatched.empty());
    EXPECT_EQ(5u, CheckedPaths().size());
}

TEST_F(WalkTreeTest, EscapeAnsweredYesStopsAtTheNextPump) {
    MakeSmallTree();
    UseRecordingChecker();
    sim.AtPeek(3, [&] { sim.QueueEscape(); });  // first pump of the second entry
    sim.ScriptPrompt(kAnswerYes);

    EXPECT_EQ(0, WalkTree("D:\\*.*"));

    EXPECT_EQ(1, Shared.ScanCancelled);
    EXPECT_EQ((Paths{"D:\\a.exe"}), CheckedPaths());
    EXPECT_EQ(1u, sim.statusTexts.size());
    EXPECT_TRUE(sim.dispatched.empty());
}

TEST_F(WalkTreeTest, AnyMessageCarryingTheEscapeCodeAsks) {
    MakeSmallTree();
    sim.QueueMessage(kWmCommand, 0x0001001B);  // Escape in the low 16 bits
    sim.QueueMessage(kWmCommand, 0x1B00);      // not Escape
    sim.QueueMessage(0x000F);                  // an ordinary paint
    sim.ScriptPrompt(kAnswerNo);

    WalkTree("D:\\*.*");

    EXPECT_EQ(1u, sim.prompts.size());
    ASSERT_EQ(2u, sim.dispatched.size());
    EXPECT_EQ(0x1B00u, sim.dispatched[0].wParam);
    EXPECT_EQ(0x000Fu, sim.dispatched[1].message);
    EXPECT_EQ(0, Shared.ScanCancelled);
}

TEST_F(WalkTreeTest, QuitCancelsWithoutBeingDispatched) {
    MakeSmallTree();
    UseRecordingChecker();
    sim.QueueMessage(kWmQuit);
    EXPECT_EQ(0, WalkTree("D:\\*.*"));
    EXPECT_EQ(1, Shared.ScanCancelled);
    EXPECT_TRUE(sim.dispatched.empty());
    EXPECT_TRUE(CheckedPaths().empty());
}

TEST_F(WalkTreeTest, DestroyCancelsWithoutBeingDispatched) {
    MakeSmallTree();
    UseRecordingChecker();
    sim.AtPeek(2, [&] { sim.QueueMessage(kWmDestroy); });  // right after the first file
    EXPECT_EQ(0, WalkTree("D:\\*.*"));
    EXPECT_EQ(1, Shared.ScanCancelled);
    EXPECT_TRUE(sim.dispatched.empty());
    EXPECT_EQ((Paths{"D:\\a.exe"}), CheckedPaths());
}

TEST_F(WalkTreeTest, ACancelDeepInTheTreeUnwindsEveryLevel) {
    MakeSmallTree();
    UseRecordingChecker();
    // The pump right after y.exe (in D:\sub1\deeper) was checked sees WM_QUIT.
    int quitAt = 0;
    sim.onFindEntry = [&](const char*, const FindEntry& entry) {
        if (quitAt != 0 || std::string(entry.name) != "y.exe") return;
        quitAt = sim.PeekCount() + 2;
        sim.AtPeek(quitAt, [&] { sim.QueueMessage(kWmQuit); });
    };

    EXPECT_EQ(0, WalkTree("D:\\*.*"));

    EXPECT_EQ((Paths{"D:\\a.exe", "D:\\b.txt", "D:\\sub1\\x.exe", "D:\\sub1\\deeper\\y.exe"}),
              CheckedPaths());
    EXPECT_EQ("D:\\sub1\\deeper\\y.exe", sim.statusTexts.back());
    // One more pump in each of the two levels above (x.exe's and sub2's folder-pass entries).
    EXPECT_EQ(quitAt + 2, sim.PeekCount());
}

}  // namespace
