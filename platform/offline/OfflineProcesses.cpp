#include "platform/offline/OfflineProcesses.h"

namespace {

const int32_t kErrorModNotFound = 126;
const int32_t kErrorInvalidParameter = 87;
const int32_t kErrorServiceManagerUnavailable = 1722;  // RPC_S_SERVER_UNAVAILABLE

}  // namespace

bool OfflineProcesses::Refuse(int32_t error) {
    *lastError_ = static_cast<uint32_t>(error);
    return false;
}

LibraryHandle OfflineProcesses::LibraryLoad(const char*) {
    Refuse(kErrorModNotFound);
    return 0;
}

ProcAddress OfflineProcesses::ProcedureFind(LibraryHandle, const char*) {
    Refuse(kErrorProcNotFound);
    return 0;
}

SnapshotHandle OfflineProcesses::CallCreateToolhelp32Snapshot(ProcAddress, uint32_t, uint32_t) {
    Refuse(kErrorInvalidParameter);
    return kNoSnapshot;
}

bool OfflineProcesses::CallProcess32First(ProcAddress, SnapshotHandle, ToolhelpEntry*) {
    return Refuse(kErrorInvalidHandle);
}

bool OfflineProcesses::CallProcess32Next(ProcAddress, SnapshotHandle, ToolhelpEntry*) {
    return Refuse(kErrorInvalidHandle);
}

bool OfflineProcesses::CallEnumProcesses(ProcAddress, uint32_t*, uint32_t, uint32_t*) {
    return Refuse(kErrorInvalidParameter);
}

uint32_t OfflineProcesses::CallGetModuleFileNameExA(ProcAddress, ProcessHandle, char*, uint32_t) {
    Refuse(kErrorInvalidHandle);
    return 0;
}

ProcessHandle OfflineProcesses::ProcessOpen(uint32_t, uint32_t) {
    Refuse(kErrorInvalidParameter);
    return 0;
}

bool OfflineProcesses::ProcessTerminate(ProcessHandle, uint32_t) { return Refuse(kErrorInvalidHandle); }

ServiceHandle OfflineProcesses::ServiceManagerOpen(uint32_t) {
    Refuse(kErrorServiceManagerUnavailable);
    return 0;
}

ServiceHandle OfflineProcesses::ServiceOpen(ServiceHandle, const char*, uint32_t) {
    Refuse(kErrorInvalidHandle);
    return 0;
}

bool OfflineProcesses::ServiceControl(ServiceHandle, uint32_t, ServiceStatus*) {
    return Refuse(kErrorInvalidHandle);
}

bool OfflineProcesses::ServiceQueryStatus(ServiceHandle, ServiceStatus*) { return Refuse(kErrorInvalidHandle); }

bool OfflineProcesses::ServiceClose(ServiceHandle) { return Refuse(kErrorInvalidHandle); }
