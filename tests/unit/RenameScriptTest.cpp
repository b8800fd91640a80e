#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "common/Shared.h"
#include "engine/Disposition.h"
#include "engine/ScanServices.h"
#include "repair/RestartDelete.h"
#include "sim/SimPlatform.h"
#include "ui/logic/ProgramServices.h"

namespace {

const char kScript[] = "C:\\WINDOWS\\wininit.ini";
const char kWorkingCopy[] = "C:\\WINDOWS\\TEMP\\wininit.ini";

// The sim, with writes that can run short and moves that can be refused,
// as on a full disk or on a 9x system without MoveFileEx.
class ScriptSim : public SimPlatform {
public:
    long writeBudget = -1;  // bytes writable before every write runs short; -1 = no limit
    std::function<bool(const char* from, const char* to, uint32_t flags)> refuseMove;

    int FileWrite(int fd, const void* buffer, uint32_t count) override {
        if (writeBudget >= 0 && count > static_cast<unsigned long>(writeBudget)) count = static_cast<uint32_t>(writeBudget);
        if (writeBudget >= 0) writeBudget -= count;
        return SimPlatform::FileWrite(fd, buffer, count);
    }
    bool MovePathEx(const char* from, const char* to, uint32_t flags) override {
        if (refuseMove && refuseMove(from, to, flags)) return false;
        return SimPlatform::MovePathEx(from, to, flags);
    }
    bool MovePath(const char* from, const char* to) override { return MovePathEx(from, to, 0); }
};

class RenameScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearProcessState();
        sim.SetVersion(1, 4, 10);
        sim.AddDrive('C');
        ASSERT_TRUE(sim.MakeFolder("C:\\WINDOWS\\TEMP"));
    }
    void TearDown() override { ClearProcessState(); }

    void Script(const std::string& content) { ASSERT_TRUE(sim.WriteFile(kScript, content)); }
    std::string Script() { return sim.ReadFile(kScript); }
    bool Add(const char* source = "C:\\EVIL.EXE") { return AddRenameScriptEntry("NUL", source); }
    // Only the script and the working copy may remain in the Windows folder.
    void ExpectNoLeftovers() {
        for (const char* name : {"C:\\WINDOWS\\wininit.$$n", "C:\\WINDOWS\\wininit.$$o"})
            EXPECT_FALSE(sim.Exists(name)) << name;
    }

    ScriptSim sim;
    PlatformScope seam{sim.Parts()};
};

TEST_F(RenameScriptTest, NewScriptHoldsTheHeaderAndOneEntry) {
    EXPECT_TRUE(Add());
    EXPECT_EQ("[rename]\r\nNUL=C:\\EVIL.EXE\r\n", Script());
    ExpectNoLeftovers();
}

TEST_F(RenameScriptTest, EntryGoesLastIntoTheRenameSectionBeforeTheNextHeader) {
    Script("[rename]\r\nNUL=C:\\OLD.EXE\r\n[other]\r\nkey=value\r\n");
    EXPECT_TRUE(Add());
    EXPECT_EQ("[rename]\nNUL=C:\\OLD.EXE\nNUL=C:\\EVIL.EXE\r\n[other]\nkey=value\n", Script());
    // The working copy in the temporary folder keeps the previous content.
    EXPECT_EQ("[rename]\r\nNUL=C:\\OLD.EXE\r\n[other]\r\nkey=value\r\n", sim.ReadFile(kWorkingCopy));
    ExpectNoLeftovers();
}

// One entry added to each script: where it goes, and how the rest is copied.
TEST_F(RenameScriptTest, EntryGoesLastIntoTheFirstRenameSection) {
    // 647 characters fill one read; the "[" that follows continues the line.
    const std::string longLine = std::string(647, 'a') + "[x]" + std::string(700, 'b');
    const std::string longHeader = std::string(647, ';') + "[rename]";
    const struct {
        const char* why;
        std::string before, after;
    } kCases[] = {
        {"section at the end", "[boot]\r\nshell=x\r\n[Rename]\r\nNUL=C:\\A\r\n",
         "[boot]\nshell=x\n[Rename]\nNUL=C:\\A\nNUL=C:\\EVIL.EXE\r\n"},
        {"header in any letter case", "[RENAME]\r\n[x]\r\n", "[RENAME]\nNUL=C:\\EVIL.EXE\r\n[x]\n"},
        {"header not at the line's start", " [rename]\r\nNUL=C:\\A\r\n",
         " [rename]\nNUL=C:\\A\n[rename]\r\nNUL=C:\\EVIL.EXE\r\n"},
        {"only eight characters compared", "[rename]more text\r\nNUL=C:\\A\r\n[y]\r\n",
         "[rename]more text\nNUL=C:\\A\nNUL=C:\\EVIL.EXE\r\n[y]\n"},
        {"only the first section", "[rename]\r\na=b\r\n[rename]\r\nc=d\r\n",
         "[rename]\na=b\nNUL=C:\\EVIL.EXE\r\n[rename]\nc=d\n"},
        {"no section", "[boot]\r\nshell=x\r\n", "[boot]\nshell=x\n[rename]\r\nNUL=C:\\EVIL.EXE\r\n"},
        {"empty script", "", "[rename]\r\nNUL=C:\\EVIL.EXE\r\n"},
        {"last entry without line end", "[rename]\r\nNUL=C:\\A", "[rename]\nNUL=C:\\A\r\nNUL=C:\\EVIL.EXE\r\n"},
        {"last line without line end", "[boot]\r\nshell=x", "[boot]\nshell=x\r\n[rename]\r\nNUL=C:\\EVIL.EXE\r\n"},
        {"a long line's pieces are no headers", "[rename]\r\n" + longLine + "\r\n[other]\r\n",
         "[rename]\n" + longLine + "\nNUL=C:\\EVIL.EXE\r\n[other]\n"},
        {"nor is a long line's end", longHeader + "\r\nx=y\r\n",
         longHeader + "\nx=y\n[rename]\r\nNUL=C:\\EVIL.EXE\r\n"},
    };
    for (const auto& c : kCases) {
        Script(c.before);
        EXPECT_TRUE(Add()) << c.why;
        EXPECT_EQ(c.after, Script()) << c.why;
    }
}

TEST_F(RenameScriptTest, EveryByteOfTheOldScriptReachesTheNewOne) {
    using namespace std::string_literals;
    // Ctrl-Z is an ordinary byte, a NUL ends no line; CR LF still becomes LF,
    // a lone CR stays.
    Script("[Other]\r\nk=v\x1a\r\n[rename]\r\nNUL=C:\\A.TXT\r\nab\0cd\r\n[Third]\r\nz=1\r\r\n"s);
    EXPECT_TRUE(Add());
    EXPECT_EQ("[Other]\nk=v\x1a\n[rename]\nNUL=C:\\A.TXT\nab\0cd\nNUL=C:\\EVIL.EXE\r\n[Third]\nz=1\r\n"s, Script());

    // 3 KB of random bytes: as the line copy writes them, then a new section.
    std::string random;
    uint32_t seed = 8;
    for (int i = 0; i < 3072; ++i) {
        seed = seed * 1103515245u + 12345u;
        random += static_cast<char>(seed >> 16);
    }
    std::string copied;
    for (size_t i = 0; i < random.size(); ++i)
        if (!(random[i] == '\r' && i + 1 < random.size() && random[i + 1] == '\n')) copied += random[i];
    copied += (copied.back() == '\n' ? "" : "\r\n") + "[rename]\r\nNUL=C:\\EVIL.EXE\r\n"s;
    Script(random);
    EXPECT_TRUE(Add());
    std::string script = Script();
    EXPECT_EQ(copied.size(), script.size());
    EXPECT_TRUE(copied == script);
}

TEST_F(RenameScriptTest, HiddenAndSystemStayAReadOnlyScriptStaysAsItIs) {
    Script("[rename]\r\nNUL=C:\\A\r\n");
    ASSERT_TRUE(sim.SetAttributes(kScript, kAttrHidden | kAttrSystem));
    EXPECT_TRUE(Add());
    EXPECT_TRUE(Add("C:\\TWO.EXE"));  // over the hidden working copy of the first call
    EXPECT_EQ("[rename]\nNUL=C:\\A\nNUL=C:\\EVIL.EXE\nNUL=C:\\TWO.EXE\r\n", Script());
    EXPECT_EQ(kAttrHidden | kAttrSystem, sim.GetAttributes(kScript) & (kAttrHidden | kAttrSystem | kAttrReadOnly));
    ExpectNoLeftovers();

    const std::string old = Script();
    ASSERT_TRUE(sim.SetAttributes(kScript, kAttrReadOnly | kAttrHidden));
    EXPECT_FALSE(Add());
    EXPECT_EQ(old, Script());
    EXPECT_EQ(kAttrReadOnly | kAttrHidden, sim.GetAttributes(kScript) & (kAttrHidden | kAttrSystem | kAttrReadOnly));
    ExpectNoLeftovers();
}

TEST_F(RenameScriptTest, EveryCallAddsAnEntry) {
    EXPECT_TRUE(Add());
    EXPECT_TRUE(Add());
    EXPECT_EQ("[rename]\nNUL=C:\\EVIL.EXE\nNUL=C:\\EVIL.EXE\r\n", Script());
}

TEST_F(RenameScriptTest, AShortWriteLeavesTheOldScriptAsItWas) {
    const std::string old = "[rename]\r\nNUL=C:\\OLD.EXE\r\n[other]\r\nkey=value\r\n";
    for (long budget : {0L, 5L, 20L, 30L, 40L}) {
        Script(old);
        sim.writeBudget = budget;
        EXPECT_FALSE(Add()) << budget;
        sim.writeBudget = -1;
        EXPECT_EQ(old, Script()) << budget;
        ExpectNoLeftovers();
    }
    // A new script is not created half-written either.
    ASSERT_TRUE(sim.DeletePath(kScript));
    sim.writeBudget = 12;
    EXPECT_FALSE(Add());
    EXPECT_FALSE(sim.Exists(kScript));
    ExpectNoLeftovers();
}

TEST_F(RenameScriptTest, ALockedScriptOrMissingTempFolderChangesNothing) {
    const std::string old = "[rename]\r\nNUL=C:\\OLD.EXE\r\n";
    Script(old);
    sim.LockFile(kScript);
    EXPECT_FALSE(Add());
    sim.UnlockFile(kScript);
    EXPECT_EQ(old, Script());

    sim.SetTempPath("C:\\NOWHERE\\");
    EXPECT_FALSE(Add());
    EXPECT_EQ(old, Script());
    ExpectNoLeftovers();
}

TEST_F(RenameScriptTest, WithoutReplacingMovesTheOldScriptStepsAsideAndBack) {
    sim.refuseMove = [](const char*, const char*, uint32_t flags) { return (flags & kMoveReplaceExisting) != 0; };
    Script("[rename]\r\nNUL=C:\\A\r\n");
    EXPECT_TRUE(Add());
    EXPECT_EQ("[rename]\nNUL=C:\\A\nNUL=C:\\EVIL.EXE\r\n", Script());
    ExpectNoLeftovers();

    // The new script cannot move in: the old one returns to its place.
    const std::string old = Script();
    sim.refuseMove = [](const char* from, const char*, uint32_t flags) {
        return (flags & kMoveReplaceExisting) != 0 || std::string(from).find("$$n") != std::string::npos;
    };
    EXPECT_FALSE(Add());
    EXPECT_EQ(old, Script());
    ExpectNoLeftovers();
}

class ScheduleDeleteTest : public RenameScriptTest {};

TEST_F(ScheduleDeleteTest, NineXEntersTheShortPath) {
    const char kLong[] = "C:\\Program Files\\Long Name Tool.exe";
    ASSERT_TRUE(sim.WriteFile(kLong, "x"));
    char expected[260];
    ASSERT_GT(sim.ShortPath(kLong, expected, sizeof expected), 0u);
    ASSERT_EQ(nullptr, strchr(expected, ' '));
    EXPECT_EQ(1, ScheduleDeleteAtRestart(kLong));
    EXPECT_EQ("[rename]\r\nNUL=" + std::string(expected) + "\r\n", Script());
    EXPECT_TRUE(sim.pendingDeletes.empty());
}

TEST_F(ScheduleDeleteTest, NineXWithoutShortPathOrScriptSchedulesNothing) {
    EXPECT_EQ(0, ScheduleDeleteAtRestart("C:\\gone.exe"));
    EXPECT_FALSE(sim.Exists(kScript));

    ASSERT_TRUE(sim.WriteFile("C:\\x.exe", "x"));
    sim.SetWindowsDirectory("C:\\NOWHERE");
    EXPECT_EQ(0, ScheduleDeleteAtRestart("C:\\x.exe"));
}

TEST_F(ScheduleDeleteTest, NtRegistersADelayedDeletionAndReportsARefusal) {
    sim.SetVersion(2, 5, 1);
    EXPECT_EQ(1, ScheduleDeleteAtRestart("C:\\Program Files\\in use.exe"));
    EXPECT_EQ(std::vector<std::string>{"C:\\Program Files\\in use.exe"}, sim.pendingDeletes);
    sim.refuseDelayedDelete = true;
    EXPECT_EQ(0, ScheduleDeleteAtRestart("C:\\other.exe"));
    EXPECT_FALSE(sim.Exists(kScript));
}

TEST_F(ScheduleDeleteTest, OtherPlatformsScheduleNothing) {
    ASSERT_TRUE(sim.WriteFile("C:\\x.exe", "x"));
    sim.SetVersion(0, 3, 1);
    EXPECT_EQ(0, ScheduleDeleteAtRestart("C:\\x.exe"));
    sim.FailVersion();
    EXPECT_EQ(0, ScheduleDeleteAtRestart("C:\\x.exe"));
    EXPECT_FALSE(sim.Exists(kScript));
    EXPECT_TRUE(sim.pendingDeletes.empty());
}

// The disposition of a file that stays in use, with the real scheduling.
class HeldFileTest : public RenameScriptTest {
protected:
    void SetUp() override {
        RenameScriptTest::SetUp();
        ActiveScanServices = ProgramScanServices;
        ActiveScanServices.killProcessOfFile = [](const char*) { return 0; };
        Shared.MainWindowHandle = sim.mainWindow;
        Shared.ActionCode = 100;
        ASSERT_TRUE(sim.WriteFile(kHeld, "x"));
        sim.LockFile(kHeld);
    }
    void TearDown() override {
        ActiveScanServices = ProgramScanServices;
        RenameScriptTest::TearDown();
    }
    static constexpr const char* kHeld = "C:\\Program Files\\held file.exe";
    const std::string kUnable = std::string(kHeld) + "     W32/Drovak.Trojan Unable to remove";
};

TEST_F(HeldFileTest, NineXEndsInARenameScriptEntryAndARestart) {
    DisposeInfectedFile(kHeld, "W32/Drovak.Trojan");
    EXPECT_EQ(std::vector<std::string>{kUnable}, sim.logLines);
    EXPECT_EQ(1, Shared.RestartNeeded);
    char shortPath[260];
    ASSERT_GT(sim.ShortPath(kHeld, shortPath, sizeof shortPath), 0u);
    EXPECT_EQ("[rename]\r\nNUL=" + std::string(shortPath) + "\r\n", Script());
}

TEST_F(HeldFileTest, NtRestartIsNeededOnlyWhenTheSystemAcceptedTheDeletion) {
    sim.SetVersion(2, 5, 1);
    DisposeInfectedFile(kHeld, "W32/Drovak.Trojan");
    EXPECT_EQ(1, Shared.RestartNeeded);
    EXPECT_EQ(std::vector<std::string>{kHeld}, sim.pendingDeletes);
    sim.refuseDelayedDelete = true;
    DisposeInfectedFile(kHeld, "W32/Drovak.Trojan");
    EXPECT_EQ(0, Shared.RestartNeeded);
    EXPECT_EQ((std::vector<std::string>{kUnable, kUnable}), sim.logLines);
    EXPECT_FALSE(sim.Exists(kScript));
}

}  // namespace
