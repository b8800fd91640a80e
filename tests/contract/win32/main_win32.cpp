// Runs the contract cases against the real Win32 calls. The test drive is
// taken from CORDAFIX_CONTRACT_DRIVE (default D:); under Wine the runner maps
// it to a fresh temporary folder. The sleeping program and the test service
// are taken from CORDAFIX_CONTRACT_TOOLS (default C:\tests).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "contract/ContractEnv.h"
#include "platform/win32/Handles.h"
#include "support/GuardedProcess.h"
#include "platform/win32/Win32Platform.h"

namespace {

class Win32Env : public ContractEnv {
public:
    Win32Env() {
        const char* drive = getenv("CORDAFIX_CONTRACT_DRIVE");
        drive_ = drive && *drive ? drive : "D:";
        const char* tools = getenv("CORDAFIX_CONTRACT_TOOLS");
        tools_ = tools && *tools ? tools : "C:\\tests";
    }

    std::string Drive() override { return drive_; }
    std::string HostMadeFolder() override {
        const char* folder = getenv("CORDAFIX_CONTRACT_HOSTMADE");
        return folder ? folder : "";
    }
    bool IsWine() override {
        HMODULE ntdll = GetModuleHandleA("ntdll.dll");
        return ntdll && GetProcAddress(ntdll, "wine_get_version") != NULL;
    }
    bool IsNtFamily() override {
        OSVERSIONINFOA info;
        info.dwOSVersionInfoSize = sizeof info;
        return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
    }
    bool MakeFolder(const std::string& path) override {
        if (CreateDirectoryA(path.c_str(), NULL)) return true;
        DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    bool WriteFile(const std::string& path, const std::string& bytes) override {
        FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    NULL));
        if (!file.IsValid()) return false;
        DWORD written = 0;
        return ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, NULL) &&
               written == bytes.size();
    }
    std::string ReadFile(const std::string& path) override {
        std::string content;
        FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                    OPEN_EXISTING, 0, NULL));
        if (!file.IsValid()) return content;
        char buffer[4096];
        DWORD got = 0;
        while (::ReadFile(file.Get(), buffer, sizeof buffer, &got, NULL) && got > 0) content.append(buffer, got);
        return content;
    }
    bool Exists(const std::string& path) override {
        return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    bool HoldOpen(const std::string& path) override {
        // As a running program holds its file: others may read, nobody may write or delete.
        std::unique_ptr<FileHandle> file(new FileHandle(
            CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL)));
        if (!file->IsValid()) return false;
        held_.push_back(std::move(file));
        return true;
    }
    void Release() override {
        held_.clear();
        for (HANDLE process : programs_) {
            TerminateProcess(process, 0);  // the starter's handle keeps every right
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
        programs_.clear();
        for (const std::string& name : services_) RemoveService(name);
        services_.clear();
    }
    void SetVariable(const std::string& name, const std::string& value) override {
        SetEnvironmentVariableA(name.c_str(), value.c_str());
    }
    void PostToThread(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        MSG ignored;
        PeekMessageA(&ignored, NULL, 0, 0, PM_NOREMOVE);  // makes sure the thread has a queue
        PostThreadMessageA(GetCurrentThreadId(), message, wParam, lParam);
    }

    uint32_t StartProgram(const std::string& path, Guard guard) override {
        if (!CopyFileA((tools_ + "\\sleeper.exe").c_str(), path.c_str(), FALSE)) return 0;
        ProcessGuard kind = guard == Guard::kNoTermination ? ProcessGuard::kNoTermination
                            : guard == Guard::kNoAccess    ? ProcessGuard::kNoAccess
                                                           : ProcessGuard::kNone;
        HANDLE process = NULL;
        DWORD id = StartGuardedProgram(("\"" + path + "\" 120").c_str(), kind, &process);
        if (id == 0) return 0;
        programs_.push_back(process);
        Sleep(500);  // until it has loaded its program
        return id;
    }
    bool StartService(const std::string& name, bool refuseStop) override {
        ScopedHandle<ServiceTraits> manager(OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS));
        if (!manager.IsValid()) return false;
        std::string command = tools_ + "\\test_service.exe" + (refuseStop ? " refuse" : "");
        ScopedHandle<ServiceTraits> service(CreateServiceA(manager.Get(), name.c_str(), name.c_str(),
                                                           SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                                           SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                                           command.c_str(), NULL, NULL, NULL, NULL, NULL));
        if (!service.IsValid()) return false;
        services_.push_back(name);
        if (!::StartServiceA(service.Get(), 0, NULL)) return false;
        for (int i = 0; i < 100; ++i) {
            SERVICE_STATUS status;
            if (QueryServiceStatus(service.Get(), &status) && status.dwCurrentState == SERVICE_RUNNING) return true;
            Sleep(100);
        }
        return false;
    }

private:
    struct ServiceTraits {
        typedef SC_HANDLE Handle;
        static Handle Invalid() { return NULL; }
        static bool Close(Handle handle) { return CloseServiceHandle(handle) != FALSE; }
    };

    void RemoveService(const std::string& name) {
        ScopedHandle<ServiceTraits> manager(OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS));
        ScopedHandle<ServiceTraits> service(OpenServiceA(manager.Get(), name.c_str(), SERVICE_ALL_ACCESS));
        if (!service.IsValid()) return;
        SERVICE_STATUS status;
        ControlService(service.Get(), SERVICE_CONTROL_STOP, &status);
        DeleteService(service.Get());
    }

    std::string drive_;
    std::string tools_;
    std::vector<HANDLE> programs_;
    std::vector<std::string> services_;
    std::vector<std::unique_ptr<FileHandle>> held_;
};

Win32Env* installed = nullptr;

}  // namespace

ContractEnv& Env() { return *installed; }

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    PlatformScope platform{Win32Platform()};
    Win32Env env;
    installed = &env;
    return RUN_ALL_TESTS();
}
