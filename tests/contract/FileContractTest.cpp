// File-system answers the cleaner relies on, checked the same way against the
// simulated Windows and against the real calls (under Wine).
#include <cstring>
#include <string>
#include <vector>

#include "contract/ContractTest.h"

namespace {

typedef ContractTest FileContract;
typedef std::vector<std::string> Names;

FindEntry FindOne(const std::string& path) {
    FindEntry entry;
    memset(&entry, 0, sizeof entry);
    SearchHandle search = SysFiles().FindFirst(path.c_str(), &entry);
    EXPECT_NE(search, kNoSearch) << path;
    if (search != kNoSearch) SysFiles().FindEnd(search);
    return entry;
}

TEST_F(FileContract, FolderListingIsSortedWithDotEntriesFirst) {
    env.WriteFile(At("zeta.txt"), "1");
    env.WriteFile(At("Alpha.exe"), "22");
    env.WriteFile(At("beta"), "333");
    env.WriteFile(At("_under"), "");
    env.MakeFolder(At("Sub"));
    EXPECT_EQ(List(At("*.*")), (Names{".", "..", "Alpha.exe", "beta", "Sub", "zeta.txt", "_under"}));
    EXPECT_EQ(List(At("*")), List(At("*.*")));
    EXPECT_EQ(List(At("*.EXE")), (Names{"Alpha.exe"}));
    EXPECT_EQ(List(At("sub\\*.*")), (Names{".", ".."}));
}

TEST_F(FileContract, DriveRootHasNoDotEntries) {
    Names root = List(env.Drive() + "\\*.*");
    ASSERT_FALSE(root.empty());
    for (const std::string& name : root) {
        EXPECT_NE(name, ".");
        EXPECT_NE(name, "..");
    }
}

TEST_F(FileContract, FindWithoutWildcardGivesTheEntryAsStored) {
    env.WriteFile(At("Mixed Case.Exe"), std::string(1234, 'x'));
    env.MakeFolder(At("Program Files"));
    FindEntry file = FindOne(At("MIXED CASE.EXE"));
    EXPECT_STREQ(file.name, "Mixed Case.Exe");
    EXPECT_EQ(file.sizeLow, 1234u);
    EXPECT_EQ(file.sizeHigh, 0u);
    EXPECT_EQ(file.attributes & kAttrDirectory, 0u);
    FindEntry subfolder = FindOne(At("PROGRAM FILES"));
    EXPECT_STREQ(subfolder.name, "Program Files");
    EXPECT_NE(subfolder.attributes & kAttrDirectory, 0u);
    EXPECT_NE(SysFiles().GetAttributes(At("program files").c_str()), kInvalidAttributes);
}

TEST_F(FileContract, FailedSearchesTellWhy) {
    FindEntry entry;
    EXPECT_EQ(SysFiles().FindFirst(At("*.none").c_str(), &entry), kNoSearch);
    EXPECT_EQ(SysSession().LastError(), 2u);
    EXPECT_EQ(SysFiles().FindFirst(At("missing\\*.*").c_str(), &entry), kNoSearch);
    EXPECT_EQ(SysSession().LastError(), 3u);
    env.WriteFile(At("one.txt"), "");
    SearchHandle search = SysFiles().FindFirst(At("*.txt").c_str(), &entry);
    ASSERT_NE(search, kNoSearch);
    EXPECT_FALSE(SysFiles().FindNext(search, &entry));
    EXPECT_EQ(SysSession().LastError(), 18u);  // ERROR_NO_MORE_FILES
    SysFiles().FindEnd(search);
}

TEST_F(FileContract, AttributesRoundTrip) {
    std::string path = At("file.bin");
    env.WriteFile(path, "x");
    ASSERT_TRUE(SysFiles().SetAttributes(path.c_str(), kAttrReadOnly | kAttrHidden));
    EXPECT_EQ(SysFiles().GetAttributes(path.c_str()) & (kAttrReadOnly | kAttrHidden), kAttrReadOnly | kAttrHidden);
    EXPECT_EQ(FindOne(path).attributes & (kAttrReadOnly | kAttrHidden), kAttrReadOnly | kAttrHidden);
    ASSERT_TRUE(SysFiles().SetAttributes(path.c_str(), kAttrNormal));
    EXPECT_EQ(SysFiles().GetAttributes(path.c_str()) & (kAttrReadOnly | kAttrHidden), 0u);
    EXPECT_EQ(SysFiles().GetAttributes(At("none.bin").c_str()), kInvalidAttributes);
    EXPECT_EQ(SysSession().LastError(), 2u);
    EXPECT_FALSE(SysFiles().SetAttributes(At("none.bin").c_str(), kAttrNormal));
}

TEST_F(FileContract, NormalAttributeStandsForNoAttributes) {
    if (env.IsWine()) GTEST_SKIP() << "Wine reports every file as ARCHIVE (0x20)";
    std::string path = At("file.bin");
    env.WriteFile(path, "x");
    ASSERT_TRUE(SysFiles().SetAttributes(path.c_str(), kAttrNormal));
    EXPECT_EQ(SysFiles().GetAttributes(path.c_str()), kAttrNormal);
}

TEST_F(FileContract, DeleteRefusesReadOnlyFilesAndFolders) {
    std::string path = At("ro.exe");
    env.WriteFile(path, "x");
    SysFiles().SetAttributes(path.c_str(), kAttrReadOnly);
    EXPECT_FALSE(SysFiles().DeletePath(path.c_str()));
    EXPECT_EQ(SysSession().LastError(), 5u);
    EXPECT_TRUE(env.Exists(path));
    ASSERT_TRUE(SysFiles().SetAttributes(path.c_str(), kAttrArchive));
    EXPECT_TRUE(SysFiles().DeletePath(path.c_str()));
    EXPECT_FALSE(env.Exists(path));

    env.MakeFolder(At("Dir"));
    EXPECT_FALSE(SysFiles().DeletePath(At("Dir").c_str()));
    EXPECT_EQ(SysSession().LastError(), 5u);
    EXPECT_FALSE(SysFiles().DeletePath(At("none.exe").c_str()));
    EXPECT_EQ(SysSession().LastError(), 2u);
    EXPECT_FALSE(SysFiles().DeletePath(At("nodir\\none.exe").c_str()));
    EXPECT_EQ(SysSession().LastError(), 3u);
}

TEST_F(FileContract, FileHeldOpenCannotBeDeletedMovedOrWritten) {
    std::string path = At("busy.exe");
    env.WriteFile(path, "MZ");
    ASSERT_TRUE(env.HoldOpen(path));
    EXPECT_FALSE(SysFiles().DeletePath(path.c_str()));
    EXPECT_EQ(SysSession().LastError(), 32u);
    EXPECT_FALSE(SysFiles().MovePath(path.c_str(), At("moved.exe").c_str()));
    EXPECT_EQ(SysSession().LastError(), 32u);
    EXPECT_EQ(SysFiles().FileOpen(path.c_str(), kOpenWriteOnly | kOpenBinary, 0), -1);
    int reader = SysFiles().FileOpen(path.c_str(), kOpenReadOnly | kOpenBinary, 0);
    EXPECT_GE(reader, 0);  // a scan can still read a running program
    if (reader >= 0) SysFiles().FileClose(reader);
    env.Release();
    EXPECT_TRUE(SysFiles().DeletePath(path.c_str()));
}

TEST_F(FileContract, MoveKeepsAnExistingTargetUnlessAskedToReplace) {
    env.WriteFile(At("a.exe"), "A");
    env.WriteFile(At("b.exe"), "B");
    EXPECT_FALSE(SysFiles().MovePath(At("a.exe").c_str(), At("b.exe").c_str()));
    EXPECT_EQ(SysSession().LastError(), 183u);
    EXPECT_EQ(env.ReadFile(At("b.exe")), "B");
    EXPECT_TRUE(SysFiles().MovePathEx(At("a.exe").c_str(), At("B.EXE").c_str(), kMoveReplaceExisting));
    EXPECT_EQ(env.ReadFile(At("b.exe")), "A");
    EXPECT_FALSE(env.Exists(At("a.exe")));
    EXPECT_TRUE(SysFiles().MovePath(At("b.exe").c_str(), At("b.vir").c_str()));
    EXPECT_EQ(env.ReadFile(At("b.vir")), "A");
    EXPECT_FALSE(SysFiles().MovePath(At("gone.exe").c_str(), At("x.exe").c_str()));
    EXPECT_EQ(SysSession().LastError(), 2u);
}

TEST_F(FileContract, MoveOntoItselfSucceeds) {
    env.WriteFile(At("noext"), "x");
    EXPECT_TRUE(SysFiles().MovePath(At("noext").c_str(), At("noext").c_str()));
    EXPECT_TRUE(SysFiles().MovePath(At("noext").c_str(), At("NOEXT").c_str()));
    EXPECT_EQ(env.ReadFile(At("noext")), "x");
    EXPECT_EQ(List(At("*.*")).size(), 3u);
}

TEST_F(FileContract, MoveCanChangeTheCaseOfAName) {
    if (env.IsWine()) GTEST_SKIP() << "Wine keeps the stored case when a new name differs only in case";
    env.WriteFile(At("noext"), "x");
    EXPECT_TRUE(SysFiles().MovePath(At("noext").c_str(), At("NoExt").c_str()));
    EXPECT_EQ(List(At("*.*")), (Names{".", "..", "NoExt"}));
}

TEST_F(FileContract, DelayedDeleteIsAcceptedEvenForAMissingFile) {
    EXPECT_TRUE(SysFiles().MovePathEx(At("never there.exe").c_str(), nullptr, kMoveDelayUntilReboot));
}

TEST_F(FileContract, CopyHonoursFailIfExists) {
    env.WriteFile(At("wininit.ini"), "[rename]\r\n");
    env.WriteFile(At("copy.ini"), "old");
    EXPECT_FALSE(SysFiles().CopyPath(At("wininit.ini").c_str(), At("copy.ini").c_str(), true));
    EXPECT_EQ(SysSession().LastError(), 80u);
    EXPECT_EQ(env.ReadFile(At("copy.ini")), "old");
    EXPECT_TRUE(SysFiles().CopyPath(At("wininit.ini").c_str(), At("copy.ini").c_str(), false));
    EXPECT_EQ(env.ReadFile(At("copy.ini")), "[rename]\r\n");
    EXPECT_FALSE(SysFiles().CopyPath(At("none.ini").c_str(), At("c2.ini").c_str(), false));
    EXPECT_EQ(SysSession().LastError(), 2u);
}

TEST_F(FileContract, ShortPathsOfShortAndLongNames) {
    env.MakeFolder(At("DOS"));
    env.WriteFile(At("DOS\\EDIT.COM"), "");
    env.MakeFolder(At("Long Folder Name"));
    env.WriteFile(At("Long Folder Name\\LongFileName.exe"), "x");
    char buffer[260];
    std::string shortOne = At("DOS\\EDIT.COM");
    uint32_t length = SysFiles().ShortPath(shortOne.c_str(), buffer, sizeof buffer);
    EXPECT_EQ(length, shortOne.size());
    EXPECT_EQ(std::string(buffer), shortOne);

    std::string longOne = At("Long Folder Name\\LongFileName.exe");
    length = SysFiles().ShortPath(longOne.c_str(), buffer, sizeof buffer);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(length, strlen(buffer));
    std::string result = buffer;
    EXPECT_EQ(result.substr(0, folder.size() + 1), folder + "\\");
    EXPECT_EQ(result.substr(result.size() - 4), ".EXE");
    EXPECT_EQ(result.find(' '), std::string::npos);
    EXPECT_NE(SysFiles().GetAttributes(buffer), kInvalidAttributes);  // the short form names the same file

    char small[8] = "keep";
    EXPECT_EQ(SysFiles().ShortPath(longOne.c_str(), small, sizeof small), length + 1);
    EXPECT_EQ(SysFiles().ShortPath(At("DOS\\NONE.COM").c_str(), buffer, sizeof buffer), 0u);
    EXPECT_EQ(SysSession().LastError(), 2u);
}

TEST_F(FileContract, ShortNamesTakeTheFirstSixLettersAndATilde) {
    if (env.IsWine()) GTEST_SKIP() << "Wine gives hashed short names (LONG~QJR.EXE)";
    env.MakeFolder(At("Long Folder Name"));
    env.WriteFile(At("Long Folder Name\\LongFileName.exe"), "x");
    char buffer[260];
    ASSERT_GT(SysFiles().ShortPath(At("Long Folder Name\\LongFileName.exe").c_str(), buffer, sizeof buffer), 0u);
    EXPECT_EQ(std::string(buffer), At("LONGFO~1\\LONGFI~1.EXE"));
}

TEST_F(FileContract, SystemFoldersFollowTheBufferRule) {
    char buffer[260];
    uint32_t length = SysFiles().TempPath(buffer, sizeof buffer);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(length, strlen(buffer));
    EXPECT_EQ(buffer[length - 1], '\\');
    char small[2];
    EXPECT_EQ(SysFiles().TempPath(small, sizeof small), length + 1);
    length = SysFiles().WindowsDirectory(buffer, sizeof buffer);
    EXPECT_EQ(length, strlen(buffer));
    EXPECT_NE(buffer[length - 1], '\\');
    EXPECT_EQ(SysFiles().WindowsDirectory(small, sizeof small), length + 1);
    uint32_t systemLength = SysFiles().SystemDirectory(buffer, sizeof buffer);
    EXPECT_EQ(systemLength, strlen(buffer));
    EXPECT_GT(systemLength, length);
}

TEST_F(FileContract, EnvironmentExpansionLeavesUnknownNamesAndCountsTheZero) {
    env.SetVariable("CordafixDir", "D:\\Apps");
    char buffer[261];
    EXPECT_EQ(SysFiles().ExpandEnvironment("%cordafixdir%\\a.exe %CordafixNone%", buffer, sizeof buffer), 29u);
    EXPECT_STREQ(buffer, "D:\\Apps\\a.exe %CordafixNone%");
    EXPECT_EQ(SysFiles().ExpandEnvironment("plain", buffer, sizeof buffer), 6u);
    char small[4];
    EXPECT_GE(SysFiles().ExpandEnvironment("%CordafixDir%", small, sizeof small), 8u);
}

TEST_F(FileContract, DescriptorSeeksAndReads) {
    std::string path = At("data.bin");
    env.WriteFile(path, "0123456789");
    int fd = SysFiles().FileOpen(path.c_str(), kOpenReadOnly | kOpenBinary, 0);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(SysFiles().FileLength(fd), 10);
    EXPECT_EQ(SysFiles().FileSeek(fd, 4, kSeekSet), 4);
    char buffer[16] = {};
    EXPECT_EQ(SysFiles().FileRead(fd, buffer, 3), 3);
    EXPECT_STREQ(buffer, "456");
    EXPECT_EQ(SysFiles().FileSeek(fd, -8, kSeekCur), -1);
    EXPECT_EQ(SysFiles().FileSeek(fd, 0, kSeekCur), 7);
    EXPECT_EQ(SysFiles().FileSeek(fd, -1, kSeekSet), -1);
    EXPECT_EQ(SysFiles().FileSeek(fd, 5, kSeekEnd), 15);
    EXPECT_EQ(SysFiles().FileRead(fd, buffer, 4), 0);
    EXPECT_EQ(SysFiles().FileSeek(fd, 8, kSeekSet), 8);
    EXPECT_EQ(SysFiles().FileRead(fd, buffer, 10), 2);
    EXPECT_EQ(SysFiles().FileClose(fd), 0);
    EXPECT_EQ(SysFiles().FileOpen(At("none.bin").c_str(), kOpenReadOnly | kOpenBinary, 0), -1);
}

TEST_F(FileContract, DescriptorCreatesAppendsAndRespectsReadOnly) {
    std::string path = At("new.ini");
    int fd = SysFiles().FileOpen(path.c_str(), kOpenWriteOnly | kOpenCreate | kOpenAppend | kOpenBinary,
                            kPermRead | kPermWrite);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(SysFiles().FileWrite(fd, "[rename]\r\n", 10), 10);
    EXPECT_EQ(SysFiles().FileWrite(fd, "NUL=x\r\n", 7), 7);
    EXPECT_EQ(SysFiles().FileClose(fd), 0);
    EXPECT_EQ(env.ReadFile(path), "[rename]\r\nNUL=x\r\n");
    EXPECT_EQ(SysFiles().FileAccess(path.c_str(), 0), 0);
    EXPECT_EQ(SysFiles().FileAccess(At("none.ini").c_str(), 0), -1);

    // Without write permission the new file ends up read-only.
    std::string locked = At("ro.ini");
    fd = SysFiles().FileOpen(locked.c_str(), kOpenWriteOnly | kOpenCreate | kOpenBinary, kPermRead);
    ASSERT_GE(fd, 0);
    SysFiles().FileClose(fd);
    EXPECT_NE(SysFiles().GetAttributes(locked.c_str()) & kAttrReadOnly, 0u);
    EXPECT_EQ(SysFiles().FileAccess(locked.c_str(), 2), -1);
    SysFiles().SetAttributes(locked.c_str(), kAttrNormal);

    // Rewriting from the first byte: truncation leaves nothing of the old content.
    env.WriteFile(At("old.ini"), "a long old content");
    fd = SysFiles().FileOpen(At("old.ini").c_str(), kOpenWriteOnly | kOpenTruncate | kOpenBinary, 0);
    ASSERT_GE(fd, 0);
    SysFiles().FileWrite(fd, "new", 3);
    SysFiles().FileClose(fd);
    EXPECT_EQ(env.ReadFile(At("old.ini")), "new");
}

TEST_F(FileContract, ReadOnlyFileCannotBeOpenedForWriting) {
    if (env.IsWine()) GTEST_SKIP() << "Wine opens a read-only file for writing when the host lets it (READONLY is only the host's write bits, which root ignores)";
    std::string path = At("ro.ini");
    env.WriteFile(path, "x");
    ASSERT_TRUE(SysFiles().SetAttributes(path.c_str(), kAttrReadOnly));
    EXPECT_EQ(SysFiles().FileOpen(path.c_str(), kOpenWriteOnly | kOpenBinary, 0), -1);
    EXPECT_EQ(SysFiles().FileOpen(path.c_str(), kOpenReadWrite | kOpenBinary, 0), -1);
    int fd = SysFiles().FileOpen(path.c_str(), kOpenReadOnly | kOpenBinary, 0);
    EXPECT_GE(fd, 0);
    if (fd >= 0) SysFiles().FileClose(fd);
    SysFiles().SetAttributes(path.c_str(), kAttrNormal);
}

TEST_F(FileContract, DescriptorsWithoutBinaryTranslateLineEnds) {
    std::string path = At("text.ini");
    int fd = SysFiles().FileOpen(path.c_str(), kOpenWriteOnly | kOpenCreate, kPermRead | kPermWrite);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(SysFiles().FileWrite(fd, "[rename]\nNUL=x\n", 15), 15);
    SysFiles().FileClose(fd);
    EXPECT_EQ(env.ReadFile(path), "[rename]\r\nNUL=x\r\n");

    env.WriteFile(path, std::string("a\r\nb\rc\x1A" "after"));
    char buffer[32] = {};
    fd = SysFiles().FileOpen(path.c_str(), kOpenReadOnly, 0);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(SysFiles().FileRead(fd, buffer, sizeof buffer), 5);
    EXPECT_EQ(std::string(buffer, 5), "a\nb\rc");
    EXPECT_EQ(SysFiles().FileRead(fd, buffer, sizeof buffer), 0);  // Ctrl-Z ends a text-mode file
    SysFiles().FileClose(fd);
    fd = SysFiles().FileOpen(path.c_str(), kOpenReadOnly | kOpenBinary, 0);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(SysFiles().FileRead(fd, buffer, sizeof buffer), 12);
    SysFiles().FileClose(fd);

    // CR LF is joined across reads of one byte.
    env.WriteFile(path, "a\r\nb\r\r\n");
    fd = SysFiles().FileOpen(path.c_str(), kOpenReadOnly, 0);
    ASSERT_GE(fd, 0);
    std::string text;
    char c;
    while (SysFiles().FileRead(fd, &c, 1) == 1) text += c;
    EXPECT_EQ(text, "a\nb\r\n");
    EXPECT_EQ(SysFiles().FileSeek(fd, 0, kSeekCur), 7);
    SysFiles().FileClose(fd);
}

TEST_F(FileContract, BinaryReadsKeepEveryByte) {
    using namespace std::string_literals;
    const std::string bytes = "[rename]\r\nk=v\x1A\r\nab\0cd\r\r\n\x1Alast\r"s;
    std::string path = At("w.ini");
    env.WriteFile(path, bytes);
    int fd = SysFiles().FileOpen(path.c_str(), kOpenReadOnly | kOpenBinary, 0);
    ASSERT_GE(fd, 0);
    char buffer[64];
    int got = SysFiles().FileRead(fd, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, got > 0 ? got : 0), bytes);
    EXPECT_EQ(SysFiles().FileRead(fd, buffer, sizeof buffer), 0);
    SysFiles().FileClose(fd);
}

// Entries made on the host, where names and links are possible that no
// Windows call makes: the runner leaves them in a folder of the test drive.
TEST_F(FileContract, HostLinkedFoldersAreReparsePoints) {
    std::string made = env.HostMadeFolder();
    if (made.empty()) GTEST_SKIP() << "no host-made entries on this drive";
    EXPECT_EQ(FindOne(made + "\\sublink").attributes & (kAttrDirectory | kAttrReparsePoint),
              kAttrDirectory | kAttrReparsePoint);
    EXPECT_EQ(FindOne(made + "\\sub").attributes & kAttrReparsePoint, 0u);
}

TEST_F(FileContract, NamesTheCallsCannotOpenHaveShortNamesThatDo) {
    std::string made = env.HostMadeFolder();
    if (made.empty()) GTEST_SKIP() << "no host-made entries on this drive";
    Names names = List(made + "\\*.*");
    ASSERT_EQ(names, (Names{".", "..", "a?b.exe", "Long Name.exe", "plain.exe", "sub", "sublink", "trail.exe."}));
    for (const char* name : {"a?b.exe", "trail.exe."}) {
        FindEntry entry;
        SearchHandle search = SysFiles().FindFirst((made + "\\*.*").c_str(), &entry);
        ASSERT_NE(search, kNoSearch);
        while (strcmp(entry.name, name) != 0 && SysFiles().FindNext(search, &entry)) {}
        SysFiles().FindEnd(search);
        ASSERT_STREQ(entry.name, name);
        EXPECT_EQ(SysFiles().FileOpen((made + "\\" + name).c_str(), kOpenReadOnly | kOpenBinary, 0), -1) << name;
        ASSERT_NE(entry.shortName[0], '\0') << name;
        EXPECT_LE(strlen(entry.shortName), 12u);
        EXPECT_EQ(env.ReadFile(made + "\\" + entry.shortName), name) << entry.shortName;
    }
    // A legal 8.3 name has no other; a long one that opens has one too.
    FindEntry plain = FindOne(made + "\\plain.exe");
    EXPECT_STREQ(plain.shortName, "");
    EXPECT_NE(FindOne(made + "\\Long Name.exe").shortName[0], '\0');
}

}  // namespace
