#include "engine/Disposition.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Shared.h"
#include "unit/ScanTestSupport.h"

namespace {

using Lines = std::vector<std::string>;

const char kTag[] = "W32/Drovak.Trojan";
const char kName[] = "W32/Drovak.Zg.Trojan";
const char kPath[] = "C:\\dir\\evil.exe";

class DispositionTest : public ScanTest {
protected:
    void SetUp() override {
        ScanTest::SetUp();
        sim.AddDrive('C');
        Shared.ActionCode = 100;
        ASSERT_TRUE(WriteInfected(kPath));
    }
    static std::string Line(const std::string& path, const std::string& tail) {
        return path + "     " + tail;
    }
};

TEST_F(DispositionTest, ACleanFileIsLeftAloneAndUncounted) {
    WriteClean("C:\\dir\\fine.exe");
    EXPECT_EQ(0, CheckAndCleanFile(kTag, "C:\\dir\\fine.exe"));
    EXPECT_EQ(0, Shared.FilesInfected);
    EXPECT_TRUE(sim.logLines.empty());
    EXPECT_TRUE(services.repaired.empty());
    EXPECT_TRUE(sim.Exists("C:\\dir\\fine.exe"));
}

TEST_F(DispositionTest, AReadOnlyHiddenInfectedFileIsDeleted) {
    ASSERT_TRUE(sim.SetAttributes(kPath, kAttrReadOnly | kAttrHidden));
    strcpy(Shared.CurrentFilePath, "stale");

    EXPECT_EQ(1, CheckAndCleanFile(kTag, kPath));

    EXPECT_FALSE(sim.Exists(kPath));
    EXPECT_EQ((Lines{Line(kPath, "W32/Drovak.Zg.Trojan removed")}), sim.logLines);
    EXPECT_EQ(1, Shared.FilesInfected);
    EXPECT_EQ(1, Shared.FilesRemoved);
    EXPECT_EQ((Lines{kName}), services.repaired);
    EXPECT_STREQ(kName, Shared.LastDetectionName);
    EXPECT_STREQ(kPath, Shared.StatusText);
    EXPECT_EQ(std::string(261, '\0'), std::string(Shared.CurrentFilePath, sizeof Shared.CurrentFilePath));
    EXPECT_TRUE(services.killed.empty());
    EXPECT_EQ(0, Shared.RestartNeeded);
}

TEST_F(DispositionTest, Action102DeletesAsWell) {
    Shared.ActionCode = 102;
    WriteInfected("C:\\dir\\second.exe", 1);
    EXPECT_EQ(1, CheckAndCleanFile(kTag, "C:\\dir\\second.exe"));
    EXPECT_FALSE(sim.Exists("C:\\dir\\second.exe"));
    EXPECT_EQ((Lines{Line("C:\\dir\\second.exe", "W32/Drovak.Trojan removed")}), sim.logLines);
}

TEST_F(DispositionTest, AFileInUseIsDeletedOnceItsProcessIsEnded) {
    sim.LockFile(kPath);
    services.killResult = 1;
    services.onKill = [&](const char* path) { sim.UnlockFile(path); };

    EXPECT_EQ(1, CheckAndCleanFile(kTag, kPath));

    EXPECT_EQ((Lines{kPath}), services.killed);
    EXPECT_FALSE(sim.Exists(kPath));
    EXPECT_EQ((Lines{Line(kPath, "W32/Drovak.Zg.Trojan removed")}), sim.logLines);
    EXPECT_EQ(1, Shared.FilesRemoved);
    EXPECT_TRUE(services.scheduled.empty());
}

TEST_F(DispositionTest, AFileThatStaysLockedIsScheduledForRestart) {
    sim.LockFile(kPath);
    services.killResult = 1;  // ended, but the file is still held

    EXPECT_EQ(1, CheckAndCleanFile(kTag, kPath));

    EXPECT_TRUE(sim.Exists(kPath));
    EXPECT_EQ((Lines{Line(kPath, "W32/Drovak.Zg.Trojan Unable to remove")}), sim.logLines);
    EXPECT_EQ((Lines{kPath}), services.scheduled);
    EXPECT_EQ(1, Shared.RestartNeeded);
    EXPECT_EQ(0, Shared.FilesRemoved);
}

TEST_F(DispositionTest, AFailedTerminationSkipsTheSecondDeleteAndALaterFailureClearsTheRestart) {
    sim.LockFile(kPath);
    services.killResult = 0;
    services.onKill = [&](const char* path) { sim.UnlockFile(path); };  // must not be retried

    CheckAndCleanFile(kTag, kPath);
    EXPECT_TRUE(sim.Exists(kPath));
    EXPECT_EQ(1, Shared.RestartNeeded);

    WriteInfected("C:\\dir\\other.exe");
    sim.LockFile("C:\\dir\\other.exe");
    services.onKill = nullptr;
    services.scheduleResult = 0;
    CheckAndCleanFile(kTag, "C:\\dir\\other.exe");
    EXPECT_EQ(0, Shared.RestartNeeded);
    EXPECT_EQ(2, Shared.FilesInfected);
    EXPECT_EQ(2u, sim.logLines.size());
}

TEST_F(DispositionTest, AttributesThatCannotBeSetEndTheAttemptWithoutScheduling) {
    sim.DenyAttributes(kPath);
    Shared.RestartNeeded = 0;

    EXPECT_EQ(1, CheckAndCleanFile(kTag, kPath));

    EXPECT_TRUE(sim.Exists(kPath));
    EXPECT_EQ((Lines{Line(kPath, "W32/Drovak.Zg.Trojan Unable to remove")}), sim.logLines);
    EXPECT_TRUE(services.killed.empty());
    EXPECT_TRUE(services.scheduled.empty());
    EXPECT_EQ(0, Shared.RestartNeeded);
}

TEST_F(DispositionTest, RenameReplacesTheCharacterAfterTheLastDot) {
    Shared.ActionCode = 101;
    EXPECT_EQ(1, CheckAndCleanFile(kTag, kPath));
    EXPECT_FALSE(sim.Exists(kPath));
    EXPECT_TRUE(sim.Exists("C:\\dir\\evil.Vxe"));
    EXPECT_EQ((Lines{Line(kPath, "W32/Drovak.Zg.Trojan renamed")}), sim.logLines);
    EXPECT_EQ(1, Shared.FilesRenamed);
    EXPECT_EQ(0, Shared.FilesRemoved);
}

TEST_F(DispositionTest, RenameFailsWhenTheNewNameIsTaken) {
    Shared.ActionCode = 101;
    sim.WriteFile("C:\\dir\\evil.Vxe", std::string("someone else's"));
    CheckAndCleanFile(kTag, kPath);
    EXPECT_TRUE(sim.Exists(kPath));
    EXPECT_EQ("someone else's", sim.ReadFile("C:\\dir\\evil.Vxe"));
    EXPECT_EQ((Lines{Line(kPath, "W32/Drovak.Zg.Trojan Rename failed")}), sim.logLines);
    EXPECT_EQ(0, Shared.FilesRenamed);
}

TEST_F(DispositionTest, RenameUsesTheLastDotEvenInAFolderName) {
    Shared.ActionCode = 101;
    WriteInfected("C:\\a.b\\file");
    CheckAndCleanFile(kTag, "C:\\a.b\\file");
    EXPECT_TRUE(sim.Exists("C:\\a.b\\file"));
    EXPECT_EQ((Lines{Line("C:\\a.b\\file", "W32/Drovak.Zg.Trojan Rename failed")}), sim.logLines);

    sim.MakeFolder("C:\\a.V");
    CheckAndCleanFile(kTag, "C:\\a.b\\file");
    EXPECT_TRUE(sim.Exists("C:\\a.V\\file"));
    EXPECT_EQ(Line("C:\\a.b\\file", "W32/Drovak.Zg.Trojan renamed"), sim.logLines.back());
}

TEST(RenameTargetTest, AlwaysNamesAnotherFileOrNone) {
    char target[260];
    EXPECT_TRUE(MakeRenameTarget("C:\\Windows\\evil.exe", target, sizeof target));
    EXPECT_STREQ("C:\\Windows\\evil.Vxe", target);
    EXPECT_TRUE(MakeRenameTarget("C:\\x\\evil.", target, sizeof target));
    EXPECT_STREQ("C:\\x\\evil.V", target);
    EXPECT_TRUE(MakeRenameTarget("C:\\x\\evil", target, sizeof target));
    EXPECT_STREQ("C:\\x\\evil.V", target);

    std::string full = "C:\\" + std::string(255, 'n') + ".";  // 259 characters
    EXPECT_FALSE(MakeRenameTarget(full.c_str(), target, sizeof target));
    EXPECT_STREQ("", target);
    full = "C:\\" + std::string(254, 'n') + ".e";
    EXPECT_TRUE(MakeRenameTarget(full.c_str(), target, sizeof target));
    EXPECT_EQ(full.substr(0, 258) + "V", std::string(target));
}

TEST_F(DispositionTest, ATrailingDotGetsAVAppended) {
    Shared.ActionCode = 101;
    // Win32 drops a trailing dot, so "evil." names the file "evil".
    WriteInfected("C:\\dir\\evil");
    EXPECT_EQ(1, CheckAndCleanFile(kTag, "C:\\dir\\evil."));
    EXPECT_FALSE(sim.Exists("C:\\dir\\evil"));
    EXPECT_TRUE(sim.Exists("C:\\dir\\evil.V"));
    EXPECT_EQ((Lines{Line("C:\\dir\\evil.", "W32/Drovak.Zg.Trojan renamed")}), sim.logLines);
}

TEST_F(DispositionTest, LeaveAloneReportsFromTheStatusLineAndLastName) {
    Shared.ActionCode = 103;
    EXPECT_EQ(1, CheckAndCleanFile(kTag, kPath));
    EXPECT_TRUE(sim.Exists(kPath));
    EXPECT_EQ((Lines{Line(kPath, "W32/Drovak.Zg.Trojan not disinfected as per user's selection")}),
              sim.logLines);
    EXPECT_EQ(1, Shared.FilesInfected);
}

TEST_F(DispositionTest, UnknownActionsCountButDoNothing) {
    for (int32_t action : {0, 99, 104}) {
        Shared.ActionCode = action;
        EXPECT_EQ(1, CheckAndCleanFile(kTag, kPath));
    }
    EXPECT_TRUE(sim.Exists(kPath));
    EXPECT_TRUE(sim.logLines.empty());
    EXPECT_EQ(3, Shared.FilesInfected);
}

TEST_F(DispositionTest, TheRememberedRunValueIsEmptiedOnlyUntilTheFirstInfection) {
    WriteClean("C:\\dir\\fine.exe");
    strcpy(Shared.RememberedRunValue, "Loader");
    CheckAndCleanFile(kTag, "C:\\dir\\fine.exe");
    EXPECT_EQ(std::string(128, '\0'), std::string(Shared.RememberedRunValue, sizeof Shared.RememberedRunValue));

    Shared.FilesInfected = 1;
    strcpy(Shared.RememberedRunValue, "Loader");
    CheckAndCleanFile(kTag, "C:\\dir\\fine.exe");
    EXPECT_STREQ("Loader", Shared.RememberedRunValue);
}

TEST_F(DispositionTest, DuringTheMemoryPassAMatchIsOnlyCountedAndNoted) {
    Shared.MemoryPassActive = 1;
    strcpy(Shared.CurrentFilePath, "stale");
    EXPECT_EQ(1, CheckAndCleanFile(kTag, kPath));
    EXPECT_TRUE(sim.Exists(kPath));
    EXPECT_EQ(1, Shared.MemoryHit);
    EXPECT_EQ(1, Shared.FilesInfected);
    EXPECT_EQ((Lines{kName}), services.repaired);
    EXPECT_STREQ(kPath, Shared.StatusText);
    EXPECT_STREQ(kPath, Shared.CurrentFilePath);  // kept for the memory pass's own steps
    EXPECT_TRUE(sim.logLines.empty());
}

TEST_F(DispositionTest, KillConfirmationActsWithoutMatchingAfterAPause) {
    sim.WriteFile("C:\\dir\\plain.txt", std::string("not a program"));
    Shared.KillActionCode = 100;
    Shared.ActionCode = 0;
    std::vector<uint64_t> postedAt;
    sim.onLogLine = [&](const std::string&) { postedAt.push_back(sim.nowMs); };

    EXPECT_EQ(0, CheckAndCleanFile(kTag, "C:\\dir\\plain.txt"));

    EXPECT_EQ(100, Shared.ActionCode);
    EXPECT_FALSE(sim.Exists("C:\\dir\\plain.txt"));
    EXPECT_EQ((Lines{"System Memory    W32/Drovak.Trojan removed",
                     Line("C:\\dir\\plain.txt", "W32/Drovak.Trojan removed")}),
              sim.logLines);
    EXPECT_EQ((std::vector<uint64_t>{0, 1000}), postedAt);
    EXPECT_EQ((std::vector<uint32_t>{1000}), sim.sleeps);
    EXPECT_EQ(0, Shared.FilesInfected);
    EXPECT_EQ(1, Shared.FilesRemoved);
    EXPECT_TRUE(services.repaired.empty());
}

TEST_F(DispositionTest, KillConfirmationReportsFromTheStatusLineWhenAttributesFail) {
    // As the memory pass leaves it: the status line holds the shortened path.
    Shared.KillActionCode = 100;
    strcpy(Shared.StatusText, "C:\\dir\\evil.exe");
    strcpy(Shared.LastDetectionName, kName);
    sim.DenyAttributes(kPath);

    EXPECT_EQ(0, CheckAndCleanFile(kTag, kPath));

    EXPECT_EQ((Lines{"System Memory    W32/Drovak.Trojan removed",
                     Line(kPath, "W32/Drovak.Zg.Trojan Unable to remove")}),
              sim.logLines);
    EXPECT_TRUE(sim.Exists(kPath));
}

TEST_F(DispositionTest, KillConfirmationPostsItsLineEvenWhenTheFileIsGone) {
    Shared.KillActionCode = 101;
    EXPECT_EQ(0, CheckAndCleanFile(kTag, "C:\\dir\\missing.exe"));
    EXPECT_EQ((Lines{"System Memory    W32/Drovak.Trojan removed",
                     Line("C:\\dir\\missing.exe", "W32/Drovak.Trojan Rename failed")}),
              sim.logLines);
}

TEST_F(DispositionTest, WithoutAMainWindowTheKillCodeIsIgnored) {
    Shared.KillActionCode = 100;
    Shared.MainWindowHandle = 0;
    EXPECT_EQ(1, CheckAndCleanFile(kTag, kPath));
    EXPECT_TRUE(sim.sleeps.empty());
    EXPECT_FALSE(sim.Exists(kPath));
    EXPECT_EQ(1, Shared.FilesInfected);
}

}  // namespace
