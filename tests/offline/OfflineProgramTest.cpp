// The cordafix-offline program itself: its options, refusals and exit statuses.
#include <gtest/gtest.h>

#include <filesystem>

#include "offline/OfflineTestSupport.h"

namespace fs = std::filesystem;

namespace {

bool Says(const ScanOutcome& outcome, const char* text) {
    return outcome.out.find(text) != std::string::npos || outcome.err.find(text) != std::string::npos;
}

TEST(OfflineProgram, HelpVersionAndBadOptions) {
    ScanOutcome help = ScanWithProgram({"--help"});
    EXPECT_EQ(0, help.status);
    EXPECT_TRUE(Says(help, "--drive LETTER=PATH"));
    ScanOutcome version = ScanWithProgram({"--version"});
    EXPECT_EQ(0, version.status);
    EXPECT_TRUE(Says(version, "85 detection records"));
    FakeVolume volume;
    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{}, {"--drive", "C=/tmp", volume.Root()}, {"--drive", "D:/tmp", volume.Root()},
          {"--drive", "A=/tmp", volume.Root()}, {"--bogus", volume.Root()}, {volume.Root(), volume.Root()}}) {
        ScanOutcome outcome = ScanWithProgram(wrong);
        EXPECT_EQ(kExitCouldNotRun, outcome.status) << outcome.err;
        EXPECT_TRUE(Says(outcome, "Usage:")) << outcome.err;
    }
}

TEST(OfflineProgram, RefusesWhatIsNoWindowsSystemVolume) {
    ScanOutcome root = ScanWithProgram({"--force", "/"});
    EXPECT_EQ(kExitCouldNotRun, root.status);
    EXPECT_TRUE(Says(root, "the root of this system is never scanned"));

    FakeVolume plain;  // a folder with a sample but no Windows\System32\config
    fs::remove_all(plain.Host("Windows"));
    ASSERT_TRUE(plain.WriteFile("data/evil.exe", Sample(3)));
    ScanOutcome refused = ScanWithProgram({plain.Root()});
    EXPECT_EQ(kExitCouldNotRun, refused.status);
    EXPECT_TRUE(Says(refused, "has no Windows\\System32\\config folder"));
    EXPECT_TRUE(plain.Exists("data/evil.exe"));
    ScanOutcome forced = ScanWithProgram({"--force", plain.Root()});
    EXPECT_EQ(kExitAllRemoved, forced.status) << forced.out << forced.err;
    EXPECT_TRUE(Says(forced, "autostart values and services are not repaired"));
    EXPECT_FALSE(plain.Exists("data/evil.exe"));

    FakeVolume nineX;  // Windows 98: SYSTEM.DAT in the Windows folder, no config folder
    fs::remove_all(nineX.Host("Windows"));
    ASSERT_TRUE(nineX.WriteFile("WINDOWS/SYSTEM.DAT", std::string("CREG")));
    ASSERT_TRUE(nineX.WriteFile("WINDOWS/evil.exe", Sample(3)));
    ScanOutcome old = ScanWithProgram({"--force", nineX.Root()});
    EXPECT_EQ(kExitCouldNotRun, old.status);
    EXPECT_TRUE(Says(old, "Windows 95, 98 or Me"));
    EXPECT_TRUE(nineX.Exists("WINDOWS/evil.exe"));
}

TEST(OfflineProgram, FurtherDrivesAreScannedAndTheirAutostartValuesRemoved) {
    FakeVolume system("WINNT/system32/config");  // NT 4 and 2000 keep Windows in WINNT
    FakeVolume data;
    ASSERT_TRUE(data.WriteFile("Apps/evil.exe", Sample(7)));
    ASSERT_TRUE(data.WriteFile("Apps/other.exe", NearMiss(7)));
    ASSERT_TRUE(system.SetText("SOFTWARE", "Microsoft\\Windows\\CurrentVersion\\Run", "late", "d:\\apps\\EVIL.exe"));
    ScanOutcome outcome = ScanWithProgram({"--drive", "e=" + data.Root(), system.Root()});
    EXPECT_EQ(kExitAllRemoved, outcome.status) << outcome.out << outcome.err;
    EXPECT_TRUE(system.HasValue("SOFTWARE", "Microsoft\\Windows\\CurrentVersion\\Run", "late"))
        << "the value names D:, the file was found on E:";
    // The same file as D:, where the value points.
    ASSERT_TRUE(data.WriteFile("Apps/evil.exe", Sample(7)));
    outcome = ScanWithProgram({"--drive", "D=" + data.Root(), system.Root()});
    EXPECT_EQ(kExitAllRemoved, outcome.status) << outcome.out << outcome.err;
    EXPECT_FALSE(data.Exists("Apps/evil.exe"));
    EXPECT_TRUE(data.Exists("Apps/other.exe"));
    EXPECT_FALSE(system.HasValue("SOFTWARE", "Microsoft\\Windows\\CurrentVersion\\Run", "late"));
    EXPECT_TRUE(Says(outcome, "D:\\Apps\\evil.exe     W32/Drovak.Trojan removed"));
    EXPECT_TRUE(Says(outcome, "Windows folder C:\\WINNT"));
}

TEST(OfflineProgram, NothingFoundIsStatusZero) {
    FakeVolume volume;
    ASSERT_TRUE(volume.WriteFile("Windows/notepad.exe", NearMiss(1)));
    ScanOutcome outcome = ScanWithProgram({volume.Root()});
    EXPECT_EQ(kExitNothingFound, outcome.status) << outcome.err;
    EXPECT_TRUE(Says(outcome, "Total files infected\t\t:  0"));
}

}  // namespace
