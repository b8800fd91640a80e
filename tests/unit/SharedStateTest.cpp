// The platform helpers every subsystem branches on, and the bounded text helpers.
#include <cstring>

#include "support/SimTest.h"

class PlatformHelpersTest : public SimTest {};

TEST_F(PlatformHelpersTest, FamilyFollowsThePlatformId) {
    struct Case {
        uint32_t platformId, major;
        int family;
    } cases[] = {{0, 3, 1}, {1, 4, 4}, {2, 4, 5}, {2, 10, 5}, {3, 5, 1}};
    for (const Case& c : cases) {
        sim.SetVersion(c.platformId, c.major, 0);
        EXPECT_EQ(GetPlatformFamily(), c.family) << "platform id " << c.platformId;
    }
    sim.FailVersion();
    EXPECT_EQ(GetPlatformFamily(), 0);
}

TEST_F(PlatformHelpersTest, NtGenerationFollowsTheMajorVersion) {
    struct Case {
        uint32_t platformId, major;
        int generation;
    } cases[] = {{2, 3, 5}, {2, 4, 5}, {2, 5, 6}, {2, 6, 0}, {2, 10, 0}, {1, 4, 0}, {1, 5, 0}};
    for (const Case& c : cases) {
        sim.SetVersion(c.platformId, c.major, 1);
        EXPECT_EQ(GetNtGeneration(), c.generation)
            << "platform id " << c.platformId << " major " << c.major;
    }
    sim.FailVersion();
    EXPECT_EQ(GetNtGeneration(), 0);
}

TEST_F(PlatformHelpersTest, AScopedSeamPutsBackTheImplementationBeforeIt) {
    {
        SimPlatform inner;
        PlatformScope scope(inner.Parts());
        EXPECT_EQ(static_cast<Session*>(&inner), &SysSession());
    }
    EXPECT_EQ(static_cast<Session*>(&sim), &SysSession());
}

TEST_F(PlatformHelpersTest, NotificationsCarryTheirTextsToTheMainWindow) {
    PostLogLine("%s     %s removed", "D:\\a.exe", "W32/Drovak.Trojan");
    PostStatusText("Scanning completed");
    ASSERT_EQ(sim.logLines.size(), 1u);
    EXPECT_EQ(sim.logLines[0], "D:\\a.exe     W32/Drovak.Trojan removed");
    ASSERT_EQ(sim.statusTexts.size(), 1u);
    EXPECT_EQ(sim.statusTexts[0], "Scanning completed");
}

TEST_F(PlatformHelpersTest, LinesBeforeTheWindowIsKnownAreLost) {
    Shared.MainWindowHandle = 0;
    PostLogLine("lost");
    EXPECT_TRUE(sim.logLines.empty());
}

TEST_F(PlatformHelpersTest, OverlongLogLineIsBoundedToItsBuffer) {
    char path[700];
    memset(path, 'p', sizeof path - 1);
    path[sizeof path - 1] = '\0';
    PostLogLine("%s     %s removed", path, "W32/Drovak.Trojan");
    ASSERT_EQ(sim.logLines.size(), 1u);
    EXPECT_EQ(sim.logLines[0].size(), sizeof Shared.LogLine - 1);
}

TEST(TextHelpers, CopyAndAppendNeverCutShort) {
    char buffer[8] = "abc";
    EXPECT_TRUE(AppendText(buffer, sizeof buffer, "defg"));
    EXPECT_STREQ(buffer, "abcdefg");
    EXPECT_FALSE(AppendText(buffer, sizeof buffer, "h"));
    EXPECT_STREQ(buffer, "abcdefg");
    EXPECT_FALSE(CopyText(buffer, sizeof buffer, "12345678"));
    EXPECT_STREQ(buffer, "");
    EXPECT_TRUE(CopyText(buffer, sizeof buffer, "1234567"));
    EXPECT_STREQ(buffer, "1234567");
}
