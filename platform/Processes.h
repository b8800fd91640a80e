// Processes and services: listing, terminating and stopping them.
//
// The tool-help and process-status functions are not linked: the cleaner
// loads their library and looks each function up by name where it uses it,
// so that a system without them still starts the program. The Call* methods
// call such a looked-up function; each takes what ProcedureFind gave for the
// function of its name. Process and snapshot handles are closed with
// Session::HandleClose (CloseHandle), service handles with ServiceClose.
#pragma once

#include <cstdint>

#include "platform/Errors.h"
#include "platform/FileSystem.h"

typedef uintptr_t LibraryHandle;  // 0 when not loaded
typedef uintptr_t ProcAddress;    // 0 when not found
typedef uintptr_t ProcessHandle;  // 0 when not opened
typedef intptr_t SnapshotHandle;
const SnapshotHandle kNoSnapshot = -1;  // INVALID_HANDLE_VALUE
typedef uintptr_t ServiceHandle;  // 0 when not opened

const uint32_t kSnapProcess = 0x2;  // TH32CS_SNAPPROCESS
const uint32_t kProcessTerminate = 0x0001;
const uint32_t kProcessVmRead = 0x0010;
const uint32_t kProcessQueryInformation = 0x0400;

const uint32_t kScManagerAllAccess = 0xF003F;
const uint32_t kServiceControlStop = 1;
const uint32_t kServiceStopped = 1;
const uint32_t kServiceStartPending = 2;
const uint32_t kServiceStopPending = 3;
const uint32_t kServiceRunning = 4;

// What the cleaner reads of a tool-help process entry. The Win32 side hands
// the system its own entry structure, whose size differs between a 32-bit
// (296 bytes) and a 64-bit (304 bytes) program.
struct ToolhelpEntry {
    uint32_t processId;
    char exeFile[kPathSize];  // always zero-ended
};

// What the cleaner reads of SERVICE_STATUS.
struct ServiceStatus {
    uint32_t currentState;
    uint32_t checkPoint;
    uint32_t waitHint;  // milliseconds
};

class Processes {
public:
    virtual ~Processes() {}

    // LoadLibraryA and GetProcAddress. Libraries are never released.
    virtual LibraryHandle LibraryLoad(const char* name) = 0;
    virtual ProcAddress ProcedureFind(LibraryHandle library, const char* name) = 0;

    // Tool-help, through "CreateToolhelp32Snapshot", "Process32First", "Process32Next".
    virtual SnapshotHandle CallCreateToolhelp32Snapshot(ProcAddress function, uint32_t flags,
                                                        uint32_t processId) = 0;
    virtual bool CallProcess32First(ProcAddress function, SnapshotHandle snapshot, ToolhelpEntry* entry) = 0;
    virtual bool CallProcess32Next(ProcAddress function, SnapshotHandle snapshot, ToolhelpEntry* entry) = 0;
    // The process-status library, through "EnumProcesses" and "GetModuleFileNameExA".
    virtual bool CallEnumProcesses(ProcAddress function, uint32_t* ids, uint32_t bytes,
                                   uint32_t* bytesReturned) = 0;
    virtual uint32_t CallGetModuleFileNameExA(ProcAddress function, ProcessHandle process, char* buffer,
                                              uint32_t size) = 0;

    // OpenProcess (0 on failure, LastError tells why) and TerminateProcess.
    virtual ProcessHandle ProcessOpen(uint32_t access, uint32_t processId) = 0;
    virtual bool ProcessTerminate(ProcessHandle process, uint32_t exitCode) = 0;

    // The service control manager of this machine and its active database.
    virtual ServiceHandle ServiceManagerOpen(uint32_t access) = 0;
    virtual ServiceHandle ServiceOpen(ServiceHandle manager, const char* name, uint32_t access) = 0;
    // ControlService; the status is filled when the call succeeds.
    virtual bool ServiceControl(ServiceHandle service, uint32_t control, ServiceStatus* status) = 0;
    virtual bool ServiceQueryStatus(ServiceHandle service, ServiceStatus* status) = 0;
    virtual bool ServiceClose(ServiceHandle handle) = 0;
};
