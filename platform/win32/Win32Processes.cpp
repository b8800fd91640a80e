// Processes and services on the real system.
#include <string.h>
#include <windows.h>
#include <tlhelp32.h>

#include "platform/win32/Win32Parts.h"

// The entry the system fills is its own structure: 296 bytes in a 32-bit
// program, 304 in a 64-bit one, where the heap id is pointer-sized.
static_assert(sizeof(PROCESSENTRY32) == (sizeof(void*) == 4 ? 296 : 304),
              "tool-help process entry of an unexpected size");

namespace {

typedef HANDLE(WINAPI* CreateSnapshotFunction)(DWORD flags, DWORD processId);
typedef BOOL(WINAPI* ProcessWalkFunction)(HANDLE snapshot, PROCESSENTRY32* entry);
typedef BOOL(WINAPI* EnumProcessesFunction)(DWORD* ids, DWORD bytes, DWORD* bytesReturned);
typedef DWORD(WINAPI* ModuleFileNameFunction)(HANDLE process, HMODULE module, char* buffer, DWORD size);

template <typename Function>
Function As(ProcAddress function) {
    return reinterpret_cast<Function>(function);
}

HANDLE AsHandle(uintptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
SC_HANDLE AsService(ServiceHandle handle) { return reinterpret_cast<SC_HANDLE>(handle); }

bool WalkProcesses(ProcAddress function, SnapshotHandle snapshot, ToolhelpEntry* entry) {
    PROCESSENTRY32 system;
    memset(&system, 0, sizeof system);
    system.dwSize = sizeof system;
    if (!As<ProcessWalkFunction>(function)(AsHandle(static_cast<uintptr_t>(snapshot)), &system)) return false;
    entry->processId = system.th32ProcessID;
    size_t length = strnlen(system.szExeFile, sizeof system.szExeFile - 1);
    memcpy(entry->exeFile, system.szExeFile, length);
    entry->exeFile[length] = '\0';
    return true;
}

void CopyStatus(const SERVICE_STATUS& system, ServiceStatus* status) {
    status->currentState = system.dwCurrentState;
    status->checkPoint = system.dwCheckPoint;
    status->waitHint = system.dwWaitHint;
}

class Win32Processes : public Processes {
public:
    LibraryHandle LibraryLoad(const char* name) override {
        return reinterpret_cast<LibraryHandle>(LoadLibraryA(name));
    }
    ProcAddress ProcedureFind(LibraryHandle library, const char* name) override {
        return reinterpret_cast<ProcAddress>(GetProcAddress(reinterpret_cast<HMODULE>(library), name));
    }

    SnapshotHandle CallCreateToolhelp32Snapshot(ProcAddress function, uint32_t flags, uint32_t processId) override {
        HANDLE snapshot = As<CreateSnapshotFunction>(function)(flags, processId);
        return snapshot == INVALID_HANDLE_VALUE ? kNoSnapshot
                                                : static_cast<SnapshotHandle>(reinterpret_cast<uintptr_t>(snapshot));
    }
    bool CallProcess32First(ProcAddress function, SnapshotHandle snapshot, ToolhelpEntry* entry) override {
        return WalkProcesses(function, snapshot, entry);
    }
    bool CallProcess32Next(ProcAddress function, SnapshotHandle snapshot, ToolhelpEntry* entry) override {
        return WalkProcesses(function, snapshot, entry);
    }
    bool CallEnumProcesses(ProcAddress function, uint32_t* ids, uint32_t bytes, uint32_t* bytesReturned) override {
        DWORD returned = 0;
        static_assert(sizeof(DWORD) == sizeof(uint32_t), "process ids are 32-bit");
        BOOL done = As<EnumProcessesFunction>(function)(reinterpret_cast<DWORD*>(ids), bytes, &returned);
        *bytesReturned = returned;
        return done != FALSE;
    }
    uint32_t CallGetModuleFileNameExA(ProcAddress function, ProcessHandle process, char* buffer,
                                      uint32_t size) override {
        return As<ModuleFileNameFunction>(function)(AsHandle(process), NULL, buffer, size);
    }

    ProcessHandle ProcessOpen(uint32_t access, uint32_t processId) override {
        return reinterpret_cast<ProcessHandle>(OpenProcess(access, FALSE, processId));
    }
    bool ProcessTerminate(ProcessHandle process, uint32_t exitCode) override {
        return TerminateProcess(AsHandle(process), exitCode) != FALSE;
    }

    ServiceHandle ServiceManagerOpen(uint32_t access) override {
        return reinterpret_cast<ServiceHandle>(OpenSCManagerA(NULL, NULL, access));
    }
    ServiceHandle ServiceOpen(ServiceHandle manager, const char* name, uint32_t access) override {
        return reinterpret_cast<ServiceHandle>(OpenServiceA(AsService(manager), name, access));
    }
    bool ServiceControl(ServiceHandle service, uint32_t control, ServiceStatus* status) override {
        SERVICE_STATUS system;
        memset(&system, 0, sizeof system);
        if (!ControlService(AsService(service), control, &system)) return false;
        CopyStatus(system, status);
        return true;
    }
    bool ServiceQueryStatus(ServiceHandle service, ServiceStatus* status) override {
        SERVICE_STATUS system;
        memset(&system, 0, sizeof system);
        if (!QueryServiceStatus(AsService(service), &system)) return false;
        CopyStatus(system, status);
        return true;
    }
    bool ServiceClose(ServiceHandle handle) override { return CloseServiceHandle(AsService(handle)) != FALSE; }
};

}  // namespace

Processes& Win32ProcessesPart() {
    static Win32Processes part;
    return part;
}
