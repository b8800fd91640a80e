// Drives, long paths, the version answer and privileges.
#include <cstring>
#include <string>

#include "contract/ContractTest.h"

namespace {

typedef ContractTest SystemContract;

TEST_F(SystemContract, TestDriveIsFixedAndUnusedLettersHaveNoRoot) {
    EXPECT_EQ(SysFiles().DriveType((env.Drive() + "\\").c_str()), kDriveFixed);
    // Z: is unmapped in every test set-up (Wine maps it to the host's root otherwise).
    EXPECT_EQ(SysFiles().DriveType("Z:\\"), kDriveNoRootDir);
}

TEST_F(SystemContract, ShortPathGivesShortComponentsAsStored) {
    env.MakeFolder(At("DOS"));
    env.WriteFile(At("DOS\\EDIT.COM"), "");
    std::string lower = At("dos\\edit.com");
    char buffer[260];
    EXPECT_EQ(SysFiles().ShortPath(lower.c_str(), buffer, sizeof buffer), lower.size());
    EXPECT_EQ(std::string(buffer), At("DOS\\EDIT.COM"));
}

TEST_F(SystemContract, VersionAnswersWithAKnownFamily) {
    OsVersion version;
    ASSERT_TRUE(SysSession().Version(&version));
    EXPECT_EQ(version.platformId == 2, env.IsNtFamily());
    EXPECT_TRUE(version.platformId == 1 || version.platformId == 2);
    EXPECT_GE(version.major, 4u);
}

TEST_F(SystemContract, ShutdownPrivilegeCanBeEnabled) {
    TokenHandle token = 0;
    ASSERT_TRUE(SysSession().TokenOpenOwn(0x28, &token));  // TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY
    uint64_t luid = 0;
    ASSERT_TRUE(SysSession().PrivilegeLookup("SeShutdownPrivilege", &luid));
    EXPECT_NE(luid, 0u);
    EXPECT_TRUE(SysSession().PrivilegeEnable(token, luid));
    EXPECT_EQ(SysSession().LastError(), 0u);
    EXPECT_TRUE(SysSession().HandleClose(token));
    EXPECT_FALSE(SysSession().PrivilegeLookup("SeNoSuchPrivilege", &luid));
}

TEST_F(SystemContract, PeekHandsOutPostedMessagesOnceInOrder) {
    const uint32_t kWmUser = 0x0400;
    QueuedMessage message;
    while (SysSession().PeekOneMessage(&message)) {
    }
    env.PostToThread(kWmUser + 1, 27, 5);
    env.PostToThread(kWmUser + 2, 0, 0);
    ASSERT_TRUE(SysSession().PeekOneMessage(&message));
    EXPECT_EQ(message.message, kWmUser + 1);
    EXPECT_EQ(message.wParam, 27u);
    EXPECT_EQ(message.lParam, 5);
    EXPECT_EQ(message.window, 0u);
    SysSession().DispatchOne(message);  // a thread message has no window to go to
    ASSERT_TRUE(SysSession().PeekOneMessage(&message));
    EXPECT_EQ(message.message, kWmUser + 2);
    EXPECT_FALSE(SysSession().PeekOneMessage(&message));
}

TEST_F(SystemContract, SendingToNoWindowDoesNothing) {
    EXPECT_EQ(SysSession().Notify(0, kNotifyLogLine, "line"), 0);
    EXPECT_EQ(SysSession().Notify(0, kNotifyStatusText, "status"), 0);
}

}  // namespace
