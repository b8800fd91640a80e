#include "repair/Restart.h"
#include "support/SimTest.h"

namespace {

const uint32_t kRebootForced = 0x6;

class RestartTest : public SimTest {};

TEST_F(RestartTest, NineXRestartsWithoutTouchingPrivileges) {
    sim.SetVersion(1, 4, 10);
    sim.tokenOpenFails = true;  // would stop an NT restart
    EXPECT_EQ(1, RestartMachine());
    EXPECT_EQ(std::vector<uint32_t>{kRebootForced}, sim.restartRequests);
    EXPECT_TRUE(sim.privilegesEnabled.empty());
}

TEST_F(RestartTest, NtEnablesTheShutdownPrivilegeFirst) {
    EXPECT_EQ(1, RestartMachine());
    EXPECT_EQ(std::vector<std::string>{"SeShutdownPrivilege"}, sim.privilegesEnabled);
    EXPECT_EQ(std::vector<uint32_t>{kRebootForced}, sim.restartRequests);
    EXPECT_EQ(0, sim.openHandles);
}

TEST_F(RestartTest, OtherPlatformsAndFailedQueriesTakeTheNtRoad) {
    sim.FailVersion();
    sim.privilegeError = kErrorNotAllAssigned;
    EXPECT_EQ(kErrorNotAllAssigned, RestartMachine());
    sim.SetVersion(0, 3, 1);
    EXPECT_EQ(kErrorNotAllAssigned, RestartMachine());
    EXPECT_TRUE(sim.restartRequests.empty());
}

TEST_F(RestartTest, MissingTokenOrPrivilegeStopsTheRestart) {
    sim.tokenOpenFails = true;
    EXPECT_EQ(0, RestartMachine());
    sim.tokenOpenFails = false;
    sim.privilegeError = kErrorNotAllAssigned;
    EXPECT_EQ(kErrorNotAllAssigned, RestartMachine());
    EXPECT_TRUE(sim.restartRequests.empty());
    EXPECT_EQ(0, sim.openHandles);
}

TEST_F(RestartTest, ARefusedRestartGivesZero) {
    sim.restartResult = false;
    EXPECT_EQ(0, RestartMachine());
    EXPECT_EQ(1u, sim.restartRequests.size());
}

}  // namespace
