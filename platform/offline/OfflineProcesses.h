// Processes and services of a Windows volume that is not running: there are
// none. No library loads, no service manager opens and nothing can be
// opened, terminated or stopped, so the memory pass finds nothing.
#pragma once

#include <cstdint>

#include "platform/Processes.h"

class OfflineProcesses : public Processes {
public:
    explicit OfflineProcesses(uint32_t* lastError) : lastError_(lastError) {}

    LibraryHandle LibraryLoad(const char* name) override;
    ProcAddress ProcedureFind(LibraryHandle library, const char* name) override;
    SnapshotHandle CallCreateToolhelp32Snapshot(ProcAddress function, uint32_t flags,
                                                uint32_t processId) override;
    bool CallProcess32First(ProcAddress function, SnapshotHandle snapshot, ToolhelpEntry* entry) override;
    bool CallProcess32Next(ProcAddress function, SnapshotHandle snapshot, ToolhelpEntry* entry) override;
    bool CallEnumProcesses(ProcAddress function, uint32_t* ids, uint32_t bytes, uint32_t* bytesReturned) override;
    uint32_t CallGetModuleFileNameExA(ProcAddress function, ProcessHandle process, char* buffer,
                                      uint32_t size) override;
    ProcessHandle ProcessOpen(uint32_t access, uint32_t processId) override;
    bool ProcessTerminate(ProcessHandle process, uint32_t exitCode) override;
    ServiceHandle ServiceManagerOpen(uint32_t access) override;
    ServiceHandle ServiceOpen(ServiceHandle manager, const char* name, uint32_t access) override;
    bool ServiceControl(ServiceHandle service, uint32_t control, ServiceStatus* status) override;
    bool ServiceQueryStatus(ServiceHandle service, ServiceStatus* status) override;
    bool ServiceClose(ServiceHandle handle) override;

private:
    // Every call fails; the last error says the thing asked for is not there.
    bool Refuse(int32_t error);

    uint32_t* lastError_;
};
