// cordafix-offline on volumes with real hives and with a hive whose latest
// change waits in its transaction log.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "offline/HiveTestSupport.h"
#include "offline/OfflineTestSupport.h"
#include "platform/offline/HiveLogs.h"

namespace fs = std::filesystem;

namespace {

const char kConfig[] = "Windows/System32/config/";
const char kRunKey[] = "Microsoft\\Windows\\CurrentVersion\\Run";

ScanOutcome Scan(const FakeVolume& volume, const std::string& report = "") {
    OfflineOptions options;
    options.volume = volume.Root();
    options.reportPath = report;
    return ScanInProcess(options);
}

// The backup beside the hive (<hive>.cordafix-<time>.bak<suffix>).
std::string BackupOf(const FakeVolume& volume, const char* hive, const std::string& suffix) {
    for (const auto& entry : fs::directory_iterator(volume.Host(kConfig))) {
        std::string name = entry.path().filename();
        if (name.rfind(std::string(hive) + ".cordafix-", 0) == 0 && name.size() > suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            return entry.path();
    }
    return "";
}

// Beside it, as SOFTWARE, a real Windows 10 hive not closed cleanly whose
// logs are missing: that one is not used, and the files are cleaned all the same.
TEST(RealHiveScan, ARealSystemHiveLosesTheSamplesServiceKeyAndNothingElse) {
    FakeVolume volume;
    HiveBytes dirty = RealHive("SYSTEM-win10-1709-dirty-nologs");
    ASSERT_TRUE(volume.WriteFile(std::string(kConfig) + "SYSTEM", RealHive("SYSTEM-clean")));
    ASSERT_TRUE(volume.WriteFile(std::string(kConfig) + "SOFTWARE", dirty));
    for (const char* key : {"ControlSet001\\Services\\abcd\\Enum", "ControlSet001\\Services\\abcd\\Security"})
        ASSERT_TRUE(volume.AddKey("SYSTEM", key));
    ASSERT_TRUE(volume.SetText("SYSTEM", "ControlSet001\\Services\\abcd", "ImagePath", "C:\\Windows\\abcd.exe"));
    ASSERT_TRUE(volume.WriteFile("Windows/abcd.exe", Sample(0)));
    HiveBytes original = ReadBytes(volume.HivePath("SYSTEM"));
    std::vector<std::string> expected = ListThroughHivex(original);
    auto ofTheService = [](std::string line) {  // this hive spells the key "services"
        std::transform(line.begin(), line.end(), line.begin(), ::tolower);
        return line.find("\\services\\abcd") != std::string::npos;
    };
    size_t lines = expected.size();
    expected.erase(std::remove_if(expected.begin(), expected.end(), ofTheService), expected.end());
    ASSERT_EQ(lines - 4, expected.size());  // three keys and a value

    ScanOutcome outcome = Scan(volume);
    EXPECT_EQ(kExitSomethingLeft, outcome.status) << outcome.out << outcome.err;
    EXPECT_NE(std::string::npos, outcome.out.find("SYSTEM (clean)")) << outcome.out;
    EXPECT_NE(std::string::npos, outcome.out.find("not closed cleanly, and no transaction log lies beside it)"));
    EXPECT_FALSE(volume.Exists("Windows/abcd.exe"));
    EXPECT_TRUE(ReadBytes(volume.HivePath("SOFTWARE")) == dirty);
    std::vector<std::string> now = ListThroughHivex(ReadBytes(volume.HivePath("SYSTEM")));
    EXPECT_GT(now.size(), 100000u);
    EXPECT_TRUE(now == expected) << "every key and value but the service key's stays as it was";
    EXPECT_TRUE(ReadBytes(BackupOf(volume, "SYSTEM", ".bak")) == original);
}

// SOFTWARE's hive file lacks its last change, a launching Run value, which
// its log (named in another case) still holds.
TEST(RealHiveScan, AChangeOnlyTheLogHoldsIsRecoveredRepairedAndNeverUndone) {
    FakeVolume volume;
    HiveBytes before = ReadBytes(volume.HivePath("SOFTWARE"));
    ASSERT_TRUE(volume.SetText("SOFTWARE", kRunKey, "tool", "C:\\Windows\\abcd.exe"));
    ASSERT_TRUE(volume.SetText("SOFTWARE", kRunKey, "other", "C:\\Tools\\other.exe"));
    HiveBytes after = ReadBytes(volume.HivePath("SOFTWARE"));
    HiveBytes primary = before;
    MakeDirty(&primary);
    uint32_t first = HiveRead32(primary.data(), kHiveSecondarySequence);
    HiveBytes log = LogHeader(after, kHiveTypeLogEntries, first);
    AppendLogEntry(&log, first, HiveRead32(after.data(), kHiveBinsSize), ChangedPages(before, after));
    ASSERT_TRUE(volume.WriteFile(std::string(kConfig) + "SOFTWARE", primary));
    ASSERT_TRUE(volume.WriteFile(std::string(kConfig) + "software.log1", log));
    ASSERT_TRUE(volume.WriteFile("Windows/abcd.exe", Sample(0)));

    ScanOutcome outcome = Scan(volume, volume.Root() + ".json");
    EXPECT_EQ(kExitAllRemoved, outcome.status) << outcome.out << outcome.err;
    EXPECT_NE(std::string::npos, outcome.out.find("(recovered from its transaction logs: 1 log entries from software.log1)"))
        << outcome.out;
    nlohmann::json report = nlohmann::json::parse(ReadBytes(volume.Root() + ".json"), nullptr, false);
    fs::remove(volume.Root() + ".json");
    EXPECT_EQ(nlohmann::json::parse(R"([{"name": "software.log1", "logEntries": 1}])"),
              report["hives"][0]["recovered"]["logs"]) << report["hives"];
    HiveBytes written = ReadBytes(volume.HivePath("SOFTWARE"));
    EXPECT_EQ("(none)", ValueOf(written, "\\Microsoft\\Windows\\CurrentVersion\\Run", "tool"));
    EXPECT_NE("(none)", ValueOf(written, "\\Microsoft\\Windows\\CurrentVersion\\Run", "other"));
    // Windows loading it with the log left beside it finds it closed cleanly and applies nothing.
    HiveRecovery reload = RecoverHive(written, {{HiveLogRole::kLog1, "software.log1", log}});
    EXPECT_EQ(HiveRecovery::kClean, reload.outcome);
    EXPECT_TRUE(reload.image == written);
    EXPECT_TRUE(ReadBytes(BackupOf(volume, "SOFTWARE", ".bak")) == primary);
    EXPECT_TRUE(ReadBytes(BackupOf(volume, "SOFTWARE", ".bak.log1")) == log);
}

}  // namespace
