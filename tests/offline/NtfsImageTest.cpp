// One run on a real NTFS file system: an image made with mkntfs and mounted
// through ntfs-3g, where the machine allows it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "offline/OfflineTestSupport.h"

namespace fs = std::filesystem;

namespace {

bool Shell(const std::string& command) { return system(command.c_str()) == 0; }

// A mounted NTFS image in a temporary folder, unmounted and removed at the end.
class NtfsMount {
public:
    NtfsMount() {
        char folder[] = "/tmp/cordafix-ntfs-XXXXXX";
        if (mkdtemp(folder) == nullptr) return;
        folder_ = folder;
        fs::create_directory(Point());
        std::string image = folder_ + "/volume.img";
        if (!Shell("truncate -s 48M " + image + " && mkntfs -F -Q -q -L Windows " + image + " >/dev/null 2>&1")) {
            problem_ = "mkntfs could not make an image";
        } else if (!Mount("rw")) {
            problem_ = "ntfs-3g could not mount it (FUSE unavailable?)";
        }
    }
    bool Mount(const std::string& options) {
        if (mounted_) Shell("umount " + Point() + " || fusermount -u " + Point());
        mounted_ = Shell("timeout 30 ntfs-3g -o " + options + " " + folder_ + "/volume.img " + Point() + " 2>" +
                         folder_ + "/mount.err");
        return mounted_;
    }
    ~NtfsMount() {
        if (mounted_) Shell("umount " + Point() + " || fusermount -u " + Point());
        std::error_code ignored;
        if (!folder_.empty()) fs::remove_all(folder_, ignored);
    }
    std::string Point() const { return folder_ + "/mnt"; }
    std::string Folder() const { return folder_; }
    bool Mounted() const { return mounted_; }
    const std::string& Problem() const { return problem_; }

private:
    std::string folder_;
    std::string problem_;
    bool mounted_ = false;
};

TEST(OfflineNtfsImage, CleansAVolumeOnNtfs) {
    if (!Shell("command -v mkntfs >/dev/null && command -v ntfs-3g >/dev/null"))
        GTEST_SKIP() << "mkntfs and ntfs-3g are not installed (Debian's ntfs-3g)";
    NtfsMount ntfs;
    if (!ntfs.Mounted()) GTEST_SKIP() << ntfs.Problem();
    FakeVolume volume(ntfs.Point(), "WINDOWS/system32/config");
    ASSERT_TRUE(volume.WriteFile("WINDOWS/system32/abcd.exe", Sample(0)));
    ASSERT_TRUE(volume.WriteFile("Program Files/Tool/evil.exe", NearMiss(0)));
    ASSERT_TRUE(volume.SetText("SOFTWARE", "Microsoft\\Windows\\CurrentVersion\\Run", "bare", "abcd.exe"));
    ASSERT_TRUE(volume.SetText("SOFTWARE", "Microsoft\\Windows\\CurrentVersion\\Run", "path",
                               "C:\\Windows\\System32\\ABCD.exe"));
    ASSERT_TRUE(volume.SetText("SOFTWARE", "Microsoft\\Windows\\CurrentVersion\\Run", "keep", "C:\\x.exe"));
    ASSERT_TRUE(volume.AddKey("SYSTEM", "ControlSet001\\Services\\abcd\\Enum"));
    uint64_t software = HashFile(volume.HivePath("SOFTWARE"));

    std::string report = ntfs.Folder() + "/report.json";
    ScanOutcome outcome = ScanWithProgram({"--report", report, ntfs.Point()});
    EXPECT_EQ(kExitAllRemoved, outcome.status) << outcome.out << outcome.err;
    EXPECT_FALSE(volume.Exists("WINDOWS/system32/abcd.exe"));
    EXPECT_TRUE(volume.Exists("Program Files/Tool/evil.exe"));
    EXPECT_FALSE(volume.HasValue("SOFTWARE", "Microsoft\\Windows\\CurrentVersion\\Run", "bare"));
    EXPECT_FALSE(volume.HasValue("SOFTWARE", "Microsoft\\Windows\\CurrentVersion\\Run", "path"));
    EXPECT_TRUE(volume.HasValue("SOFTWARE", "Microsoft\\Windows\\CurrentVersion\\Run", "keep"));
    EXPECT_FALSE(volume.HasKey("SYSTEM", "ControlSet001\\Services\\abcd"));
    bool backupKept = false;
    for (const auto& entry : fs::directory_iterator(volume.Host("WINDOWS/system32/config"))) {
        std::string name = entry.path().filename().string();
        if (name.rfind("SOFTWARE.cordafix-", 0) == 0) backupKept = HashFile(entry.path().string()) == software;
    }
    EXPECT_TRUE(backupKept);
    EXPECT_TRUE(fs::exists(report));

    // Mounted read-only: nothing found could be removed, so only a dry run goes on.
    ASSERT_TRUE(volume.WriteFile("WINDOWS/system32/abcd.exe", Sample(0)));
    ASSERT_TRUE(ntfs.Mount("ro"));
    ScanOutcome readOnly = ScanWithProgram({ntfs.Point()});
    EXPECT_EQ(kExitCouldNotRun, readOnly.status);
    EXPECT_NE(std::string::npos, readOnly.err.find("mounted read-only")) << readOnly.err;
    EXPECT_EQ(kExitSomethingLeft, ScanWithProgram({"--dry-run", ntfs.Point()}).status);
}

}  // namespace
