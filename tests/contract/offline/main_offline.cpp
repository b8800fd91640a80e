// Runs the contract cases against the offline platform on a drive that is a
// folder of this system, as cordafix-offline serves a mounted Windows volume:
// drive D: is a fresh temporary folder behind the offline scanner's drives.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "contract/offline/VolumeEnv.h"
#include "offline/SilentOutput.h"
#include "platform/host/WindowsNames.h"
#include "platform/offline/OfflinePlatform.h"

namespace {

// The cases that do not apply to a mounted volume, and why.
const char* const kLeftOut[][2] = {
    {"FileContract.AttributesRoundTrip*:FileContract.NormalAttributeStandsForNoAttributes*",
     "a folder of this system keeps no hidden or system attribute: a file lists as ARCHIVE, READONLY when "
     "its write bits are off"},
    {"FileContract.FileHeldOpen*:ProcessContract.*:SystemContract.ShutdownPrivilege*:"
     "SystemContract.PeekHandsOut*",
     "nothing runs from a volume that is not running: no process, service, privilege or message queue"},
    {"FileContract.Move*:FileContract.DelayedDelete*:FileContract.CopyHonours*:FileContract.DescriptorCreates*",
     "the scan only deletes on a mounted volume: no file is moved, copied, written, or left for a restart"},
    {"FileContract.DescriptorsWithoutBinary*",
     "the cleaner opens every descriptor in binary mode, and the offline drives refuse any other"},
    {"FileContract.ShortPaths*:FileContract.ShortNames*:FileContract.NamesTheCallsCannotOpen*:"
     "SystemContract.ShortPathGives*:FileContract.HostLinkedFolders*",
     "a folder of this system keeps no 8.3 names and lists no links"},
    {"RegistryContract.*",
     "the offline registry is the volume's SOFTWARE and SYSTEM hives; the cases work under HKEY_CURRENT_USER"},
};

std::string Filter() {
    std::string filter = "*:-";
    for (const auto& left : kLeftOut) filter += std::string(left[0]) + ":";
    return filter;
}

// Sets up files on the host folder itself, never through the calls under test.
class FolderEnv : public VolumeEnv {
public:
    FolderEnv(const std::string& root, OfflineFileSystem& folders) : VolumeEnv(folders), root_(root) {}

    std::string HostMadeFolder() override { return ""; }
    bool MakeFolder(const std::string& path) override {
        std::error_code error;
        std::filesystem::create_directories(Host(path), error);
        return !error;
    }
    bool WriteFile(const std::string& path, const std::string& bytes) override {
        std::ofstream file(Host(path), std::ios::binary);
        file << bytes;
        return static_cast<bool>(file);
    }
    std::string ReadFile(const std::string& path) override {
        std::ifstream file(Host(path), std::ios::binary);
        std::ostringstream bytes;
        bytes << file.rdbuf();
        return bytes.str();
    }
    bool Exists(const std::string& path) override {
        struct stat info;
        return lstat(Host(path).c_str(), &info) == 0;
    }

private:
    std::string Host(const std::string& path) const {
        std::string host = root_;
        for (const std::string& name : SplitNames(path.substr(2), "\\")) host += "/" + name;
        return host;
    }

    std::string root_;
};

FolderEnv* installed = nullptr;

}  // namespace

ContractEnv& Env() { return *installed; }

int main(int argc, char** argv) {
    ::testing::GTEST_FLAG(filter) = Filter();
    ::testing::InitGoogleTest(&argc, argv);
    for (const auto& left : kLeftOut) printf("left out: %s\n  (%s)\n", left[0], left[1]);
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/cordafix-contract-XXXXXX";
    std::vector<char> folder(pattern.begin(), pattern.end());
    folder.push_back('\0');
    if (mkdtemp(folder.data()) == nullptr) {
        perror("mkdtemp");
        return 1;
    }
    std::string root = folder.data();
    SilentOutput output;
    OfflinePlatform platform(&output);
    std::string error;
    if (!platform.files.MapDrive('D', root, &error)) {
        fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    PlatformScope seam(platform.Parts());
    FolderEnv env(root, platform.files);
    installed = &env;
    int failed = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    return failed;
}
