// cordafix-offline on fake Windows volumes: what the rules remove is gone,
// every other file and registry entry is as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <nlohmann/json.hpp>

#include "offline/NtfsTestImage.h"
#include "offline/OfflineTestSupport.h"
#include "platform/ntfs/NtfsVolume.h"
#include "platform/offline/OfflinePlatform.h"

namespace fs = std::filesystem;

namespace {

const char kRun[] = "MICROSOFT\\Windows\\CurrentVersion\\RUN";  // in another case than the program asks for
const char kRunServices[] = "Microsoft\\Windows\\CurrentVersion\\RunServices";
const char kSoftware[] = "SOFTWARE";
const char kSystem[] = "SYSTEM";
const char kAbcd[] = "WINDOWS/system32/abcd.exe";
const char kEvil[] = "Program Files/Tool/Evil.exe";
const char kHosts[] = "WINDOWS/system32/drivers/etc/hosts";

// A volume whose folders differ in case from the registry's paths, with two
// infected programs (one in the system folder), near misses, an encoded
// hosts file, autostart values in their several forms and service keys.
class InfectedVolume : public ::testing::Test {
protected:
    InfectedVolume() : volume("WINDOWS/system32/CONFIG") {}

    void SetUp() override {
        ASSERT_TRUE(volume.WriteFile(kAbcd, Sample(0)));
        ASSERT_TRUE(volume.WriteFile("WINDOWS/system32/abcd2.exe", NearMiss(0)));
        ASSERT_TRUE(volume.WriteFile(kEvil, Sample(42)));
        ASSERT_TRUE(volume.WriteFile("Program Files/Tool/evil2.exe", NearMiss(42)));
        ASSERT_TRUE(volume.WriteFile("Documents/readme.txt", samplegen::PlainFile(5000, 7)));
        ASSERT_TRUE(volume.WriteFile(kHosts, EncodedHosts()));

        ASSERT_TRUE(volume.SetText(kSoftware, kRun, "bare", "abcd.exe"));
        ASSERT_TRUE(volume.SetText(kSoftware, kRun, "quoted", "\"C:\\Program Files\\Tool\\evil.exe\" /autorun"));
        ASSERT_TRUE(volume.SetText(kSoftware, kRun, "expanded", "%SystemRoot%\\SYSTEM32\\abcd.exe", 2));
        ASSERT_TRUE(volume.SetText(kSoftware, kRun, "machineVariable", "%ToolDir%\\EVIL.EXE", 2));
        ASSERT_TRUE(volume.SetText(kSoftware, kRun, "argument", "C:\\Windows\\notepad.exe C:\\WINDOWS\\system32\\abcd.exe"));
        ASSERT_TRUE(volume.SetText(kSoftware, kRun, "unrelated", "C:\\Tools\\good.exe"));
        ASSERT_TRUE(volume.SetText(kSoftware, kRunServices, "svc", "C:\\windows\\SYSTEM32\\ABCD.EXE -service"));
        ASSERT_TRUE(volume.SetText(kSoftware, kRunServices, "other", "C:\\Tools\\svc.exe"));

        ASSERT_TRUE(volume.SetDword(kSystem, "Select", "Current", 1));
        ASSERT_TRUE(volume.SetText(kSystem, "ControlSet001\\Control\\Session Manager\\Environment", "ToolDir",
                                   "C:\\Program Files\\Tool"));
        for (const char* key : {"ControlSet001\\Services\\abcd\\Enum", "ControlSet001\\Services\\abcd\\Security",
                                "ControlSet002\\Services\\ABCD\\Enum", "ControlSet002\\Services\\ABCD\\Security",
                                "ControlSet002\\Services\\ABCD\\Parameters", "ControlSet001\\Services\\evil",
                                "ControlSet001\\Services\\Keep\\Enum"})
            ASSERT_TRUE(volume.AddKey(kSystem, key));
        before = volume.Hashes();
    }

    OfflineOptions Options(bool dryRun, const std::string& report = "") {
        OfflineOptions options;
        options.volume = volume.Root();
        options.dryRun = dryRun;
        options.reportPath = report;
        return options;
    }

    // Files added or changed since SetUp, and files gone.
    std::vector<std::string> Changed() const {
        std::vector<std::string> changed;
        auto now = volume.Hashes();
        for (const auto& file : before)
            if (!now.count(file.first) || now[file.first] != file.second) changed.push_back(file.first);
        for (const auto& file : now)
            if (!before.count(file.first)) changed.push_back("+" + file.first);
        return changed;
    }

    FakeVolume volume;
    std::map<std::string, uint64_t> before;
};

// What a run tells of what it found and did, without the lines that name
// where the volume is.
std::vector<std::string> ResultLines(const std::string& output) {
    std::vector<std::string> lines;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);)
        for (const char* start : {"C:\\", "System Registry", "Registry value", "Registry key", "Total files", "Result:"})
            if (line.rfind(start, 0) == 0) lines.push_back(line);
    return lines;
}

// Every file by its hash, the kept originals of the hives left out (their
// names hold the time).
std::map<std::string, uint64_t> FilesBesideBackups(const std::string& root) {
    std::map<std::string, uint64_t> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file() && entry.path().filename().string().find(".cordafix-") == std::string::npos)
            files[fs::relative(entry.path(), root).string()] = HashFile(entry.path().string());
    return files;
}

// The same volume as an NTFS image read through the library: the same
// files and registry entries go as from the folder, and the image is whole.
TEST_F(InfectedVolume, AnNtfsImageOfTheVolumeLosesTheSame) {
    NtfsTestImage image;
    if (!image.Problem().empty()) GTEST_SKIP() << image.Problem();
    NtfsVolume ntfs;
    std::string error;
    ASSERT_TRUE(ntfs.Open(image.Path(), 0, true, &error)) << error;
    ASSERT_TRUE(NtfsCopyIn(ntfs.Handle(), volume.Root()));
    ASSERT_TRUE(ntfs.Close(&error)) << error;

    ScanOutcome onImage = ScanWithProgram({image.Path()});
    ScanOutcome onFolder = ScanWithProgram({volume.Root()});
    EXPECT_EQ(kExitAllRemoved, onImage.status) << onImage.out << onImage.err;
    EXPECT_EQ(ResultLines(onFolder.out), ResultLines(onImage.out));
    std::string kept = "Original hive kept as " + image.Path() + ":/WINDOWS/system32/config/SOFTWARE.cordafix-";
    EXPECT_NE(std::string::npos, onImage.out.find(kept));

    std::string left = image.Folder() + "/left";
    ASSERT_TRUE(ntfs.Open(image.Path(), 0, false, &error)) << error;
    ASSERT_TRUE(NtfsCopyOut(ntfs.Handle(), left));
    ntfs.Close(&error);
    EXPECT_EQ(FilesBesideBackups(volume.Root()), FilesBesideBackups(left));
    std::set<uint64_t> backups;
    for (const auto& entry : fs::directory_iterator(left + "/WINDOWS/system32/CONFIG"))
        if (entry.path().extension() == ".bak") backups.insert(HashFile(entry.path().string()));
    EXPECT_EQ((std::set<uint64_t>{before["WINDOWS/system32/CONFIG/SOFTWARE"], before["WINDOWS/system32/CONFIG/SYSTEM"]}),
              backups);
    EXPECT_TRUE(system(("ntfsfix -n " + image.Path() + " 2>&1 | grep -q 'processed successfully'").c_str()) == 0);
}

TEST_F(InfectedVolume, RemovesWhatTheRulesRemoveAndNothingElse) {
    std::string report = volume.Root() + ".json";
    ScanOutcome outcome = ScanInProcess(Options(false, report));
    EXPECT_EQ(kExitAllRemoved, outcome.status) << outcome.out << outcome.err;

    // Files: the two samples and the hosts file are gone; the hives were
    // replaced and each original kept beside it; nothing else changed.
    std::vector<std::string> changed = Changed();
    std::string config = "WINDOWS/system32/CONFIG/";
    std::vector<std::string> expected = {kEvil, config + "SOFTWARE", config + "SYSTEM", kAbcd, kHosts};
    std::vector<std::string> backups;
    for (const std::string& file : changed)
        if (file[0] == '+') backups.push_back(file.substr(1));
    changed.resize(changed.size() - backups.size());
    std::sort(changed.begin(), changed.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, changed);
    ASSERT_EQ(2u, backups.size());
    for (const std::string& backup : backups) {
        std::string hive = backup.substr(0, backup.find(".cordafix-"));
        EXPECT_EQ(before[hive], HashFile(volume.Host(backup))) << backup << " keeps the original " << hive;
    }

    // Registry: the values that launch the samples, by the program's rules.
    for (const char* gone : {"bare", "quoted", "expanded", "machineVariable"})
        EXPECT_FALSE(volume.HasValue(kSoftware, kRun, gone)) << gone;
    for (const char* kept : {"argument", "unrelated"}) EXPECT_TRUE(volume.HasValue(kSoftware, kRun, kept)) << kept;
    EXPECT_FALSE(volume.HasValue(kSoftware, kRunServices, "svc"));
    EXPECT_TRUE(volume.HasValue(kSoftware, kRunServices, "other"));
    // Services named after the files: single keys, Enum and Security first.
    EXPECT_FALSE(volume.HasKey(kSystem, "ControlSet001\\Services\\abcd"));
    EXPECT_FALSE(volume.HasKey(kSystem, "ControlSet002\\Services\\abcd\\Enum"));
    EXPECT_TRUE(volume.HasKey(kSystem, "ControlSet002\\Services\\abcd\\Parameters"));
    EXPECT_FALSE(volume.HasKey(kSystem, "ControlSet001\\Services\\evil"));
    EXPECT_TRUE(volume.HasKey(kSystem, "ControlSet001\\Services\\Keep\\Enum"));
    EXPECT_TRUE(volume.HasKey(kSystem, "Select"));

    // The program's own lines, then the statistics block.
    EXPECT_NE(std::string::npos, outcome.out.find("C:\\WINDOWS\\system32\\abcd.exe     W32/Drovak.Trojan removed"));
    EXPECT_NE(std::string::npos, outcome.out.find("System Registry     W32/Drovak.Trojan removed"));
    EXPECT_NE(std::string::npos, outcome.out.find("Total files infected\t\t:  3"));
    EXPECT_EQ(std::string::npos, outcome.err.find("Scanned")) << "no progress line where there is no terminal";

    std::ifstream stream(report);
    nlohmann::json json = nlohmann::json::parse(stream, nullptr, false);
    ASSERT_FALSE(json.is_discarded());
    EXPECT_EQ(3u, json["detections"].size());
    for (const auto& detection : json["detections"]) EXPECT_EQ("removed", detection["result"]) << detection;
    EXPECT_EQ(5u, json["registry"]["removedValues"].size());
    EXPECT_EQ(6u, json["registry"]["removedKeys"].size());
    EXPECT_EQ(0u, json["registry"]["notWritten"].size());
    EXPECT_EQ(3, json["counters"]["filesRemoved"]);
    EXPECT_EQ(85, json["signatureRecords"]);
    EXPECT_EQ(kExitAllRemoved, json["exitStatus"]);
    fs::remove(report);
}

TEST_F(InfectedVolume, DryRunChangesNothingAndTellsWhatItWouldDo) {
    std::string report = volume.Root() + ".json";
    ScanOutcome outcome = ScanInProcess(Options(true, report));
    EXPECT_EQ(kExitSomethingLeft, outcome.status);
    EXPECT_TRUE(Changed().empty());
    EXPECT_NE(std::string::npos, outcome.out.find("Dry run"));
    EXPECT_NE(std::string::npos, outcome.out.find("Registry key would be removed: HKLM\\SYSTEM\\ControlSet001\\Services\\abcd"));
    std::ifstream stream(report);
    nlohmann::json json = nlohmann::json::parse(stream, nullptr, false);
    EXPECT_EQ(3u, json["detections"].size());
    EXPECT_EQ(5u, json["registry"]["wouldRemoveValues"].size());
    EXPECT_EQ(0, json["counters"]["filesRemoved"]);
    fs::remove(report);
}

// chattr +i: not even root may add a file to the folder.
bool Freeze(const std::string& folder, bool frozen) {
    return system(((frozen ? "chattr +i '" : "chattr -i '") + folder + "' 2>/dev/null").c_str()) == 0;
}

TEST_F(InfectedVolume, AHiveThatCannotBeWrittenIsLeftWhole) {
    std::string config = volume.Host("WINDOWS/system32/CONFIG");
    if (!Freeze(config, true)) GTEST_SKIP() << "this file system cannot make a folder unchangeable (chattr +i)";
    // Before the scan: the hives are not used, the files are cleaned all the same.
    ScanOutcome refused = ScanInProcess(Options(false));
    Freeze(config, false);
    EXPECT_EQ(kExitSomethingLeft, refused.status) << refused.err;
    EXPECT_NE(std::string::npos, refused.err.find("registry hive SOFTWARE not used: cannot make a file in"));
    EXPECT_NE(std::string::npos, refused.out.find("Registry hive SYSTEM: " + config + "/SYSTEM (not used: "));
    EXPECT_FALSE(volume.Exists(kAbcd));
    for (const char* hive : {kSoftware, kSystem})
        EXPECT_EQ(before[std::string("WINDOWS/system32/CONFIG/") + hive], HashFile(volume.HivePath(hive)));
    EXPECT_EQ(std::string::npos, refused.out.find("System Registry")) << "no removal reported that did not happen";

    // During the scan: the values stay, the files go, the hive is as it was.
    ASSERT_TRUE(volume.WriteFile(kEvil, Sample(42)));
    ScanOutcome outcome = ScanInProcess(Options(false), [&](OfflinePlatform&) { Freeze(config, true); });
    Freeze(config, false);
    EXPECT_EQ(kExitSomethingLeft, outcome.status);
    EXPECT_NE(std::string::npos, outcome.err.find("not written: HKLM\\SOFTWARE"));
    EXPECT_EQ(before[std::string("WINDOWS/system32/CONFIG/") + kSoftware],
              HashFile(volume.HivePath(kSoftware)));
    EXPECT_TRUE(volume.HasValue(kSoftware, kRun, "quoted"));
    EXPECT_FALSE(volume.Exists(kEvil));
    EXPECT_EQ(std::string::npos, outcome.out.find("System Registry")) << "no removal reported that did not happen";
}

TEST_F(InfectedVolume, AVolumeThatVanishesMidScanStopsTheScanWithNothingChanged) {
    std::string moved = volume.Root() + ".moved";
    bool gone = false;
    ScanOutcome outcome = ScanInProcess(Options(false), [&](OfflinePlatform& platform) {
        platform.files.onFindEntry = [&](const char*, const FindEntry&) {
            if (!gone) gone = rename(volume.Root().c_str(), moved.c_str()) == 0;
        };
    });
    ASSERT_TRUE(gone);
    ASSERT_EQ(0, rename(moved.c_str(), volume.Root().c_str()));
    EXPECT_EQ(kExitCouldNotRun, outcome.status);
    EXPECT_NE(std::string::npos, outcome.err.find("vanished during the scan"));
    EXPECT_TRUE(Changed().empty());
}

// Damage that makes a hive unusable: the hive is left as it is, everything
// else is cleaned, and the run ends with "something left".
struct HiveDamage {
    const char* name;
    std::function<void(std::fstream&)> apply;
    const char* message;
};

void Poke(std::fstream& file, std::streamoff at, const std::string& bytes) {
    file.seekp(at);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Sequence numbers that differ: the newest changes are still in the logs.
void MarkNotClosedCleanly(std::fstream& file) {
    std::vector<uint8_t> block(4096);
    file.read(reinterpret_cast<char*>(block.data()), 4096);
    block[8] ^= 1;
    uint32_t sum = HiveHeaderChecksum(block.data());
    for (int i = 0; i < 4; ++i) block[0x1FC + i] = static_cast<uint8_t>(sum >> (8 * i));
    file.seekp(0);
    file.write(reinterpret_cast<const char*>(block.data()), 4096);
}

TEST_F(InfectedVolume, AnUnusableHiveIsLeftAndEverythingElseCleaned) {
    const HiveDamage damages[] = {
        {"truncated", nullptr, "truncated hive"},
        {"signature", [](std::fstream& f) { Poke(f, 0, "regx"); }, "no regf signature"},
        {"checksum", [](std::fstream& f) { Poke(f, 0x30, "X"); }, "checksum is wrong"},
        {"root key", [](std::fstream& f) { Poke(f, 4096 + 0x24, "xx"); }, "damaged hive"},
        {"not closed cleanly", MarkNotClosedCleanly, "not closed cleanly"},
    };
    std::string hive = volume.HivePath(kSystem);
    std::string original = hive + ".original", software = volume.HivePath(kSoftware) + ".original";
    fs::copy_file(hive, original);
    fs::copy_file(volume.HivePath(kSoftware), software);
    for (const HiveDamage& damage : damages) {
        fs::copy_file(original, hive, fs::copy_options::overwrite_existing);
        fs::copy_file(software, volume.HivePath(kSoftware), fs::copy_options::overwrite_existing);
        ASSERT_TRUE(volume.WriteFile(kAbcd, Sample(0)));
        if (damage.apply) {
            std::fstream file(hive, std::ios::in | std::ios::out | std::ios::binary);
            damage.apply(file);
        } else {
            fs::resize_file(hive, fs::file_size(hive) - 4096);
        }
        uint64_t damaged = HashFile(hive);
        ScanOutcome outcome = ScanInProcess(Options(false));
        EXPECT_EQ(kExitSomethingLeft, outcome.status) << damage.name;
        EXPECT_NE(std::string::npos, outcome.err.find(damage.message)) << damage.name << ": " << outcome.err;
        EXPECT_NE(std::string::npos, outcome.err.find("the repairs in registry hive SYSTEM were not done"))
            << damage.name;
        EXPECT_NE(std::string::npos, outcome.out.find("(not used: ")) << damage.name;
        EXPECT_EQ(damaged, HashFile(hive)) << damage.name;
        EXPECT_FALSE(volume.Exists(kAbcd)) << damage.name;
        EXPECT_FALSE(volume.HasValue(kSoftware, kRun, "bare")) << damage.name << ": the other hive is repaired";
        for (const auto& entry : fs::directory_iterator(volume.Host("WINDOWS/system32/CONFIG")))
            if (entry.path().filename().string().rfind("SOFTWARE.cordafix-", 0) == 0) fs::remove(entry.path());
    }
    fs::remove(original);
    fs::remove(software);
}

TEST(OfflineVolume, LinksOutOfTheVolumeAreNeitherFollowedNorChanged) {
    FakeVolume volume;
    FakeVolume outside;
    ASSERT_TRUE(outside.WriteFile("evil.exe", Sample(0)));
    ASSERT_TRUE(outside.WriteFile("etc/hosts", EncodedHosts()));
    fs::create_directories(volume.Host("Windows/System32/drivers"));
    fs::create_directory_symlink(outside.Root() + "/etc", volume.Host("Windows/System32/drivers/etc"));
    fs::create_directory_symlink(outside.Root(), volume.Host("Users"));
    ASSERT_TRUE(volume.WriteFile("Windows/System32/sample.exe", Sample(5)));
    auto outsideBefore = outside.Hashes();
    OfflineOptions options;
    options.volume = volume.Root();
    ScanOutcome outcome = ScanInProcess(options);
    EXPECT_EQ(kExitAllRemoved, outcome.status) << outcome.out << outcome.err;
    EXPECT_FALSE(volume.Exists("Windows/System32/sample.exe"));
    EXPECT_EQ(outsideBefore, outside.Hashes()) << "the hosts file behind the link is not even read";
    EXPECT_NE(std::string::npos, outcome.out.find("Total files infected\t\t:  1"));
}

}  // namespace

namespace {

TEST(OfflineVolume, AFileThatCannotBeDeletedIsReportedNeverScheduled) {
    FakeVolume volume;
    ASSERT_TRUE(volume.WriteFile("Windows/held.exe", Sample(9)));
    std::string held = volume.Host("Windows/held.exe");
    if (system(("chattr +i " + held + " 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "this file system cannot make a file undeletable (chattr +i)";
    OfflineOptions options;
    options.volume = volume.Root();
    ScanOutcome outcome = ScanInProcess(options);
    system(("chattr -i " + held).c_str());
    EXPECT_EQ(kExitSomethingLeft, outcome.status);
    EXPECT_NE(std::string::npos, outcome.out.find("C:\\Windows\\held.exe     W32/Drovak.Trojan Unable to remove"));
    EXPECT_EQ(std::string::npos, outcome.err.find("Restart")) << "no restart is offered: nothing was scheduled";
    EXPECT_TRUE(volume.Exists("Windows/held.exe"));
}

}  // namespace

namespace {

// Registry strings are UTF-16 in the hive and file names UTF-8 on this
// system: both must meet as the same text.
TEST(OfflineVolume, NamesBeyondAsciiMatchAcrossRegistryAndDisk) {
    FakeVolume volume;
    ASSERT_TRUE(volume.WriteFile("Programme/Überprüfung/wächter.exe", Sample(11)));
    const char kRunKey[] = "Microsoft\\Windows\\CurrentVersion\\Run";
    ASSERT_TRUE(volume.SetText("SOFTWARE", kRunKey, "Wächter", "\"C:\\Programme\\Überprüfung\\wächter.exe\" -q"));
    ASSERT_TRUE(volume.SetText("SOFTWARE", kRunKey, "Prüfer", "C:\\Programme\\Überprüfung\\prüfer.exe"));
    ASSERT_TRUE(volume.AddKey("SYSTEM", "ControlSet001\\Services\\wächter"));
    OfflineOptions options;
    options.volume = volume.Root();
    ScanOutcome outcome = ScanInProcess(options);
    EXPECT_EQ(kExitAllRemoved, outcome.status) << outcome.out << outcome.err;
    EXPECT_FALSE(volume.HasValue("SOFTWARE", kRunKey, "Wächter"));
    EXPECT_TRUE(volume.HasValue("SOFTWARE", kRunKey, "Prüfer"));
    EXPECT_FALSE(volume.HasKey("SYSTEM", "ControlSet001\\Services\\wächter"));
    EXPECT_NE(std::string::npos, outcome.out.find("C:\\Programme\\Überprüfung\\wächter.exe     W32/Drovak"));
}

}  // namespace
