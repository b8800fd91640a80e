// The simulated Windows must answer like the real one wherever the cleaner
// relies on an answer; these cases pin the rules other tests build on.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/SimTest.h"

namespace {

class SimPlatformTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        sim.AddDrive('D');
    }

    std::vector<std::string> List(const char* pattern) {
        std::vector<std::string> names;
        FindEntry entry;
        SearchHandle search = sim.FindFirst(pattern, &entry);
        if (search == kNoSearch) return names;
        do names.push_back(entry.name);
        while (sim.FindNext(search, &entry));
        sim.FindEnd(search);
        return names;
    }

    FindEntry Find(const char* path) {
        FindEntry entry;
        memset(&entry, 0, sizeof entry);
        SearchHandle search = sim.FindFirst(path, &entry);
        EXPECT_NE(search, kNoSearch) << path;
        if (search != kNoSearch) sim.FindEnd(search);
        return entry;
    }
};

TEST_F(SimPlatformTest, PathsResolveWithoutRegardToCase) {
    ASSERT_TRUE(sim.WriteFile("D:\\Program Files\\App\\Tool.EXE", "x"));
    EXPECT_EQ(sim.HostPath("d:\\PROGRAM FILES\\app\\tool.exe"),
              sim.HostRoot() + "/drive_d/Program Files/App/Tool.EXE");
    EXPECT_EQ(sim.ReadFile("D:/program files/APP/TOOL.exe"), "x");
    // Components that do not exist keep the spelling given.
    EXPECT_EQ(sim.HostPath("D:\\Program Files\\New\\a.txt"),
              sim.HostRoot() + "/drive_d/Program Files/New/a.txt");
    EXPECT_EQ(sim.HostPath("Q:\\x"), "");
    EXPECT_EQ(sim.HostPath("relative\\x"), "");
    EXPECT_NE(sim.GetAttributes("D:\\PROGRAM FILES"), kInvalidAttributes);
}

TEST_F(SimPlatformTest, DriveTypesFollowTheMapping) {
    sim.AddDrive('E', kDriveCdRom);
    EXPECT_EQ(sim.DriveType("D:\\"), kDriveFixed);
    EXPECT_EQ(sim.DriveType("E:\\"), kDriveCdRom);
    EXPECT_EQ(sim.DriveType("F:\\"), kDriveNoRootDir);
}

TEST_F(SimPlatformTest, FindListsSortedWithDotEntriesOnlyBelowTheRoot) {
    sim.WriteFile("D:\\zeta.txt", "1");
    sim.WriteFile("D:\\Alpha.exe", "22");
    sim.WriteFile("D:\\beta", "333");
    sim.MakeFolder("D:\\Sub");
    sim.WriteFile("D:\\Sub\\_under", "");
    sim.WriteFile("D:\\Sub\\b.txt", "");
    EXPECT_EQ(List("D:\\*.*"), (std::vector<std::string>{"Alpha.exe", "beta", "Sub", "zeta.txt"}));
    EXPECT_EQ(List("D:\\*"), List("D:\\*.*"));
    // Upper-case order puts letters before the underscore, as NTFS does.
    EXPECT_EQ(List("D:\\sub\\*.*"), (std::vector<std::string>{".", "..", "b.txt", "_under"}));
    EXPECT_EQ(List("D:\\*.EXE"), (std::vector<std::string>{"Alpha.exe"}));
    EXPECT_EQ(List("D:\\?eta*"), (std::vector<std::string>{"beta", "zeta.txt"}));
}

TEST_F(SimPlatformTest, FindGivesAttributesAndSizes) {
    sim.WriteFile("D:\\Sub\\file.bin", std::string(1234, 'a'));
    FindEntry file = Find("D:\\sub\\FILE.BIN");
    EXPECT_STREQ(file.name, "file.bin");
    EXPECT_EQ(file.sizeLow, 1234u);
    EXPECT_EQ(file.sizeHigh, 0u);
    EXPECT_EQ(file.attributes & kAttrDirectory, 0u);
    FindEntry folder = Find("D:\\SUB");
    EXPECT_STREQ(folder.name, "Sub");
    EXPECT_NE(folder.attributes & kAttrDirectory, 0u);

    ASSERT_TRUE(sim.SetAttributes("D:\\Sub\\file.bin", kAttrReadOnly | kAttrHidden));
    EXPECT_EQ(Find("D:\\Sub\\file.bin").attributes, kAttrReadOnly | kAttrHidden);
    EXPECT_EQ(sim.GetAttributes("D:\\Sub\\file.bin"), kAttrReadOnly | kAttrHidden);
    ASSERT_TRUE(sim.SetAttributes("D:\\Sub\\file.bin", kAttrNormal));
    EXPECT_EQ(sim.GetAttributes("D:\\Sub\\file.bin"), kAttrNormal);
}

TEST_F(SimPlatformTest, FindFailuresCarryTheirErrors) {
    FindEntry entry;
    EXPECT_EQ(sim.FindFirst("D:\\*.nothing", &entry), kNoSearch);
    EXPECT_EQ(sim.LastError(), 2u);
    EXPECT_EQ(sim.FindFirst("D:\\missing\\*.*", &entry), kNoSearch);
    EXPECT_EQ(sim.LastError(), 3u);
    sim.MakeFolder("D:\\Closed");
    sim.DenyListing("D:\\Closed");
    EXPECT_EQ(sim.FindFirst("D:\\Closed\\*.*", &entry), kNoSearch);
    EXPECT_EQ(sim.LastError(), 5u);
}

TEST_F(SimPlatformTest, FindEntryHookRunsBeforeTheCallerSeesEachEntry) {
    sim.WriteFile("D:\\a.txt", "");
    sim.WriteFile("D:\\b.txt", "");
    std::vector<std::string> seen;
    sim.onFindEntry = [&](const char* pattern, const FindEntry& entry) {
        seen.push_back(std::string(pattern) + "|" + entry.name);
        sim.DeletePath("D:\\b.txt");
    };
    EXPECT_EQ(List("D:\\*.*"), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(seen, (std::vector<std::string>{"D:\\*.*|a.txt", "D:\\*.*|b.txt"}));
    EXPECT_FALSE(sim.Exists("D:\\b.txt"));
}

TEST_F(SimPlatformTest, DeleteRefusesReadOnlyFoldersLockedAndMissing) {
    sim.WriteFile("D:\\ro.exe", "x");
    sim.WriteFile("D:\\busy.exe", "x");
    sim.MakeFolder("D:\\Dir");
    sim.SetAttributes("D:\\ro.exe", kAttrReadOnly);
    sim.LockFile("D:\\BUSY.exe");

    EXPECT_FALSE(sim.DeletePath("D:\\ro.exe"));
    EXPECT_EQ(sim.LastError(), 5u);
    EXPECT_FALSE(sim.DeletePath("D:\\Dir"));
    EXPECT_EQ(sim.LastError(), 5u);
    EXPECT_FALSE(sim.DeletePath("D:\\busy.exe"));
    EXPECT_EQ(sim.LastError(), 32u);
    EXPECT_FALSE(sim.DeletePath("D:\\none.exe"));
    EXPECT_EQ(sim.LastError(), 2u);
    EXPECT_FALSE(sim.DeletePath("D:\\nodir\\none.exe"));
    EXPECT_EQ(sim.LastError(), 3u);

    EXPECT_TRUE(sim.SetAttributes("D:\\ro.exe", kAttrArchive));
    EXPECT_TRUE(sim.DeletePath("D:\\RO.EXE"));
    EXPECT_FALSE(sim.Exists("D:\\ro.exe"));
    sim.UnlockFile("D:\\busy.exe");
    EXPECT_TRUE(sim.DeletePath("D:\\busy.exe"));
}

TEST_F(SimPlatformTest, DeniedAttributesCannotBeSet) {
    sim.WriteFile("D:\\a.exe", "x");
    sim.DenyAttributes("D:\\a.exe");
    EXPECT_FALSE(sim.SetAttributes("D:\\a.exe", kAttrNormal));
    EXPECT_EQ(sim.LastError(), 5u);
    EXPECT_FALSE(sim.SetAttributes("D:\\missing.exe", kAttrNormal));
    EXPECT_EQ(sim.LastError(), 2u);
}

TEST_F(SimPlatformTest, MoveRefusesATakenTargetUnlessReplacingAndMissingOrLockedSources) {
    sim.WriteFile("D:\\a.exe", "A");
    sim.WriteFile("D:\\b.exe", "B");
    EXPECT_FALSE(sim.MovePath("D:\\a.exe", "D:\\b.exe"));
    EXPECT_EQ(sim.LastError(), 183u);
    EXPECT_TRUE(sim.MovePathEx("D:\\a.exe", "D:\\B.EXE", kMoveReplaceExisting));
    EXPECT_EQ(sim.ReadFile("D:\\b.exe"), "A");
    EXPECT_FALSE(sim.Exists("D:\\a.exe"));
    EXPECT_TRUE(sim.MovePath("D:\\b.exe", "D:\\c.vir"));
    EXPECT_EQ(sim.ReadFile("D:\\c.vir"), "A");
    // Renaming a file to its own name (other case or not) succeeds.
    EXPECT_TRUE(sim.MovePath("D:\\c.vir", "D:\\C.VIR"));
    EXPECT_FALSE(sim.MovePath("D:\\gone.exe", "D:\\x.exe"));
    EXPECT_EQ(sim.LastError(), 2u);
    sim.LockFile("D:\\c.vir");
    EXPECT_FALSE(sim.MovePath("D:\\c.vir", "D:\\d.vir"));
    EXPECT_EQ(sim.LastError(), 32u);
}

TEST_F(SimPlatformTest, DelayedDeletesAreRecordedOrRefused) {
    EXPECT_TRUE(sim.MovePathEx("D:\\Missing Too.exe", nullptr, kMoveDelayUntilReboot));
    EXPECT_EQ(sim.pendingDeletes, (std::vector<std::string>{"D:\\Missing Too.exe"}));
    sim.refuseDelayedDelete = true;
    EXPECT_FALSE(sim.MovePathEx("D:\\x.exe", nullptr, kMoveDelayUntilReboot));
    EXPECT_EQ(sim.pendingDeletes.size(), 1u);
    EXPECT_FALSE(sim.MovePathEx("D:\\x.exe", nullptr, 0));
}

TEST_F(SimPlatformTest, CopyHonoursFailIfExistsAndRefusesMissingSourcesAndHiddenTargets) {
    sim.WriteFile("D:\\a.ini", "one");
    sim.WriteFile("D:\\b.ini", "two");
    EXPECT_FALSE(sim.CopyPath("D:\\a.ini", "D:\\b.ini", true));
    EXPECT_EQ(sim.LastError(), 80u);
    EXPECT_TRUE(sim.CopyPath("D:\\a.ini", "D:\\b.ini", false));
    EXPECT_EQ(sim.ReadFile("D:\\b.ini"), "one");
    EXPECT_EQ(sim.ReadFile("D:\\a.ini"), "one");
    EXPECT_FALSE(sim.CopyPath("D:\\none.ini", "D:\\c.ini", false));
    EXPECT_EQ(sim.LastError(), 2u);
    // CopyFileA will not overwrite a hidden file (Wine does).
    ASSERT_TRUE(sim.SetAttributes("D:\\b.ini", kAttrHidden));
    EXPECT_FALSE(sim.CopyPath("D:\\a.ini", "D:\\b.ini", false));
    EXPECT_EQ(sim.LastError(), 5u);
}

TEST_F(SimPlatformTest, ShortPathsFollowTheEightDotThreeRules) {
    sim.WriteFile("D:\\Long Folder Name\\LongFileName.exe", "");
    sim.WriteFile("D:\\Long Folder Name\\LongFile.exe", "");  // already 8.3 (case does not matter)
    sim.WriteFile("D:\\Long Folder Name\\LongFileNameToo.exe", "");
    sim.WriteFile("D:\\DOS\\EDIT.COM", "");
    char buffer[260];
    uint32_t length = sim.ShortPath("D:\\dos\\Edit.com", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "D:\\DOS\\EDIT.COM");  // short names come back as stored
    EXPECT_EQ(length, strlen(buffer));
    sim.ShortPath("D:\\Long Folder Name\\LongFileName.exe", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "D:\\LONGFO~1\\LONGFI~1.EXE");
    sim.ShortPath("d:\\long folder name\\longfilenametoo.exe", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "d:\\LONGFO~1\\LONGFI~2.EXE");
    sim.ShortPath("D:\\Long Folder Name\\LongFile.exe", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "D:\\LONGFO~1\\LongFile.exe");
    // The short form reaches the same file.
    sim.WriteFile("D:\\Long Folder Name\\LongFileName.exe", "long");
    EXPECT_EQ(sim.ReadFile("D:\\longfo~1\\LONGFI~1.EXE"), "long");
    EXPECT_NE(sim.GetAttributes("D:\\LONGFO~1\\LONGFI~2.EXE"), kInvalidAttributes);
    // Too small: the size needed including the zero, buffer untouched.
    char small[8] = "keep";
    EXPECT_EQ(sim.ShortPath("D:\\DOS\\EDIT.COM", small, sizeof small), 16u);
    EXPECT_STREQ(small, "keep");
    EXPECT_EQ(sim.ShortPath("D:\\DOS\\NONE.COM", buffer, sizeof buffer), 0u);
    EXPECT_EQ(sim.LastError(), 2u);
}

TEST_F(SimPlatformTest, SystemFoldersFollowTheBufferRule) {
    char buffer[260];
    EXPECT_EQ(sim.TempPath(buffer, sizeof buffer), 16u);
    EXPECT_STREQ(buffer, "C:\\WINDOWS\\TEMP\\");
    EXPECT_EQ(sim.WindowsDirectory(buffer, sizeof buffer), 10u);
    EXPECT_STREQ(buffer, "C:\\WINDOWS");
    EXPECT_EQ(sim.SystemDirectory(buffer, sizeof buffer), 19u);
    EXPECT_STREQ(buffer, "C:\\WINDOWS\\SYSTEM32");
    EXPECT_EQ(sim.WindowsDirectory(buffer, 10), 11u);
    sim.SetWindowsDirectory("D:\\WIN");
    EXPECT_EQ(sim.WindowsDirectory(buffer, 7), 6u);
    EXPECT_STREQ(buffer, "D:\\WIN");
}

TEST_F(SimPlatformTest, EnvironmentExpansionCountsTheZero) {
    sim.SetWindowsDirectory("D:\\WINNT");
    sim.SetEnvironment("Apps", "D:\\Apps");
    char buffer[261];
    EXPECT_EQ(sim.ExpandEnvironment("%SystemRoot%\\system32\\x.exe", buffer, sizeof buffer), 24u);
    EXPECT_STREQ(buffer, "D:\\WINNT\\system32\\x.exe");
    EXPECT_EQ(sim.ExpandEnvironment("%APPS%\\a %nope% 100%", buffer, sizeof buffer), 22u);
    EXPECT_STREQ(buffer, "D:\\Apps\\a %nope% 100%");
    EXPECT_EQ(sim.ExpandEnvironment("", buffer, sizeof buffer), 1u);
    char small[4];
    EXPECT_EQ(sim.ExpandEnvironment("%APPS%", small, sizeof small), 8u);
}

TEST_F(SimPlatformTest, DescriptorCallsFollowTheRuntime) {
    sim.WriteFile("D:\\data.bin", "0123456789");
    int fd = sim.FileOpen("D:\\DATA.BIN", kOpenReadOnly | kOpenBinary, 0);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(sim.OpenDescriptorCount(), 1);
    EXPECT_EQ(sim.FileLength(fd), 10);
    EXPECT_EQ(sim.FileSeek(fd, 4, kSeekSet), 4);
    char buffer[16] = {};
    EXPECT_EQ(sim.FileRead(fd, buffer, 3), 3);
    EXPECT_STREQ(buffer, "456");
    EXPECT_EQ(sim.FileSeek(fd, -8, kSeekCur), -1);  // would land before the start
    EXPECT_EQ(sim.FileSeek(fd, 0, kSeekCur), 7);    // and the position is kept
    EXPECT_EQ(sim.FileSeek(fd, 5, kSeekEnd), 15);   // past the end is allowed
    EXPECT_EQ(sim.FileRead(fd, buffer, 4), 0);
    EXPECT_EQ(sim.FileSeek(fd, -3, kSeekEnd), 7);
    EXPECT_EQ(sim.FileRead(fd, buffer, 10), 3);
    EXPECT_EQ(sim.FileClose(fd), 0);
    EXPECT_EQ(sim.FileClose(fd), -1);
    EXPECT_EQ(sim.OpenDescriptorCount(), 0);
    EXPECT_EQ(sim.FileOpen("D:\\none.bin", kOpenReadOnly, 0), -1);
    EXPECT_EQ(sim.FileOpen("D:\\", kOpenReadOnly, 0), -1);
}

TEST_F(SimPlatformTest, DescriptorWritesRespectReadOnlyAndLocks) {
    sim.WriteFile("D:\\ro.ini", "x");
    sim.SetAttributes("D:\\ro.ini", kAttrReadOnly);
    EXPECT_EQ(sim.FileOpen("D:\\ro.ini", kOpenWriteOnly | kOpenBinary, 0), -1);
    EXPECT_EQ(sim.FileAccess("D:\\ro.ini", 2), -1);
    EXPECT_EQ(sim.FileAccess("D:\\ro.ini", 0), 0);
    EXPECT_EQ(sim.FileAccess("D:\\none.ini", 0), -1);
    sim.WriteFile("D:\\busy.ini", "x");
    sim.LockFile("D:\\busy.ini");
    EXPECT_EQ(sim.FileOpen("D:\\busy.ini", kOpenReadWrite | kOpenBinary, 0), -1);
    int reader = sim.FileOpen("D:\\busy.ini", kOpenReadOnly | kOpenBinary, 0);
    EXPECT_GE(reader, 0);
    sim.FileClose(reader);

    int fd = sim.FileOpen("D:\\new.ini", kOpenWriteOnly | kOpenCreate | kOpenAppend | kOpenBinary,
                          kPermRead | kPermWrite);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(sim.FileWrite(fd, "[rename]\r\n", 10), 10);
    EXPECT_EQ(sim.FileWrite(fd, "NUL=x\r\n", 7), 7);
    sim.FileClose(fd);
    EXPECT_EQ(sim.ReadFile("D:\\new.ini"), "[rename]\r\nNUL=x\r\n");
    EXPECT_EQ(sim.FileOpen("D:\\new.ini", kOpenWriteOnly | kOpenCreate | kOpenExclusive, kPermWrite), -1);
}

TEST_F(SimPlatformTest, HostLinksListAsReparsePoints) {
    sim.WriteFile("D:\\sub\\target.exe", "1234");
    std::string root = sim.HostPath("D:\\");
    ASSERT_EQ(0, symlink("sub", (root + "/folderlink").c_str()));
    ASSERT_EQ(0, symlink("sub/target.exe", (root + "/filelink.exe").c_str()));
    ASSERT_EQ(0, symlink("nowhere.exe", (root + "/dangling.exe").c_str()));
    EXPECT_EQ(Find("D:\\folderlink").attributes, kAttrDirectory | kAttrReparsePoint);
    FindEntry file = Find("D:\\filelink.exe");
    EXPECT_EQ(file.attributes, kAttrArchive | kAttrReparsePoint);
    EXPECT_EQ(file.sizeLow, 0u);  // a link has no content of its own
    EXPECT_EQ(Find("D:\\dangling.exe").attributes, kAttrArchive | kAttrReparsePoint);
    EXPECT_EQ(sim.GetAttributes("D:\\folderlink"), kAttrDirectory | kAttrReparsePoint);
    EXPECT_EQ(Find("D:\\sub").attributes, kAttrDirectory);
    // Opening follows the link; deleting removes the link alone.
    EXPECT_EQ(sim.ReadFile("D:\\filelink.exe"), "1234");
    EXPECT_TRUE(sim.DeletePath("D:\\filelink.exe"));
    EXPECT_EQ(sim.ReadFile("D:\\sub\\target.exe"), "1234");
}

TEST_F(SimPlatformTest, ListingsCarryShortNamesThatStay) {
    std::string odd = sim.HostPath("D:\\") + "/odd";
    ASSERT_TRUE(sim.MakeFolder("D:\\odd"));
    for (const char* name : {"trail.exe.", "a?b.exe", "\xE6\x97\xA5.exe", "Long Name.exe", "plain.exe"})
        fclose(fopen((odd + "/" + name).c_str(), "w"));
    std::vector<std::string> names, shortNames;
    FindEntry entry;
    SearchHandle search = sim.FindFirst("D:\\odd\\*.*", &entry);
    ASSERT_NE(search, kNoSearch);
    do {
        names.push_back(entry.name);
        shortNames.push_back(entry.shortName);
    } while (sim.FindNext(search, &entry));
    sim.FindEnd(search);
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "a?b.exe", "Long Name.exe", "plain.exe", "trail.exe.", "?.exe"}));
    EXPECT_EQ(shortNames, (std::vector<std::string>{"", "", "A_B~1.EXE", "LONGNA~1.EXE", "", "TRAIL~1.EXE", "_~1.EXE"}));
    // The listed long names do not open; the short ones do, also after a
    // sibling with the same short stem is gone.
    EXPECT_EQ(sim.FileOpen("D:\\odd\\trail.exe.", kOpenReadOnly, 0), -1);
    EXPECT_EQ(sim.GetAttributes("D:\\odd\\a?b.exe"), kInvalidAttributes);
    fclose(fopen((odd + "/a|b.exe").c_str(), "w"));
    EXPECT_EQ(Find("D:\\odd\\A_B~1.EXE").shortName, std::string("A_B~1.EXE"));
    EXPECT_TRUE(sim.DeletePath("D:\\odd\\A_B~1.EXE"));
    EXPECT_TRUE(sim.Exists("D:\\odd\\A_B~2.EXE"));
    EXPECT_EQ(Find("D:\\odd\\plain.exe").shortName, std::string());

    sim.GenerateShortNames(false);
    EXPECT_EQ(Find("D:\\odd\\Long Name.exe").shortName, std::string());
}

const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

TEST_F(SimPlatformTest, RegistryNamesIgnoreCaseAndKeepTheirOrder) {
    sim.SetRegistryText(kHkeyLocalMachine, kRun, "Zed", "z.exe");
    sim.SetRegistryText(kHkeyLocalMachine, kRun, "alpha", "a.exe");
    RegKey key;
    ASSERT_EQ(sim.KeyOpen(kHkeyLocalMachine, "SOFTWARE\\microsoft\\Windows\\currentversion\\RUN", kKeyRead, &key),
              0);
    uint32_t count = 0;
    EXPECT_EQ(sim.KeyValueCount(key, &count), 0);
    EXPECT_EQ(count, 2u);
    char name[16];
    uint32_t length = sizeof name;
    EXPECT_EQ(sim.KeyEnumValue(key, 0, name, &length), 0);
    EXPECT_STREQ(name, "Zed");
    EXPECT_EQ(length, 3u);
    uint32_t size = 0;
    EXPECT_EQ(sim.KeyQueryValue(key, "ALPHA", nullptr, nullptr, &size), 0);
    EXPECT_EQ(size, 6u);
    // A read-only handle cannot change anything.
    EXPECT_EQ(sim.KeyDeleteValue(key, "Zed"), 5);
    EXPECT_EQ(sim.KeyClose(key), 0);
    EXPECT_EQ(sim.KeyClose(key), 6);
    EXPECT_EQ(sim.KeyOpen(kHkeyLocalMachine, "Software\\Nothing", kKeyRead, &key), 2);
}

TEST_F(SimPlatformTest, EnumerationAfterADeletionMovesLaterValuesUp) {
    for (const char* name : {"one", "two", "three", "four"})
        sim.SetRegistryText(kHkeyLocalMachine, kRun, name, "x");
    RegKey key;
    ASSERT_EQ(sim.KeyOpen(kHkeyLocalMachine, kRun, kKeyAllAccess, &key), 0);
    EXPECT_EQ(sim.KeyDeleteValue(key, "TWO"), 0);
    EXPECT_EQ(sim.KeyDeleteValue(key, "two"), 2);
    char name[16];
    uint32_t length = sizeof name;
    ASSERT_EQ(sim.KeyEnumValue(key, 1, name, &length), 0);
    EXPECT_STREQ(name, "three");
    length = sizeof name;
    EXPECT_EQ(sim.KeyEnumValue(key, 3, name, &length), 259);
    // The length goes in as the buffer size with the zero: "three" needs 6.
    length = 5;
    EXPECT_EQ(sim.KeyEnumValue(key, 1, name, &length), 234);
    length = 6;
    EXPECT_EQ(sim.KeyEnumValue(key, 1, name, &length), 0);
    EXPECT_EQ(length, 5u);
    sim.KeyClose(key);
    EXPECT_EQ(sim.RegistryValueNames(kHkeyLocalMachine, kRun),
              (std::vector<std::string>{"one", "three", "four"}));
}

TEST_F(SimPlatformTest, QuerySizesFollowRegQueryValueEx) {
    sim.SetRegistryText(kHkeyLocalMachine, kRun, "App", "C:\\app.exe");
    RegKey key;
    ASSERT_EQ(sim.KeyOpen(kHkeyLocalMachine, kRun, kKeyRead, &key), 0);
    uint8_t data[32];
    uint32_t size = 4;
    uint32_t type = 0;
    EXPECT_EQ(sim.KeyQueryValue(key, "app", &type, data, &size), 234);
    EXPECT_EQ(size, 11u);
    size = sizeof data;
    EXPECT_EQ(sim.KeyQueryValue(key, "app", &type, data, &size), 0);
    EXPECT_EQ(type, kRegSz);
    EXPECT_STREQ(reinterpret_cast<char*>(data), "C:\\app.exe");
    EXPECT_EQ(sim.KeyQueryValue(key, "other", &type, data, &size), 2);
    sim.KeyClose(key);
}

TEST_F(SimPlatformTest, KeyWithSubKeysSurvivesOnNtButNotOn9x) {
    sim.SetRegistryText(kHkeyLocalMachine, "SYSTEM\\ControlSet001\\Services\\bad\\Enum", "0", "x");
    EXPECT_EQ(sim.KeyDelete(kHkeyLocalMachine, "SYSTEM\\ControlSet001\\Services\\bad"), 5);
    EXPECT_TRUE(sim.HasRegistryKey(kHkeyLocalMachine, "SYSTEM\\ControlSet001\\Services\\bad"));
    EXPECT_EQ(sim.KeyDelete(kHkeyLocalMachine, "SYSTEM\\ControlSet001\\Services\\BAD\\enum"), 0);
    EXPECT_EQ(sim.KeyDelete(kHkeyLocalMachine, "SYSTEM\\ControlSet001\\Services\\bad"), 0);
    EXPECT_FALSE(sim.HasRegistryKey(kHkeyLocalMachine, "SYSTEM\\ControlSet001\\Services\\bad"));
    EXPECT_EQ(sim.KeyDelete(kHkeyLocalMachine, "SYSTEM\\ControlSet001\\Services\\bad"), 2);

    sim.SetVersion(1, 4, 10);
    sim.SetRegistryText(kHkeyLocalMachine, "SYSTEM\\ControlSet002\\Services\\bad\\Enum", "0", "x");
    RegKey inside;
    ASSERT_EQ(sim.KeyOpen(kHkeyLocalMachine, "SYSTEM\\ControlSet002\\Services\\bad\\Enum", kKeyRead, &inside), 0);
    EXPECT_EQ(sim.KeyDelete(kHkeyLocalMachine, "SYSTEM\\ControlSet002\\Services\\bad"), 0);
    EXPECT_FALSE(sim.HasRegistryKey(kHkeyLocalMachine, "SYSTEM\\ControlSet002\\Services\\bad\\Enum"));
    uint32_t count;
    EXPECT_EQ(sim.KeyValueCount(inside, &count), 1018);  // ERROR_KEY_DELETED
    sim.KeyClose(inside);
}

TEST_F(SimPlatformTest, OnlyTheNtFamilyChecksRegistryAccess) {
    sim.SetRegistryText(kHkeyLocalMachine, kRun, "a", "x");
    sim.SetRegistryText(kHkeyLocalMachine, kRun, "b", "x");
    RegKey key;
    ASSERT_EQ(sim.KeyOpen(kHkeyLocalMachine, kRun, kKeyRead, &key), 0);
    EXPECT_EQ(sim.KeyDeleteValue(key, "a"), 5);
    sim.SetVersion(1, 4, 10);
    EXPECT_EQ(sim.KeyDeleteValue(key, "a"), 0);
    sim.KeyClose(key);
    EXPECT_EQ(sim.RegistryValueNames(kHkeyLocalMachine, kRun), (std::vector<std::string>{"b"}));
}

TEST_F(SimPlatformTest, RegistryTextGetsItsZeroOnlyForStringTypes) {
    sim.SetRegistryText(kHkeyLocalMachine, kRun, "Sz", "abc");
    sim.SetRegistryText(kHkeyLocalMachine, kRun, "Multi", "abc", kRegMultiSz);
    sim.SetRegistryText(kHkeyLocalMachine, kRun, "Bin", "abc", kRegBinary);
    RegKey key;
    ASSERT_EQ(sim.KeyOpen(kHkeyLocalMachine, kRun, kKeyRead, &key), 0);
    uint32_t size = 0;
    EXPECT_EQ(sim.KeyQueryValue(key, "Sz", nullptr, nullptr, &size), 0);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(sim.KeyQueryValue(key, "Multi", nullptr, nullptr, &size), 0);
    EXPECT_EQ(size, 5u);
    uint32_t type = 0;
    uint8_t data[8];
    size = sizeof data;
    EXPECT_EQ(sim.KeyQueryValue(key, "Bin", &type, data, &size), 0);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(type, kRegBinary);
    sim.KeyClose(key);
}

TEST_F(SimPlatformTest, CreatedKeysTakeValues) {
    RegKey key;
    ASSERT_EQ(sim.KeyCreate(kHkeyLocalMachine, "Software\\Test\\Deep", &key), 0);
    const uint8_t dword[4] = {1, 0, 0, 0};
    EXPECT_EQ(sim.KeySetValue(key, "Count", kRegDword, dword, 4), 0);
    EXPECT_EQ(sim.KeySetValue(key, "count", kRegDword, dword, 4), 0);  // same value, replaced
    sim.KeyClose(key);
    EXPECT_EQ(sim.RegistryValueNames(kHkeyLocalMachine, "software\\test\\deep"),
              (std::vector<std::string>{"Count"}));
}

TEST_F(SimPlatformTest, PerformanceDataNeverTellsItsSize) {
    std::vector<uint8_t> block(100, 0x5A);
    sim.SetPerformanceData(block);
    std::vector<uint8_t> buffer(40);
    uint32_t size = 40;
    EXPECT_EQ(sim.KeyQueryValue(kHkeyPerformanceData, "230", nullptr, buffer.data(), &size), 234);
    EXPECT_EQ(size, 40u);
    buffer.resize(size + 80);
    size = static_cast<uint32_t>(buffer.size());
    EXPECT_EQ(sim.KeyQueryValue(kHkeyPerformanceData, "230", nullptr, buffer.data(), &size), 0);
    EXPECT_EQ(size, 100u);
    EXPECT_EQ(buffer[99], 0x5A);
    EXPECT_EQ(sim.KeyClose(kHkeyPerformanceData), 0);
}

TEST_F(SimPlatformTest, PeekRunsScriptedActionsThenHandsOutTheQueue) {
    sim.QueueMessage(0x0200, 1, 2, 77);
    int ran = 0;
    sim.AtPeek(2, [&] {
        ++ran;
        sim.QueueEscape();
    });
    QueuedMessage message;
    ASSERT_TRUE(sim.PeekOneMessage(&message));
    EXPECT_EQ(message.message, 0x0200u);
    EXPECT_EQ(message.window, 77u);
    ASSERT_TRUE(sim.PeekOneMessage(&message));
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(message.message, kWmKeyDown);
    EXPECT_EQ(message.wParam, kVkEscape);
    EXPECT_FALSE(sim.PeekOneMessage(&message));
    EXPECT_EQ(sim.PeekCount(), 3);
    EXPECT_EQ(ran, 1);

    int seen = 0;
    sim.onDispatch = [&](const QueuedMessage& m) { seen = static_cast<int>(m.message); };
    sim.DispatchOne({1, 0x000F, 0, 0});
    EXPECT_EQ(seen, 0x000F);
    EXPECT_EQ(sim.dispatched.size(), 1u);
}

TEST_F(SimPlatformTest, NotificationsReachTheMainWindowOnly) {
    std::vector<std::string> arrived;
    sim.onLogLine = [&](const std::string& line) { arrived.push_back(line); };
    PostLogLine("%s     %s removed", "D:\\a.exe", "W32/Drovak.Trojan");
    PostStatusText("Scanning completed");
    EXPECT_EQ(sim.logLines, (std::vector<std::string>{"D:\\a.exe     W32/Drovak.Trojan removed"}));
    EXPECT_EQ(arrived, sim.logLines);
    EXPECT_EQ(sim.statusTexts, (std::vector<std::string>{"Scanning completed"}));
    Shared.MainWindowHandle = 0;
    PostLogLine("lost");
    EXPECT_EQ(sim.logLines.size(), 1u);
    EXPECT_TRUE(sim.sentToOthers.empty());
    sim.Notify(0x999, kNotifyLogLine, "elsewhere");
    EXPECT_EQ(sim.sentToOthers.size(), 1u);
}

TEST_F(SimPlatformTest, PromptsAnswerAsScripted) {
    sim.ScriptPrompt(kAnswerYes);
    int calls = 0;
    sim.onPrompt = [&](const SimPlatform::PromptRecord& record) {
        ++calls;
        EXPECT_EQ(record.caption, "Cordafix Ver 1.0");
    };
    EXPECT_EQ(ShowPrompt("Restart now?", kProgramCaption, 0x24), kAnswerYes);
    EXPECT_EQ(ShowPrompt("Again?", kProgramCaption, 0x24), kAnswerNo);
    EXPECT_EQ(calls, 2);
    ASSERT_EQ(sim.prompts.size(), 2u);
    EXPECT_EQ(sim.prompts[1].text, "Again?");
    EXPECT_EQ(sim.prompts[1].style, 0x24);
    sim.onPrompt = [&](const SimPlatform::PromptRecord&) { sim.ScriptPrompt(kAnswerCancel); };
    EXPECT_EQ(ShowPrompt("Decided by the hook?", kProgramCaption, 0x24), kAnswerCancel);
    EXPECT_EQ(sim.SystemMessageBox(0, "t", "c", 0x10), kAnswerOk);
    EXPECT_EQ(sim.messageBoxes.size(), 1u);
}

TEST_F(SimPlatformTest, PrivilegesAndRestartsAnswerAsScriptedAndTokensCloseOnce) {
    TokenHandle token;
    ASSERT_TRUE(sim.TokenOpenOwn(0x28, &token));
    EXPECT_EQ(sim.openHandles, 1);
    uint64_t luid = 0;
    ASSERT_TRUE(sim.PrivilegeLookup("SeShutdownPrivilege", &luid));
    EXPECT_TRUE(sim.PrivilegeEnable(token, luid));
    EXPECT_EQ(sim.LastError(), 0u);
    EXPECT_EQ(sim.privilegesEnabled, (std::vector<std::string>{"SeShutdownPrivilege"}));
    sim.privilegeError = kErrorNotAllAssigned;
    EXPECT_TRUE(sim.PrivilegeEnable(token, luid));
    EXPECT_EQ(sim.LastError(), 1300u);
    EXPECT_EQ(sim.privilegesEnabled.size(), 1u);
    EXPECT_TRUE(sim.HandleClose(token));
    EXPECT_FALSE(sim.HandleClose(token));
    EXPECT_EQ(sim.openHandles, 0);
    sim.tokenOpenFails = true;
    EXPECT_FALSE(sim.TokenOpenOwn(0x28, &token));

    EXPECT_TRUE(sim.RequestRestart(6, 0));
    sim.restartResult = false;
    EXPECT_FALSE(sim.RequestRestart(6, 0));
    EXPECT_EQ(sim.restartRequests, (std::vector<uint32_t>{6, 6}));
}

TEST_F(SimPlatformTest, VersionQueriesCanFailAndSleepsAdvanceTheClock) {
    OsVersion version;
    ASSERT_TRUE(sim.Version(&version));
    EXPECT_EQ(version.platformId, 2u);
    EXPECT_EQ(version.major, 5u);
    sim.FailVersion();
    EXPECT_FALSE(sim.Version(&version));
    EXPECT_EQ(GetPlatformFamily(), 0);
    sim.SetVersion(1, 4, 10);
    EXPECT_EQ(GetPlatformFamily(), 4);
    sim.SleepFor(100);
    sim.SleepFor(500);
    EXPECT_EQ(sim.nowMs, 600u);
    EXPECT_EQ(sim.sleeps, (std::vector<uint32_t>{100, 500}));
}


TEST_F(SimPlatformTest, OnlyTheNthCallOfTheKindFailsAndEveryCallIsCounted) {
    ASSERT_TRUE(sim.WriteFile("D:\\a.txt", "abc"));
    int before = sim.CallCount(FaultKind::Open);
    sim.FailNth(FaultKind::Open, 2);
    for (int i = 1; i <= 3; ++i) {
        int fd = sim.FileOpen("D:\\a.txt", kOpenReadOnly | kOpenBinary, 0);
        EXPECT_EQ(i == 2, fd < 0) << "open " << i;
        if (fd >= 0) {
            EXPECT_EQ(0, sim.FileClose(fd));
        }
    }
    EXPECT_EQ(before + 3, sim.CallCount(FaultKind::Open));
    EXPECT_EQ(2, sim.CallCount(FaultKind::Close));
    sim.FailNth(FaultKind::Delete, 1);
    EXPECT_FALSE(sim.DeletePath("D:\\a.txt"));
    EXPECT_EQ(kErrorAccessDenied, static_cast<int32_t>(sim.LastError()));
    EXPECT_TRUE(sim.DeletePath("D:\\a.txt"));
}

}  // namespace
