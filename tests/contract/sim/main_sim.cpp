// Runs the contract cases against the simulated Windows, drive D: mapped to a
// temporary host folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include <string>
#include <vector>

#include "contract/ContractEnv.h"
#include "sim/SimPlatform.h"

namespace {

class SimEnv : public ContractEnv {
public:
    explicit SimEnv(SimPlatform& sim) : sim_(sim) {}

    std::string Drive() override { return "D:"; }
    bool IsWine() override { return false; }
    std::string HostMadeFolder() override { return "D:\\hostmade"; }
    bool IsNtFamily() override {
        OsVersion version;
        return sim_.Version(&version) && version.platformId == 2;
    }
    bool MakeFolder(const std::string& path) override { return sim_.MakeFolder(path); }
    bool WriteFile(const std::string& path, const std::string& bytes) override {
        return sim_.WriteFile(path, bytes);
    }
    std::string ReadFile(const std::string& path) override { return sim_.ReadFile(path); }
    bool Exists(const std::string& path) override { return sim_.Exists(path); }
    bool HoldOpen(const std::string& path) override {
        if (!sim_.Exists(path)) return false;
        sim_.LockFile(path);
        held_.push_back(path);
        return true;
    }
    void Release() override {
        for (const std::string& path : held_) sim_.UnlockFile(path);
        held_.clear();
        for (uint32_t id : programs_) sim_.EndProcess(id);
        programs_.clear();
        for (const std::string& name : services_) sim_.RemoveService(name);
        services_.clear();
    }
    void SetVariable(const std::string& name, const std::string& value) override {
        sim_.SetEnvironment(name, value);
    }
    void PostToThread(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        sim_.QueueMessage(message, wParam, lParam, 0);
    }
    uint32_t StartProgram(const std::string& path, Guard guard) override {
        if (!sim_.WriteFile(path, "MZ a program that only sleeps")) return 0;
        SimPlatform::ProcessSpec spec;
        spec.path = path;
        spec.refusesTermination = guard == Guard::kNoTermination;
        spec.needsDebugPrivilege = guard == Guard::kNoAccess;
        programs_.push_back(sim_.AddProcess(spec));
        return programs_.back();
    }
    bool StartService(const std::string& name, bool refuseStop) override {
        sim_.AddService(name, {kServiceStopPending, kServiceStopPending, kServiceStopped}, 3000);
        if (refuseStop) sim_.RefuseStop(name);
        services_.push_back(name);
        return true;
    }

private:
    SimPlatform& sim_;
    std::vector<std::string> held_;
    std::vector<uint32_t> programs_;
    std::vector<std::string> services_;
};

SimEnv* installed = nullptr;

// The entries HostMadeFolder promises, as the Wine runner makes them.
bool MakeHostEntries(SimPlatform& sim) {
    std::string folder = sim.HostPath("D:\\") + "/hostmade";
    if (mkdir(folder.c_str(), 0755) != 0 || mkdir((folder + "/sub").c_str(), 0755) != 0) return false;
    for (const char* name : {"a?b.exe", "trail.exe.", "Long Name.exe", "plain.exe"}) {
        FILE* file = fopen((folder + "/" + name).c_str(), "wb");
        if (file == nullptr) return false;
        fputs(name, file);
        fclose(file);
    }
    return symlink("sub", (folder + "/sublink").c_str()) == 0;
}

}  // namespace

ContractEnv& Env() { return *installed; }

// "--win98" answers as Windows 98 instead of Windows XP.
int main(int argc, char** argv) {
    // The cleaner opens every descriptor in binary mode, so the simulated
    // Windows has no text mode: the runtime's own is checked on the real system.
    ::testing::GTEST_FLAG(filter) = "-FileContract.DescriptorsWithoutBinary*";
    ::testing::InitGoogleTest(&argc, argv);
    SimPlatform sim;
    sim.AddDrive('D');
    sim.SetVersion(2, 5, 1);
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) == "--win98") sim.SetVersion(1, 4, 10);
    if (!MakeHostEntries(sim)) return 1;
    sim.AddProcess("C:\\tests\\contract_tests.exe");  // the test program itself, as every system lists it
    PlatformScope seam(sim.Parts());
    SimEnv env(sim);
    installed = &env;
    return RUN_ALL_TESTS();
}
