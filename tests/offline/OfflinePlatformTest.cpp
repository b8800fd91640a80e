// The offline platform's answers where the volume's system is not running.
#include <gtest/gtest.h>

#include <cstring>

#include "common/Shared.h"
#include "memory/ProcessChecks.h"
#include "offline/SilentOutput.h"
#include "platform/offline/OfflinePlatform.h"

namespace {

TEST(OfflinePlatformTest, NoProcessIsListedSoTheMemoryCheckFindsNothing) {
    SilentOutput output;
    OfflinePlatform platform(&output);
    PlatformScope seam(platform.Parts());
    ClearProcessState();
    EXPECT_EQ(0, CheckProcessesNt());
    EXPECT_EQ(0, Shared.MemoryRestartNeeded);
    EXPECT_EQ(0u, platform.processes.ServiceManagerOpen(kScManagerAllAccess));
}

TEST(OfflinePlatformTest, WideTextBecomesUtf8AndNeverOverrunsTheBuffer) {
    SilentOutput output;
    OfflinePlatform platform(&output);
    // "aé€" and a character beyond the first plane, as a surrogate pair.
    const uint16_t wide[] = {'a', 0x00E9, 0x20AC, 0xD83D, 0xDE00, 0};
    char buffer[16];
    memset(buffer, 0x7F, sizeof buffer);
    ASSERT_EQ(10, platform.session.WideToAnsi(wide, 5, buffer, sizeof buffer));
    EXPECT_EQ(0, memcmp(buffer, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", 10));
    EXPECT_EQ(11, platform.session.WideToAnsi(wide, -1, buffer, sizeof buffer));  // the zero too
    EXPECT_EQ(0, platform.session.WideToAnsi(wide, 5, buffer, 9));
    const uint16_t lone[] = {0xDC00};
    EXPECT_EQ(1, platform.session.WideToAnsi(lone, 1, buffer, sizeof buffer));
    EXPECT_EQ('?', buffer[0]);
}

}  // namespace
