// Simulated processes and services: a process table the tests fill, the
// tool-help and process-status answers drawn from it (full paths in the 9x
// family's tool-help, base names on NT, as the real systems give them), and
// services that follow a scripted sequence of states once asked to stop. The
// performance data built from the same table is the registry's (SimRegistry).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Processes.h"

namespace simdetail {
struct SimState;
}
class SimFileSystem;

class SimProcesses : public Processes {
public:
    SimProcesses(simdetail::SimState& state, SimFileSystem& files);

    // --- set-up and inspection used by the tests ------------------------------
    struct ProcessSpec {
        std::string path;
        std::string instanceName;  // empty: the file's name without its extension
        bool needsDebugPrivilege = false;
        int resistsTerminations = 0;
        bool refusesTermination = false;  // its security lets nobody terminate it
    };
    // Starts a process running the program file at path (which then cannot be
    // deleted while it runs); returns its id. Ids rise in steps of 4 from 8.
    // The 9x family has no service manager: OpenSCManagerA is not implemented there.
    uint32_t AddProcess(const ProcessSpec& spec);
    uint32_t AddProcess(const std::string& path) { return AddProcess(ProcessSpec{path, "", false, 0, false}); }
    // The process ends by itself (as one that exits between listing and opening).
    void EndProcess(uint32_t id);
    // Every process gone (their files unlocked), ids from 8 again.
    void ClearProcesses();
    bool IsRunning(uint32_t id) const;
    std::vector<uint32_t> terminated;  // ids, in the order they were ended by TerminateProcess

    // A library LoadLibraryA cannot find, or a function GetProcAddress cannot.
    void MissLibrary(const std::string& name);
    void MissFunction(const std::string& name);

    // A service (running) that reports the states of afterStop once asked to
    // stop: the stop control's answer first, then one per status query, the
    // last one again and again.
    void AddService(const std::string& name, const std::vector<uint32_t>& afterStop, uint32_t waitHint = 0);
    void SetServiceState(const std::string& name, uint32_t state);
    void RefuseStop(const std::string& name);  // the service does not accept the stop control
    int StopRequests(const std::string& name) const;
    void RemoveService(const std::string& name);
    bool refuseServiceManager = false;  // OpenSCManagerA fails (access denied)
    // Called with the id before every OpenProcess, so a test can end the
    // process between its listing and its opening.
    std::function<void(uint32_t processId)> onProcessOpen;

    // Handles open right now, and CloseHandle calls on handles that were not open.
    int OpenProcessHandles() const;
    int OpenSnapshotHandles() const;
    int OpenServiceHandles() const;
    int FailedCloses() const;

    // --- Processes ----------------------------------------------------------
    LibraryHandle LibraryLoad(const char* name) override;
    ProcAddress ProcedureFind(LibraryHandle library, const char* name) override;
    SnapshotHandle CallCreateToolhelp32Snapshot(ProcAddress function, uint32_t flags, uint32_t processId) override;
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
    bool Fail(int32_t error);
    bool IsFunction(ProcAddress function, const char* name) const;
    bool HasHandleTo(uint32_t processId) const;
    bool Walk(SnapshotHandle snapshot, ToolhelpEntry* entry, bool first);

    simdetail::SimState& state_;
    SimFileSystem& files_;
    uint32_t nextId_ = 8;
};
