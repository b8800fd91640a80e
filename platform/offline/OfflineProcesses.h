// Processes and services of a Windows volume that is not running: there are
// none. No library loads, no service manager opens and nothing can be
// opened, terminated or stopped, so the memory pass finds nothing. Every
// call fails, its last error saying that what was asked for is not there.
#pragma once

#include <cstdint>

#include "platform/Processes.h"

class OfflineProcesses : public Processes {
public:
    explicit OfflineProcesses(uint32_t* lastError) : lastError_(lastError) {}

    LibraryHandle LibraryLoad(const char*) override { return Refuse(kErrorModNotFound, 0); }
    ProcAddress ProcedureFind(LibraryHandle, const char*) override { return Refuse(kErrorProcNotFound, 0); }
    SnapshotHandle CallCreateToolhelp32Snapshot(ProcAddress, uint32_t, uint32_t) override {
        return Refuse(kErrorInvalidParameter, kNoSnapshot);
    }
    bool CallProcess32First(ProcAddress, SnapshotHandle, ToolhelpEntry*) override { return NoHandle(); }
    bool CallProcess32Next(ProcAddress, SnapshotHandle, ToolhelpEntry*) override { return NoHandle(); }
    bool CallEnumProcesses(ProcAddress, uint32_t*, uint32_t, uint32_t*) override {
        return Refuse(kErrorInvalidParameter, false);
    }
    uint32_t CallGetModuleFileNameExA(ProcAddress, ProcessHandle, char*, uint32_t) override {
        return Refuse(kErrorInvalidHandle, 0);
    }
    ProcessHandle ProcessOpen(uint32_t, uint32_t) override { return Refuse(kErrorInvalidParameter, 0); }
    bool ProcessTerminate(ProcessHandle, uint32_t) override { return NoHandle(); }
    ServiceHandle ServiceManagerOpen(uint32_t) override { return Refuse(kErrorServiceManagerUnavailable, 0); }
    ServiceHandle ServiceOpen(ServiceHandle, const char*, uint32_t) override { return Refuse(kErrorInvalidHandle, 0); }
    bool ServiceControl(ServiceHandle, uint32_t, ServiceStatus*) override { return NoHandle(); }
    bool ServiceQueryStatus(ServiceHandle, ServiceStatus*) override { return NoHandle(); }
    bool ServiceClose(ServiceHandle) override { return NoHandle(); }

private:
    template <typename Answer>
    Answer Refuse(int32_t error, Answer answer) {
        *lastError_ = static_cast<uint32_t>(error);
        return answer;
    }
    bool NoHandle() { return Refuse(kErrorInvalidHandle, false); }

    uint32_t* lastError_;
};
