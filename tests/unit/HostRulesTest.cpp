// The rules of Windows over this system's files (platform/host), which the
// simulated Windows and the offline drives share.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/host/TextCodes.h"
#include "platform/host/Win32Answers.h"
#include "platform/host/WindowsNames.h"

TEST(HostRules, WildcardsMatchAsFindFirstFileReadsThem) {
    EXPECT_TRUE(NameMatches(WildcardPattern("*.exe"), "EVIL.EXE"));
    EXPECT_TRUE(NameMatches(WildcardPattern("ev?l.*"), "evil"));  // "x*.*" takes names without a dot
    EXPECT_FALSE(NameMatches(WildcardPattern("ev?l.exe"), "evl.exe"));
    EXPECT_TRUE(NameMatches(WildcardPattern("[a].txt"), "[A].TXT"));  // brackets are plain
    EXPECT_FALSE(NameMatches(WildcardPattern("[a].txt"), "a.txt"));
    EXPECT_TRUE(EveryName("*.*") && HasWildcard("a?") && !HasWildcard("plain"));
}

TEST(HostRules, PathsNameTheirDriveAndPartsAsWindowsResolvesThem) {
    EXPECT_EQ(2, DriveIndexOf("c:\\x"));
    EXPECT_EQ(-1, DriveIndexOf("1:\\x"));
    EXPECT_EQ((std::vector<std::string>{"b", "c"}), PathParts("C:\\a\\..\\b\\.\\c\\"));
    EXPECT_EQ("/a", ParentOfHostPath("/a/b"));
    EXPECT_EQ("/", ParentOfHostPath("/a"));
    EXPECT_TRUE(SameTextIgnoringCase("Run", "RUN") && UpperCase("a\xE9") == "A\xE9");
}

TEST(HostRules, EnvironmentExpansionKeepsUnknownNamesAndCountsTheZero) {
    auto lookup = [](const std::string& name, std::string* value) {
        *value = "C:\\Windows";
        return name == "SYSTEMROOT";
    };
    const char source[] = "%SystemRoot%\\x %nope% %% 50%";
    const std::string expanded = "C:\\Windows\\x %nope% %% 50%";
    char buffer[64] = "old";
    EXPECT_EQ(expanded.size() + 1, ExpandEnvironmentAnswer(source, lookup, buffer, 10));
    EXPECT_STREQ("old", buffer);  // too small: untouched
    EXPECT_EQ(expanded.size() + 1, ExpandEnvironmentAnswer(source, lookup, buffer, sizeof buffer));
    EXPECT_EQ(expanded, buffer);
    EXPECT_EQ(5u, CopyOut("C:\\AB", buffer, 6));
    EXPECT_EQ(6u, CopyOut("C:\\AB", buffer, 5));  // the size needed, the zero counted
}

TEST(HostRules, RegistryAnswersTellTheSizeAndRefuseSmallBuffers) {
    char name[4];
    uint32_t nameLength = sizeof name;
    EXPECT_EQ(kErrorMoreData, AnswerValueName("Four", name, &nameLength));  // no room for the zero
    EXPECT_EQ(kErrorSuccess, AnswerValueName("Run", name, &nameLength));
    EXPECT_EQ(3u, nameLength);
    const uint8_t bytes[] = {1, 2, 3};
    uint8_t data[2];
    uint32_t size = sizeof data, type = 0;
    EXPECT_EQ(kErrorMoreData, AnswerValueData(bytes, 3, 4, &type, data, &size));
    EXPECT_EQ(3u, size);
    EXPECT_EQ(0u, type);
    size = 0;
    EXPECT_EQ(kErrorSuccess, AnswerValueData(bytes, 3, 4, &type, nullptr, &size));  // the size alone
    EXPECT_EQ(3u, size);
    EXPECT_EQ(4u, type);
}

TEST(HostRules, TextConvertsBetweenUtf16AndUtf8) {
    const uint16_t wide[] = {'a', 0x00E9, 0x20AC, 0xD83D, 0xDE00, 0xDC00, 0};
    EXPECT_EQ("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80?", Utf16ToUtf8(wide, 6));
    EXPECT_EQ(std::string("?", 1) + std::string(1, '\0'), Utf16ToUtf8(wide + 5, 2));
    std::string text = "\xE2\x82\xAC\xE2\x82";
    EXPECT_EQ(3u, Utf8SequenceLength(text, 0));
    EXPECT_EQ(0u, Utf8SequenceLength(text, 3));  // cut short
}

TEST(HostRules, SeeksStayWithinTheRuntimesRange) {
    EXPECT_EQ(15, SeekTarget(kSeekCur, 10, 5));
    EXPECT_EQ(-1, SeekTarget(kSeekSet, 0, -1));
    EXPECT_EQ(-1, SeekTarget(kSeekEnd, 0x7FFFFFFF, 1));
    EXPECT_EQ(-1, SeekTarget(7, 0, 0));
}
