// Runs the file contract cases against an NTFS image read and written
// through libntfs-3g: drive D: is a fresh mkntfs image, behind the offline
// scanner's drives as the scanner uses them.
#include <gtest/gtest.h>

#include <cstdio>

#include "contract/ContractEnv.h"
#include "offline/NtfsTestImage.h"
#include "platform/Platform.h"
#include "platform/ntfs/NtfsDrives.h"
#include "platform/ntfs/NtfsVolume.h"
#include "platform/offline/OfflineDrives.h"
#include "platform/offline/OfflineFileSystem.h"
#include "platform/offline/OfflineProcesses.h"
#include "platform/offline/OfflineRegistry.h"
#include "platform/offline/OfflineSession.h"

namespace {

class NoOutput : public OfflineOutput {
public:
    void LogLine(const char*) override {}
    void StatusText(const char*) override {}
    void Notice(const char*, const char*) override {}
};

// Sets up files through the library itself, never through the calls under test.
class NtfsEnv : public ContractEnv {
public:
    NtfsEnv(NtfsVolume& volume, NtfsDrives& drives, OfflineFileSystem& folders)
        : volume_(volume.Handle()), drives_(drives), folders_(folders) {}

    std::string Drive() override { return "D:"; }
    bool IsWine() override { return false; }
    bool IsNtFamily() override { return true; }
    std::string HostMadeFolder() override { return "D:\\hostmade"; }
    bool MakeFolder(const std::string& path) override { return Changed(NtfsMakeFolder(volume_, Inside(path))); }
    bool WriteFile(const std::string& path, const std::string& bytes) override {
        return Changed(NtfsWriteFile(volume_, Inside(path), bytes));
    }
    std::string ReadFile(const std::string& path) override { return NtfsReadFile(volume_, Inside(path)); }
    bool Exists(const std::string& path) override { return NtfsExists(volume_, Inside(path)); }
    // Nothing runs from a volume that is not running.
    bool HoldOpen(const std::string&) override { return false; }
    void Release() override {}
    void SetVariable(const std::string& name, const std::string& value) override {
        folders_.SetEnvironment(name, value);
    }
    void PostToThread(uint32_t, uintptr_t, intptr_t) override {}
    uint32_t StartProgram(const std::string&, Guard) override { return 0; }
    bool StartService(const std::string&, bool) override { return false; }

    // What Windows lets a program make there, made as the sim's runner does.
    bool MakeHostEntries() {
        for (const char* name : {"a?b.exe", "trail.exe.", "Long Name.exe", "plain.exe"})
            if (!NtfsWriteFile(volume_, std::string("hostmade\\") + name, name)) return false;
        return NtfsMakeFolder(volume_, "hostmade\\sub") &&
               NtfsMakeJunction(volume_, "hostmade\\sublink", "D:\\hostmade\\sub");
    }

private:
    static std::string Inside(const std::string& path) { return path.size() > 2 ? path.substr(2) : ""; }
    bool Changed(bool done) {
        drives_.Forget();
        return done;
    }

    ntfs_volume* volume_;
    NtfsDrives& drives_;
    OfflineFileSystem& folders_;
};

NtfsEnv* installed = nullptr;

}  // namespace

ContractEnv& Env() { return *installed; }

int main(int argc, char** argv) {
    // Not for a volume that nothing runs from: held files, delayed deletion;
    // descriptors are binary only (text mode serves 9x scripts); and a name
    // with "?" can only be an NTFS POSIX name, which never has an 8.3 name.
    ::testing::GTEST_FLAG(filter) =
        "FileContract.*:-FileContract.FileHeldOpen*:FileContract.DelayedDelete*:FileContract.DescriptorsWithoutBinary*:"
        "FileContract.NamesTheCallsCannotOpen*";
    ::testing::InitGoogleTest(&argc, argv);
    NtfsTestImage image;
    if (!image.Problem().empty()) {
        printf("skipped: %s\n", image.Problem().c_str());
        return 0;
    }
    NtfsVolume volume;
    std::string error;
    if (!volume.Open(image.Path(), 0, true, &error)) {
        fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    uint32_t lastError = 0;
    NoOutput output;
    OfflineFileSystem folders(&lastError);
    NtfsDrives drives(&lastError);
    drives.MapDrive('D', &volume);
    OfflineDrives files(&lastError, &folders, &drives);
    OfflineRegistry registry(&lastError);
    OfflineProcesses processes(&lastError);
    OfflineSession session(&lastError, &output);
    InstallPlatform({&files, &registry, &processes, &session});
    NtfsEnv env(volume, drives, folders);
    installed = &env;
    if (!env.MakeHostEntries()) {
        fprintf(stderr, "cannot make the host entries: %s\n", LastNtfsLibraryMessage().c_str());
        return 1;
    }
    int failed = RUN_ALL_TESTS();
    drives.UnmapAll();
    return volume.Close(&error) ? failed : 1;
}
