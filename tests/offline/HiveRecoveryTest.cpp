// Hives brought up to date from their transaction logs: a real user hive
// with its two logs, and synthetic logs of both formats for the rules on
// which entries apply and where recovery stops.
#include <gtest/gtest.h>

#include "offline/HiveTestSupport.h"
#include "platform/offline/HiveLogs.h"
#include "platform/offline/HiveWalk.h"

namespace {

HiveBytes Bins(const HiveBytes& image) { return HiveBytes(image.begin() + kHiveBaseBlockSize, image.end()); }
uint32_t BinsSize(const HiveBytes& image) { return HiveRead32(image.data(), kHiveBinsSize); }

TEST(HiveRecoveryTest, RealUserHiveComesBackFromItsLogsAndTheLogsNeverApplyAgain) {
    HiveBytes primary = RealHive("NTUSER-dirty.DAT");
    std::vector<HiveLogFile> logs;
    for (const char* name : {"ntuser-dirty.dat.LOG1", "NTUSER-DIRTY.DAT.log2"})  // named without regard to case
        logs.push_back({HiveLogRoleOf("NTUSER-dirty.DAT", name), name, RealHive(std::string("NTUSER-dirty.DAT.LOG") + name[20])});
    ASSERT_FALSE(logs[1].bytes.empty());
    ASSERT_EQ(HiveLogRole::kLog1, logs[0].role);
    ASSERT_EQ(HiveLogRole::kLog2, logs[1].role);

    HiveRecovery recovery = RecoverHive(primary, logs);
    ASSERT_EQ(HiveRecovery::kRecovered, recovery.outcome) << recovery.problem;
    // Entries 566 to 588 of LOG1; LOG2 holds only entries the hive file has already.
    ASSERT_EQ(1u, recovery.logs.size());
    EXPECT_EQ("ntuser-dirty.dat.LOG1", recovery.logs[0].name);
    EXPECT_EQ(23u, recovery.Applied());
    EXPECT_EQ(0xE2000u, BinsSize(recovery.image));  // grown from 0xBE000
    std::string problem;
    EXPECT_TRUE(WalkHive(recovery.image, &problem)) << problem;
    const char metrics[] = "\\Control Panel\\Desktop\\WindowMetrics", oneDrive[] = "\\Software\\Microsoft\\OneDrive";
    EXPECT_EQ(std::string("\x60\0\0\0", 4), ValueOf(primary, metrics, "AppliedDPI"));
    EXPECT_EQ(std::string("\xC0\0\0\0", 4), ValueOf(recovery.image, metrics, "AppliedDPI"));
    EXPECT_EQ("(none)", ValueOf(primary, oneDrive, "StandaloneUpdaterSafeMode"));
    EXPECT_EQ(std::string(4, '\0'), ValueOf(recovery.image, oneDrive, "StandaloneUpdaterSafeMode"));

    // Written back closed cleanly and numbered above every entry: loading it
    // with the logs left behind changes nothing, not even once it is dirty again.
    HiveBytes written = recovery.image;
    SealHiveBaseBlock(&written, recovery.highestSequence + 1, 1);
    HiveRecovery again = RecoverHive(written, logs);
    EXPECT_EQ(HiveRecovery::kClean, again.outcome);
    EXPECT_TRUE(again.image == written);
    MakeDirty(&written);
    EXPECT_EQ(HiveRecovery::kUnusable, RecoverHive(written, logs).outcome);
}

// A small hive before and after a change that adds a key, a value and a
// second bin; the hive file holds "before" and is marked dirty.
class SyntheticLogs : public ::testing::Test {
protected:
    void SetUp() override {
        before = HiveMadeWith([](hive_h* hive) { return hivex_node_add_child(hive, hivex_root(hive), "Software") != 0; });
        SealHiveBaseBlock(&before, 1000, HiveRead64(before.data(), kHiveTimestamp));
        after = HiveMadeWith([](hive_h* hive) {
            std::string big(6000, 'x');
            hive_set_value value = {const_cast<char*>("Tool"), hive_t_REG_BINARY, big.size(), &big[0]};
            hive_node_h run = hivex_node_add_child(hive, hivex_root(hive), "Run");
            return run != 0 && hivex_node_set_value(hive, run, &value, 0) == 0;
        }, before);
        ASSERT_GT(after.size(), before.size());
        primary = before;
        MakeDirty(&primary);
        first = HiveRead32(primary.data(), kHiveSecondarySequence);
        pages = ChangedPages(before, after);
        ASSERT_GE(pages.size(), 2u);
    }
    HiveRecovery Recover(const HiveBytes& log1, const HiveBytes& log2 = HiveBytes()) {
        return RecoverHive(primary, {{HiveLogRole::kLog1, "H.LOG1", log1}, {HiveLogRole::kLog2, "H.LOG2", log2}});
    }
    std::vector<LogPage> Part(size_t from, size_t to) const { return {pages.begin() + from, pages.begin() + to}; }

    HiveBytes before, after, primary;
    uint32_t first;
    std::vector<LogPage> pages;
};

TEST_F(SyntheticLogs, EntriesApplyInSequenceFromTheLogWithTheEarlierOnes) {
    HiveBytes log1 = LogHeader(after, kHiveTypeLogEntries, first + 1), log2 = LogHeader(after, kHiveTypeLogEntries, first);
    AppendLogEntry(&log2, first, BinsSize(after), Part(0, 1));
    AppendLogEntry(&log1, first + 1, BinsSize(after), Part(1, pages.size()));
    AppendLogEntry(&log1, first - 7, BinsSize(after), Part(0, 1));  // left from an earlier use
    HiveRecovery recovery = Recover(log1, log2);
    ASSERT_EQ(HiveRecovery::kRecovered, recovery.outcome) << recovery.problem;
    ASSERT_EQ(2u, recovery.logs.size());
    EXPECT_EQ("H.LOG2", recovery.logs[0].name);
    EXPECT_EQ(2u, recovery.Applied());
    EXPECT_TRUE(Bins(recovery.image) == Bins(after));
    std::string problem;
    EXPECT_TRUE(WalkHive(recovery.image, &problem)) << problem;
}

TEST_F(SyntheticLogs, RecoveryStopsBeforeABadEntryOrAGap) {
    enum Defect { kBadHash, kGap, kPagePastTheEnd, kTruncated };
    for (Defect defect : {kBadHash, kGap, kPagePastTheEnd, kTruncated}) {
        HiveBytes log = LogHeader(after, kHiveTypeLogEntries, first);
        AppendLogEntry(&log, first, BinsSize(before), Part(0, 1));
        size_t second = log.size();
        AppendLogEntry(&log, defect == kGap ? first + 2 : first + 1,
                       defect == kPagePastTheEnd ? BinsSize(before) : BinsSize(after), Part(1, pages.size()));
        if (defect == kBadHash) log.back() ^= 1;
        if (defect == kTruncated) log.resize(second + 1024);
        HiveRecovery recovery = Recover(log);
        ASSERT_EQ(HiveRecovery::kRecovered, recovery.outcome) << defect;
        EXPECT_EQ(1u, recovery.Applied()) << defect;
        EXPECT_EQ(BinsSize(before), BinsSize(recovery.image)) << defect;
        EXPECT_EQ(defect == kGap, recovery.logs[0].stop.empty()) << defect;
    }
}

TEST_F(SyntheticLogs, ADamagedBaseBlockIsTakenFromTheLogWithTheLatestEntries) {
    HiveBytes stale = LogHeader(before, kHiveTypeLogEntries, first - 5), log = LogHeader(after, kHiveTypeLogEntries, first);
    AppendLogEntry(&log, first, BinsSize(after), pages);
    primary[kHiveRootCell] ^= 0x40;  // the checksum is now wrong
    HiveRecovery recovery = Recover(stale, log);
    ASSERT_EQ(HiveRecovery::kRecovered, recovery.outcome) << recovery.problem;
    EXPECT_EQ("H.LOG2", recovery.baseBlockFrom);
    EXPECT_EQ(HiveRead32(after.data(), kHiveRootCell), HiveRead32(recovery.image.data(), kHiveRootCell));
    EXPECT_TRUE(Bins(recovery.image) == Bins(after));
}

TEST_F(SyntheticLogs, OldFormatAppliesTheDirtyPagesOfALogOfTheSameWrite) {
    HiveBytes log = DirtyVectorLog(before, after);
    HiveRecovery recovery = Recover(HiveBytes(), log);
    ASSERT_EQ(HiveRecovery::kRecovered, recovery.outcome) << recovery.problem;
    EXPECT_FALSE(recovery.newFormat);
    EXPECT_EQ(pages.size() * 8, recovery.Applied());
    EXPECT_TRUE(Bins(recovery.image) == Bins(after));

    HiveBytes broken = log;  // the first dirty page damages its bin's header
    broken[broken.size() - pages.size() * kHiveBinAlignment] = 'X';
    EXPECT_EQ(0u, Recover(HiveBytes(), broken).Applied());

    log[kHiveTimestamp] ^= 1;  // written at another time than the hive file
    HiveWrite32(log.data(), kHiveChecksum, HiveHeaderChecksum(log.data()));
    HiveRecovery unrelated = Recover(HiveBytes(), log);
    EXPECT_EQ(HiveRecovery::kUnusable, unrelated.outcome);
    EXPECT_NE(std::string::npos, unrelated.problem.find("not closed cleanly")) << unrelated.problem;
}

}  // namespace
