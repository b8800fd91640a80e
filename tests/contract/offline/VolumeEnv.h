// What the contract environment of an offline drive answers alike, whether
// the drive is a folder of this system or an NTFS volume: nothing runs from
// a volume that is not running, and the environment variables are the
// folder side's, as the scanner keeps them.
#pragma once

#include <string>

#include "contract/ContractEnv.h"
#include "platform/offline/OfflineFileSystem.h"

class VolumeEnv : public ContractEnv {
public:
    explicit VolumeEnv(OfflineFileSystem& folders) : folders_(folders) {}

    std::string Drive() override { return "D:"; }
    bool IsWine() override { return false; }
    bool IsNtFamily() override { return true; }
    bool HoldOpen(const std::string&) override { return false; }
    void Release() override {}
    void SetVariable(const std::string& name, const std::string& value) override {
        folders_.SetEnvironment(name, value);
    }
    void PostToThread(uint32_t, uintptr_t, intptr_t) override {}
    uint32_t StartProgram(const std::string&, Guard) override { return 0; }
    bool StartService(const std::string&, bool) override { return false; }

private:
    OfflineFileSystem& folders_;
};
