// Processes, services and the performance data: what the memory pass relies on.
#include <cstring>
#include <string>

#include "contract/ContractTest.h"

namespace {

const uint32_t kListingAccess = kProcessQueryInformation | kProcessVmRead;
const uint32_t kTerminateAccess = kProcessTerminate | kProcessQueryInformation;

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

class ProcessContract : public ContractTest {
protected:
    // The tool-help entry of a process, found by walking a fresh snapshot.
    bool SnapshotEntry(uint32_t id, ToolhelpEntry* found) {
        LibraryHandle kernel = SysProcesses().LibraryLoad("Kernel32.dll");
        ProcAddress create = SysProcesses().ProcedureFind(kernel, "CreateToolhelp32Snapshot");
        ProcAddress first = SysProcesses().ProcedureFind(kernel, "Process32First");
        ProcAddress next = SysProcesses().ProcedureFind(kernel, "Process32Next");
        EXPECT_TRUE(kernel && create && first && next);
        SnapshotHandle snapshot = SysProcesses().CallCreateToolhelp32Snapshot(create, kSnapProcess, 0);
        EXPECT_NE(snapshot, kNoSnapshot);
        ToolhelpEntry entry;
        // The system's entry is 296 bytes in a 32-bit program and 304 in a 64-bit one.
        bool listed = SysProcesses().CallProcess32First(first, snapshot, &entry);
        EXPECT_TRUE(listed) << "Process32First";
        bool seen = false;
        while (listed && !seen) {
            if (entry.processId == id) {
                *found = entry;
                seen = true;
            }
            listed = SysProcesses().CallProcess32Next(next, snapshot, &entry);
        }
        EXPECT_TRUE(SysSession().HandleClose(static_cast<uintptr_t>(snapshot)));
        return seen;
    }

    // The program file the process-status library names for a process ("" when none).
    std::string ModuleFileName(uint32_t id) {
        LibraryHandle psapi = SysProcesses().LibraryLoad("psapi.dll");
        ProcAddress name = SysProcesses().ProcedureFind(psapi, "GetModuleFileNameExA");
        ProcessHandle process = SysProcesses().ProcessOpen(kListingAccess, id);
        if (!name || !process) return "";
        char buffer[260] = "";
        uint32_t length = SysProcesses().CallGetModuleFileNameExA(name, process, buffer, sizeof buffer);
        SysSession().HandleClose(process);
        return std::string(buffer, length);
    }

    bool Listed(uint32_t id) {
        LibraryHandle psapi = SysProcesses().LibraryLoad("psapi.dll");
        ProcAddress enumerate = SysProcesses().ProcedureFind(psapi, "EnumProcesses");
        uint32_t ids[1024];
        uint32_t bytes = 0;
        EXPECT_TRUE(SysProcesses().CallEnumProcesses(enumerate, ids, sizeof ids, &bytes));
        for (uint32_t i = 0; i < bytes / 4; ++i)
            if (ids[i] == id) return true;
        return false;
    }

    bool Terminate(uint32_t id) {
        ProcessHandle process = SysProcesses().ProcessOpen(kTerminateAccess, id);
        if (!process) return false;
        bool terminated = SysProcesses().ProcessTerminate(process, 0);
        SysSession().HandleClose(process);
        return terminated;
    }

    // The program's file once the system lets it go (Windows and Wine end a
    // terminated process a moment after the call returned).
    bool DeletedWithin(const std::string& path, int tenths) {
        for (int i = 0; i < tenths; ++i) {
            if (SysFiles().DeletePath(path.c_str())) return true;
            SysSession().SleepFor(100);
        }
        return false;
    }

    std::string ServiceName() const { return "CfxTest" + folder.substr(folder.size() - 4); }
};

TEST_F(ProcessContract, ARunningProgramIsListedWithItsFile) {
    std::string path = At("Sleepy.exe");
    uint32_t id = env.StartProgram(path, ContractEnv::Guard::kNone);
    ASSERT_NE(id, 0u);
    ToolhelpEntry entry;
    ASSERT_TRUE(SnapshotEntry(id, &entry));
    // Tool-help names the file only on NT; the 9x family gives the full path,
    // which Wine does not (it gives the name in every mode).
    bool fullPath = !env.IsNtFamily() && !env.IsWine();
    EXPECT_EQ(Upper(entry.exeFile), Upper(fullPath ? path : "Sleepy.exe"));
    if (!env.IsNtFamily()) return;  // the 9x family has no process-status library
    EXPECT_TRUE(Listed(id));
    EXPECT_EQ(Upper(ModuleFileName(id)), Upper(path));
}

TEST_F(ProcessContract, MissingLibrariesAndFunctionsAreNotFound) {
    EXPECT_EQ(SysProcesses().LibraryLoad("cfxnosuch.dll"), 0u);
    LibraryHandle kernel = SysProcesses().LibraryLoad("Kernel32.dll");
    ASSERT_NE(kernel, 0u);
    EXPECT_EQ(SysProcesses().ProcedureFind(kernel, "Process32Nothing"), 0u);
    EXPECT_EQ(SysSession().LastError(), static_cast<uint32_t>(kErrorProcNotFound));
    EXPECT_EQ(SysProcesses().ProcedureFind(kernel, "process32first"), 0u) << "names are matched exactly";
    if (!env.IsNtFamily()) return;
    LibraryHandle psapi = SysProcesses().LibraryLoad("psapi.dll");
    ASSERT_NE(psapi, 0u);
    EXPECT_NE(SysProcesses().ProcedureFind(psapi, "EnumProcesses"), 0u);
    EXPECT_EQ(SysProcesses().ProcedureFind(psapi, "Process32First"), 0u);
}

TEST_F(ProcessContract, ATerminatedProgramEndsAndItsFileCanGo) {
    std::string path = At("ended.exe");
    uint32_t id = env.StartProgram(path, ContractEnv::Guard::kNone);
    ASSERT_NE(id, 0u);
    EXPECT_FALSE(SysFiles().DeletePath(path.c_str())) << "a running program's file stays";
    ASSERT_TRUE(Terminate(id));
    EXPECT_TRUE(DeletedWithin(path, 50));
    ToolhelpEntry entry;
    EXPECT_FALSE(SnapshotEntry(id, &entry));
}

TEST_F(ProcessContract, ASecondTerminationRightAfterTheFirstFailsExceptUnderWine) {
    uint32_t id = env.StartProgram(At("twice.exe"), ContractEnv::Guard::kNone);
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(Terminate(id));
    bool second = Terminate(id);
    // Windows refuses to terminate a process that has ended (or no longer
    // opens it); Wine terminates it "again" until its id is gone.
    if (env.IsWine())
        EXPECT_TRUE(second);
    else
        EXPECT_FALSE(second);
}

TEST_F(ProcessContract, AGuardedProgramCanBeNamedButNotTerminated) {
    std::string path = At("guarded.exe");
    uint32_t id = env.StartProgram(path, ContractEnv::Guard::kNoTermination);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(SysProcesses().ProcessOpen(kTerminateAccess, id), 0u);
    EXPECT_EQ(SysSession().LastError(), static_cast<uint32_t>(kErrorAccessDenied));
    if (env.IsNtFamily()) {
        EXPECT_EQ(Upper(ModuleFileName(id)), Upper(path));
    }
}

TEST_F(ProcessContract, TheDebugPrivilegeOpensAProcessThatRefusesEveryone) {
    if (!env.IsNtFamily()) GTEST_SKIP() << "the 9x family has no privileges";
    uint32_t id = env.StartProgram(At("closed.exe"), ContractEnv::Guard::kNoAccess);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(SysProcesses().ProcessOpen(kListingAccess, id), 0u);
    EXPECT_EQ(SysSession().LastError(), static_cast<uint32_t>(kErrorAccessDenied));
    TokenHandle token = 0;
    uint64_t luid = 0;
    ASSERT_TRUE(SysSession().TokenOpenOwn(0x28, &token));
    ASSERT_TRUE(SysSession().PrivilegeLookup("SeDebugPrivilege", &luid));
    EXPECT_TRUE(SysSession().PrivilegeEnable(token, luid));
    EXPECT_EQ(SysSession().LastError(), 0u);
    SysSession().HandleClose(token);
    ProcessHandle process = SysProcesses().ProcessOpen(kListingAccess, id);
    // Windows lets the privilege override the process's security; Wine does not.
    if (env.IsWine()) {
        EXPECT_EQ(process, 0u);
    } else {
        EXPECT_NE(process, 0u);
        SysSession().HandleClose(process);
    }
}

TEST_F(ProcessContract, AServiceStopsThroughStopPendingAndOnlyOnce) {
    if (!env.IsNtFamily()) GTEST_SKIP() << "the 9x family has no service manager";
    ASSERT_TRUE(env.StartService(ServiceName(), false));
    ServiceHandle manager = SysProcesses().ServiceManagerOpen(kScManagerAllAccess);
    ASSERT_NE(manager, 0u);
    ServiceHandle service = SysProcesses().ServiceOpen(manager, ServiceName().c_str(), kScManagerAllAccess);
    ASSERT_NE(service, 0u);
    ServiceStatus status = {0, 0, 0};
    ASSERT_TRUE(SysProcesses().ServiceControl(service, kServiceControlStop, &status));
    EXPECT_EQ(status.currentState, kServiceStopPending);
    int pending = 0;
    while (SysProcesses().ServiceQueryStatus(service, &status) && status.currentState == kServiceStopPending &&
           pending < 20) {
        ++pending;
        SysSession().SleepFor(1000);
    }
    EXPECT_EQ(status.currentState, kServiceStopped);
    EXPECT_GE(pending, 1);
    EXPECT_FALSE(SysProcesses().ServiceControl(service, kServiceControlStop, &status));
    EXPECT_EQ(SysSession().LastError(), static_cast<uint32_t>(kErrorServiceNotActive));
    EXPECT_TRUE(SysProcesses().ServiceClose(service));
    EXPECT_TRUE(SysProcesses().ServiceClose(manager));
}

TEST_F(ProcessContract, AServiceThatRefusesTheStopAndOneThatDoesNotExist) {
    if (!env.IsNtFamily()) GTEST_SKIP() << "the 9x family has no service manager";
    ASSERT_TRUE(env.StartService(ServiceName(), true));
    ServiceHandle manager = SysProcesses().ServiceManagerOpen(kScManagerAllAccess);
    ASSERT_NE(manager, 0u);
    EXPECT_EQ(SysProcesses().ServiceOpen(manager, "CfxNoSuchService", kScManagerAllAccess), 0u);
    EXPECT_EQ(SysSession().LastError(), static_cast<uint32_t>(kErrorServiceDoesNotExist));
    ServiceHandle service = SysProcesses().ServiceOpen(manager, ServiceName().c_str(), kScManagerAllAccess);
    ASSERT_NE(service, 0u);
    ServiceStatus status = {0, 0, 0};
    EXPECT_FALSE(SysProcesses().ServiceControl(service, kServiceControlStop, &status));
    EXPECT_EQ(SysSession().LastError(), static_cast<uint32_t>(kErrorInvalidServiceControl));
    ASSERT_TRUE(SysProcesses().ServiceQueryStatus(service, &status));
    EXPECT_EQ(status.currentState, kServiceRunning);
    SysProcesses().ServiceClose(service);
    SysProcesses().ServiceClose(manager);
}

TEST_F(ProcessContract, PerformanceDataNeedMoreRoomThanSixteenBytes) {
    if (!env.IsNtFamily()) GTEST_SKIP() << "the 9x family keeps its performance data elsewhere";
    uint8_t small[16];
    uint32_t size = sizeof small;
    EXPECT_EQ(SysRegistry().KeyQueryValue(kHkeyPerformanceData, "230", nullptr, small, &size), kErrorMoreData);
    // What is left in the size is not defined; Wine leaves 0, which a
    // reader that grows "by the size left" must survive.
    static uint8_t block[1 << 20];
    size = sizeof block;
    ASSERT_EQ(SysRegistry().KeyQueryValue(kHkeyPerformanceData, "230", nullptr, block, &size), kErrorSuccess);
    ASSERT_GE(size, 28u);
    EXPECT_EQ(0, memcmp(block, "P\0E\0R\0F\0", 8));
    uint32_t headerLength = 0;
    memcpy(&headerLength, block + 24, 4);
    EXPECT_LE(headerLength, size);
    EXPECT_EQ(SysRegistry().KeyClose(kHkeyPerformanceData), kErrorSuccess);
}

}  // namespace
