// cordafix-offline on volumes made hostile on purpose: links, hard links and
// FIFOs where it reads and writes, hive records it cannot read, names no
// Windows path can hold, control characters, a hibernated Windows.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "offline/OfflineTestSupport.h"
#include "platform/offline/HiveImage.h"

namespace fs = std::filesystem;

namespace {

const char kRun[] = "Microsoft\\Windows\\CurrentVersion\\Run";
const char kSample[] = "Windows/System32/abcd.exe";

mode_t ModeOf(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0 ? info.st_mode : 0;
}

// The names a hive's backup would get in the next seconds.
std::vector<std::string> BackupNames(const char* hive) {
    std::vector<std::string> names;
    for (time_t second = time(nullptr); second < time(nullptr) + 6; ++second) {
        char stamp[32];
        struct tm local;
        localtime_r(&second, &local);
        strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
        names.push_back(std::string(hive) + ".cordafix-" + stamp + ".bak");
    }
    return names;
}

TEST(HostileVolume, PlantedLinksAndFifosNeverReachTheRescueSystem) {
    FakeVolume volume, outside;
    ASSERT_TRUE(outside.WriteFile("target", std::string("a file of the rescue system")));
    ASSERT_TRUE(outside.WriteFile("program.exe", Sample(3)));
    chmod(outside.Host("program.exe").c_str(), 0444);
    std::string target = outside.Host("target"), config = volume.Host("Windows/System32/config/");
    std::string relative = fs::relative(target, config).string();  // as ntfs-3g shows an NTFS link
    for (const std::string& name : BackupNames("SOFTWARE")) fs::create_symlink(relative, config + name);
    for (const std::string& name : BackupNames("SYSTEM")) fs::create_hard_link(target, config + name);
    fs::create_symlink(relative, config + "SOFTWARE.cordafix-new");
    fs::create_hard_link(target, config + "SYSTEM.cordafix-new");
    std::string report = volume.Host("r.json");
    fs::create_hard_link(target, report);
    ASSERT_EQ(0, mkfifo((report + ".new").c_str(), 0644));
    fs::create_directories(volume.Host("Windows/System32/drivers/etc"));
    ASSERT_EQ(0, mkfifo(volume.Host("Windows/System32/drivers/etc/hosts").c_str(), 0644));
    // An infected file whose second name lies outside, and one of its own.
    fs::create_hard_link(outside.Host("program.exe"), volume.Host("Windows/System32/linked.exe"));
    ASSERT_TRUE(volume.WriteFile(kSample, Sample(0)));
    ASSERT_TRUE(volume.SetText("SOFTWARE", kRun, "bare", "abcd.exe"));
    ASSERT_TRUE(volume.AddKey("SYSTEM", "ControlSet001\\Services\\abcd"));
    auto outsideBefore = outside.Hashes();

    ScanOutcome outcome = ScanWithProgram({"--report", report, volume.Root()});
    EXPECT_EQ(kExitSomethingLeft, outcome.status) << outcome.out << outcome.err;
    EXPECT_EQ(outsideBefore, outside.Hashes());
    EXPECT_EQ(0444u, ModeOf(outside.Host("program.exe")) & 07777) << "attributes of a shared file are not reset";
    EXPECT_NE(std::string::npos, outcome.err.find("further names (hard links)"));
    EXPECT_TRUE(volume.Exists("Windows/System32/linked.exe"));
    EXPECT_FALSE(volume.Exists(kSample));
    EXPECT_FALSE(volume.HasValue("SOFTWARE", kRun, "bare"));
    EXPECT_FALSE(volume.HasKey("SYSTEM", "ControlSet001\\Services\\abcd"));
    EXPECT_TRUE(S_ISREG(ModeOf(report)));
    EXPECT_TRUE(S_ISFIFO(ModeOf(report + ".new")));

    // A FIFO at a hive: the hive is not used, nothing waits on it.
    fs::remove(volume.HivePath("SYSTEM"));
    ASSERT_EQ(0, mkfifo(volume.HivePath("SYSTEM").c_str(), 0644));
    // Even with no file found: the hive's services and values went unchecked.
    EXPECT_EQ(kExitSomethingLeft, ScanWithProgram({volume.Root()}).status);
    ASSERT_TRUE(volume.WriteFile(kSample, Sample(0)));
    outcome = ScanWithProgram({volume.Root()});
    EXPECT_EQ(kExitSomethingLeft, outcome.status) << outcome.err;
    EXPECT_NE(std::string::npos, outcome.err.find("SYSTEM: not a regular file"));
    EXPECT_FALSE(volume.Exists(kSample));
}

TEST(HostileVolume, ADriveReachedThroughALinkIsRefused) {
    FakeVolume volume, outside;
    ASSERT_TRUE(outside.WriteFile("Apps/evil.exe", Sample(7)));
    fs::create_directory_symlink(outside.Root(), volume.Host("data"));
    for (const auto& arguments : {std::vector<std::string>{"--drive", "D=" + volume.Host("data"), volume.Root()},
                                  std::vector<std::string>{volume.Host("data")}}) {
        ScanOutcome outcome = ScanWithProgram(arguments);
        EXPECT_EQ(kExitCouldNotRun, outcome.status);
        EXPECT_NE(std::string::npos, outcome.err.find("is a symbolic link")) << outcome.err;
    }
    EXPECT_TRUE(outside.Exists("Apps/evil.exe"));
}

TEST(HostileVolume, ANewHiveKeepsItsOwnerAndModeButNoSetIdBits) {
    FakeVolume volume;
    ASSERT_TRUE(volume.WriteFile(kSample, Sample(0)));
    ASSERT_TRUE(volume.SetText("SOFTWARE", kRun, "bare", "abcd.exe"));
    std::string hive = volume.HivePath("SOFTWARE");
    if (chown(hive.c_str(), 4321, 4321) != 0) GTEST_SKIP() << "files cannot be given to another user here";
    chmod(hive.c_str(), 06777);
    ScanOutcome outcome = ScanWithProgram({volume.Root()});
    EXPECT_EQ(kExitAllRemoved, outcome.status) << outcome.err;
    struct stat info;
    ASSERT_EQ(0, stat(hive.c_str(), &info));
    EXPECT_FALSE(volume.HasValue("SOFTWARE", kRun, "bare"));
    EXPECT_EQ(4321u, info.st_uid);
    EXPECT_EQ(0777u, info.st_mode & 07777);
}

// Hive records that cannot be read: the files are cleaned, the hive (its
// structure damaged) is not used and left as it is, and the result says
// something was left.
TEST(HostileVolume, RegistryRecordsThatCannotBeReadAreNamedAndLeftWhole) {
    struct Damage {
        const char* name;
        std::function<bool(const std::string& hive)> apply;
        const char* message;
    };
    const Damage damages[] = {
        {"data offset out of range",
         [](const std::string& hive) { return PokeRecord(hive, "vk", "broken", kValueDataOffset, 0x7FFFFF00); },
         "damaged hive (a value whose data is no allocated cell"},
        {"value count 0xFFFFFFFF",
         [](const std::string& hive) { return PokeRecord(hive, "nk", "Run", kKeyValueCount, 0xFFFFFFFF); },
         "damaged hive (a key with more values than its value list holds"},
        {"one data cell for two values",
         [](const std::string& hive) {
             uint32_t shared = PeekRecord(hive, "vk", "launch", kValueDataOffset);
             return shared != 0 && PokeRecord(hive, "vk", "broken", kValueDataOffset, shared);
         },
         "damaged hive (a cell used twice"},
    };
    for (const Damage& damage : damages) {
        FakeVolume volume;
        ASSERT_TRUE(volume.WriteFile(kSample, Sample(0)));
        ASSERT_TRUE(volume.SetText("SOFTWARE", kRun, "launch", "C:\\Windows\\System32\\abcd.exe /quiet"));
        ASSERT_TRUE(volume.SetText("SOFTWARE", kRun, "broken", "C:\\Tools\\other program.exe"));
        ASSERT_TRUE(damage.apply(volume.HivePath("SOFTWARE"))) << damage.name;
        uint64_t damaged = HashFile(volume.HivePath("SOFTWARE"));
        std::string report = volume.Root() + ".json";
        ScanOutcome outcome = ScanWithProgram({"--report", report, volume.Root()});
        EXPECT_EQ(kExitSomethingLeft, outcome.status) << damage.name << outcome.err;
        EXPECT_NE(std::string::npos, outcome.err.find(damage.message)) << damage.name << ": " << outcome.err;
        EXPECT_EQ(damaged, HashFile(volume.HivePath("SOFTWARE"))) << damage.name;
        EXPECT_FALSE(volume.Exists(kSample)) << damage.name;
        std::ifstream stream(report);
        nlohmann::json json = nlohmann::json::parse(stream, nullptr, false);
        EXPECT_EQ("not used", json["hives"][0]["state"]) << damage.name << json["hives"];
        EXPECT_TRUE(json["registry"]["notWritten"].empty()) << damage.name << json["registry"];
        fs::remove(report);
    }
}

TEST(HostileVolume, WhatCannotBeCheckedIsNamedAndNamesAreShownEscaped) {
    FakeVolume volume;
    std::string deep = "Data";
    for (int level = 0; level < 5; ++level) deep += "/" + std::string(50, 'a' + level);
    ASSERT_TRUE(volume.WriteFile(deep + "/deep.exe", Sample(1)));
    ASSERT_TRUE(volume.WriteFile("Data/back\\slash.exe", Sample(2)));
    ASSERT_TRUE(volume.WriteFile("Data/x\x1b]0;owned\x07\n.exe", Sample(4)));
    std::string report = volume.Root() + ".json";
    ScanOutcome outcome = ScanWithProgram({"--report", report, volume.Root()});
    EXPECT_EQ(kExitSomethingLeft, outcome.status) << outcome.out << outcome.err;
    EXPECT_TRUE(volume.Exists(deep + "/deep.exe"));
    EXPECT_NE(std::string::npos, outcome.out.find("Not checked (a path of 260 bytes or more, or a backslash in a "
                                                  "name): C:\\Data\\aaaa"));
    EXPECT_NE(std::string::npos, outcome.out.find("C:\\Data\\back\\slash.exe"));
    EXPECT_NE(std::string::npos, outcome.out.find("C:\\Data\\x\\x1B]0;owned\\x07\\x0A.exe     W32/Drovak"));
    EXPECT_EQ(std::string::npos, outcome.out.find('\x1b'));
    std::ifstream stream(report);
    nlohmann::json json = nlohmann::json::parse(stream, nullptr, false);
    EXPECT_EQ(2u, json["notChecked"].size()) << json["notChecked"];
    EXPECT_EQ("C:\\Data\\x\x1b]0;owned\x07\n.exe", json["detections"][0]["path"]);
    fs::remove(report);
}

TEST(HostileVolume, AHibernatedWindowsIsNotWrittenTo) {
    FakeVolume volume;
    ASSERT_TRUE(volume.WriteFile(kSample, Sample(0)));
    ASSERT_TRUE(volume.WriteFile("HIBERFIL.SYS", std::string("HIBR\0\0\0\0", 8)));
    ScanOutcome refused = ScanWithProgram({volume.Root()});
    EXPECT_EQ(kExitCouldNotRun, refused.status);
    EXPECT_NE(std::string::npos, refused.err.find("holds a hibernated Windows session"));
    EXPECT_NE(std::string::npos, refused.err.find("Restart"));
    EXPECT_TRUE(volume.Exists(kSample));
    ScanOutcome dryRun = ScanWithProgram({"--dry-run", volume.Root()});
    EXPECT_EQ(kExitSomethingLeft, dryRun.status);
    EXPECT_NE(std::string::npos, dryRun.err.find("this dry run goes on"));
    ASSERT_TRUE(volume.WriteFile("HIBERFIL.SYS", std::string("wake\0\0\0\0", 8)));  // resumed since
    EXPECT_EQ(kExitAllRemoved, ScanWithProgram({volume.Root()}).status);
    EXPECT_FALSE(volume.Exists(kSample));
}

}  // namespace
