// Simulated processes and services, with the error codes of the real calls.
#include "sim/SimProcesses.h"

#include <cstdio>
#include <cstring>

#include "sim/SimFileSystem.h"
#include "sim/SimState.h"

using namespace simdetail;

namespace {

const LibraryHandle kFirstLibrary = 0x7100;
const ProcAddress kFirstFunction = 0x8000;

const char* const kLibraries[] = {"KERNEL32.DLL", "PSAPI.DLL"};

const struct {
    size_t library;  // index into kLibraries
    const char* name;
} kFunctions[] = {
    {0, "CreateToolhelp32Snapshot"},
    {0, "Process32First"},
    {0, "Process32Next"},
    {1, "EnumProcesses"},
    {1, "GetModuleFileNameExA"},
};

// LoadLibraryA adds ".DLL" to a name without an extension.
std::string LibraryKey(const std::string& name) {
    std::string key = UpperCase(name);
    if (key.find('.') == std::string::npos) key += ".DLL";
    return key;
}

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string WithoutExtension(const std::string& name) {
    size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

void FillEntry(ToolhelpEntry* entry, uint32_t id, const std::string& exeFile) {
    memset(entry, 0, sizeof *entry);
    entry->processId = id;
    snprintf(entry->exeFile, sizeof entry->exeFile, "%s", exeFile.c_str());
}

void FillStatus(const SimService& service, ServiceStatus* status) {
    status->currentState = service.state;
    status->checkPoint = static_cast<uint32_t>(service.reported);
    status->waitHint = service.waitHint;
}

}  // namespace

SimProcesses::SimProcesses(SimState& state, SimFileSystem& files) : state_(state), files_(files) {}

bool SimProcesses::Fail(int32_t error) {
    state_.lastError = static_cast<uint32_t>(error);
    return false;
}

// --- set-up ---------------------------------------------------------------------------

uint32_t SimProcesses::AddProcess(const ProcessSpec& spec) {
    SimProcess process;
    process.id = nextId_;
    nextId_ += 4;
    process.path = spec.path;
    process.instanceName = spec.instanceName.empty() ? WithoutExtension(BaseName(spec.path)) : spec.instanceName;
    process.needsDebugPrivilege = spec.needsDebugPrivilege;
    process.resistsTerminations = spec.resistsTerminations;
    process.refusesTermination = spec.refusesTermination;
    state_.processes.push_back(process);
    files_.LockFile(spec.path);  // a running program's file cannot be deleted
    return process.id;
}

void SimProcesses::EndProcess(uint32_t id) {
    SimProcess* process = state_.Process(id);
    if (!process || process->exited) return;
    process->exited = true;
    for (const SimProcess& other : state_.processes)
        if (!other.exited && SameTextIgnoringCase(other.path, process->path)) return;
    files_.UnlockFile(process->path);
}

void SimProcesses::ClearProcesses() {
    for (const SimProcess& process : state_.processes) files_.UnlockFile(process.path);
    state_.processes.clear();
    nextId_ = 8;
}

bool SimProcesses::IsRunning(uint32_t id) const {
    for (const SimProcess& process : state_.processes)
        if (process.id == id) return !process.exited;
    return false;
}

void SimProcesses::MissLibrary(const std::string& name) { state_.missingLibraries.insert(LibraryKey(name)); }
void SimProcesses::MissFunction(const std::string& name) { state_.missingFunctions.insert(name); }

void SimProcesses::AddService(const std::string& name, const std::vector<uint32_t>& afterStop, uint32_t waitHint) {
    SimService service;
    service.name = name;
    service.afterStop = afterStop;
    service.waitHint = waitHint;
    state_.services.push_back(service);
}

void SimProcesses::SetServiceState(const std::string& name, uint32_t newState) {
    if (SimService* service = state_.Service(name)) service->state = newState;
}

void SimProcesses::RefuseStop(const std::string& name) {
    if (SimService* service = state_.Service(name)) service->acceptsStop = false;
}

void SimProcesses::RemoveService(const std::string& name) {
    auto& services = state_.services;
    for (auto it = services.begin(); it != services.end(); ++it) {
        if (SameTextIgnoringCase(it->name, name)) {
            services.erase(it);
            return;
        }
    }
}

int SimProcesses::StopRequests(const std::string& name) const {
    for (const SimService& service : state_.services)
        if (SameTextIgnoringCase(service.name, name)) return service.stopRequests;
    return 0;
}

int SimProcesses::OpenProcessHandles() const {
    int count = 0;
    for (const auto& item : state_.kernelObjects) count += item.second.isSnapshot ? 0 : 1;
    return count;
}

int SimProcesses::OpenSnapshotHandles() const {
    return static_cast<int>(state_.kernelObjects.size()) - OpenProcessHandles();
}

int SimProcesses::OpenServiceHandles() const { return static_cast<int>(state_.serviceHandles.size()); }
int SimProcesses::FailedCloses() const { return state_.failedCloses; }

// --- run-time linking -----------------------------------------------------------------

LibraryHandle SimProcesses::LibraryLoad(const char* name) {
    std::string key = LibraryKey(name ? name : "");
    for (size_t i = 0; i < sizeof kLibraries / sizeof kLibraries[0]; ++i) {
        if (key == kLibraries[i] && !state_.missingLibraries.count(key)) return kFirstLibrary + i;
    }
    Fail(kErrorModNotFound);
    return 0;
}

ProcAddress SimProcesses::ProcedureFind(LibraryHandle library, const char* name) {
    for (size_t i = 0; i < sizeof kFunctions / sizeof kFunctions[0]; ++i) {
        // GetProcAddress matches names exactly, case included.
        if (library == kFirstLibrary + kFunctions[i].library && name && strcmp(name, kFunctions[i].name) == 0 &&
            !state_.missingFunctions.count(name))
            return kFirstFunction + i;
    }
    Fail(kErrorProcNotFound);
    return 0;
}

bool SimProcesses::HasHandleTo(uint32_t processId) const {
    for (const auto& item : state_.kernelObjects)
        if (!item.second.isSnapshot && item.second.processId == processId) return true;
    return false;
}

bool SimProcesses::IsFunction(ProcAddress function, const char* name) const {
    size_t index = function - kFirstFunction;
    return function >= kFirstFunction && index < sizeof kFunctions / sizeof kFunctions[0] &&
           strcmp(kFunctions[index].name, name) == 0;
}

// --- tool-help ------------------------------------------------------------------------

SnapshotHandle SimProcesses::CallCreateToolhelp32Snapshot(ProcAddress function, uint32_t flags, uint32_t) {
    if (!IsFunction(function, "CreateToolhelp32Snapshot") || !(flags & kSnapProcess)) {
        Fail(kErrorInvalidParameter);
        return kNoSnapshot;
    }
    KernelObject snapshot;
    snapshot.isSnapshot = true;
    for (const SimProcess& process : state_.processes) {
        if (process.exited) continue;
        // The 9x family gives the program's full path, NT only its file name.
        ToolhelpEntry entry;
        FillEntry(&entry, process.id, state_.NineX() ? process.path : BaseName(process.path));
        snapshot.entries.push_back(entry);
    }
    uintptr_t handle = state_.nextKernelObject;
    state_.nextKernelObject += 4;
    state_.kernelObjects[handle] = snapshot;
    return static_cast<SnapshotHandle>(handle);
}

bool SimProcesses::Walk(SnapshotHandle snapshot, ToolhelpEntry* entry, bool first) {
    auto found = state_.kernelObjects.find(static_cast<uintptr_t>(snapshot));
    if (found == state_.kernelObjects.end() || !found->second.isSnapshot) return Fail(kErrorInvalidHandle);
    KernelObject& object = found->second;
    if (first) object.next = 0;
    if (object.next >= object.entries.size()) return Fail(kErrorNoMoreFiles);
    *entry = object.entries[object.next++];
    return true;
}

bool SimProcesses::CallProcess32First(ProcAddress function, SnapshotHandle snapshot, ToolhelpEntry* entry) {
    if (!IsFunction(function, "Process32First")) return Fail(kErrorInvalidParameter);
    return Walk(snapshot, entry, true);
}

bool SimProcesses::CallProcess32Next(ProcAddress function, SnapshotHandle snapshot, ToolhelpEntry* entry) {
    if (!IsFunction(function, "Process32Next")) return Fail(kErrorInvalidParameter);
    return Walk(snapshot, entry, false);
}

// --- the process-status library --------------------------------------------------------

bool SimProcesses::CallEnumProcesses(ProcAddress function, uint32_t* ids, uint32_t bytes, uint32_t* bytesReturned) {
    if (!IsFunction(function, "EnumProcesses")) return Fail(kErrorInvalidParameter);
    // Like the real call, a buffer too small is filled and reported full.
    uint32_t room = bytes / 4, count = 0;
    for (const SimProcess& process : state_.processes) {
        if (process.exited || count == room) continue;
        ids[count++] = process.id;
    }
    *bytesReturned = count * 4;
    return true;
}

uint32_t SimProcesses::CallGetModuleFileNameExA(ProcAddress function, ProcessHandle process, char* buffer,
                                                uint32_t size) {
    if (!IsFunction(function, "GetModuleFileNameExA")) return Fail(kErrorInvalidParameter);
    auto found = state_.kernelObjects.find(process);
    if (found == state_.kernelObjects.end() || found->second.isSnapshot) return Fail(kErrorInvalidHandle);
    const uint32_t kNeeded = kProcessQueryInformation | kProcessVmRead;
    if ((found->second.access & kNeeded) != kNeeded) return Fail(kErrorAccessDenied);
    SimProcess* target = state_.Process(found->second.processId);
    if (!target || target->exited) return Fail(kErrorPartialCopy);
    if (size == 0) return Fail(kErrorInsufficientBuffer);
    // As on NT 5.1: a name that does not fit is cut to the buffer, with no zero.
    uint32_t length = static_cast<uint32_t>(target->path.size());
    if (length >= size) {
        memcpy(buffer, target->path.data(), size);
        state_.lastError = kErrorInsufficientBuffer;
        return size;
    }
    memcpy(buffer, target->path.c_str(), length + 1);
    return length;
}

// --- processes ----------------------------------------------------------------------------

ProcessHandle SimProcesses::ProcessOpen(uint32_t access, uint32_t processId) {
    if (onProcessOpen) onProcessOpen(processId);
    SimProcess* process = state_.Process(processId);
    // An ended process's object lives on only while some handle refers to it.
    if (!process || (process->exited && !HasHandleTo(processId))) {
        Fail(kErrorInvalidParameter);
        return 0;
    }
    if ((process->needsDebugPrivilege && !state_.debugPrivilegeOn) ||
        (process->refusesTermination && (access & kProcessTerminate))) {
        Fail(kErrorAccessDenied);
        return 0;
    }
    KernelObject object;
    object.processId = processId;
    object.access = access;
    uintptr_t handle = state_.nextKernelObject;
    state_.nextKernelObject += 4;
    state_.kernelObjects[handle] = object;
    return handle;
}

bool SimProcesses::ProcessTerminate(ProcessHandle handle, uint32_t) {
    auto found = state_.kernelObjects.find(handle);
    if (found == state_.kernelObjects.end() || found->second.isSnapshot) return Fail(kErrorInvalidHandle);
    if (!(found->second.access & kProcessTerminate)) return Fail(kErrorAccessDenied);
    SimProcess* process = state_.Process(found->second.processId);
    // A process that has already ended refuses, as on Windows.
    if (!process || process->exited) return Fail(kErrorAccessDenied);
    if (process->resistsTerminations > 0) {
        --process->resistsTerminations;
        return Fail(kErrorAccessDenied);
    }
    terminated.push_back(process->id);
    EndProcess(process->id);
    return true;
}

// --- services ---------------------------------------------------------------------------------

ServiceHandle SimProcesses::ServiceManagerOpen(uint32_t) {
    if (state_.NineX()) {
        Fail(kErrorCallNotImplemented);
        return 0;
    }
    if (refuseServiceManager) {
        Fail(kErrorAccessDenied);
        return 0;
    }
    ServiceHandle handle = state_.nextServiceHandle;
    state_.nextServiceHandle += 4;
    state_.serviceHandles[handle] = {true, ""};
    return handle;
}

ServiceHandle SimProcesses::ServiceOpen(ServiceHandle manager, const char* name, uint32_t) {
    auto found = state_.serviceHandles.find(manager);
    if (found == state_.serviceHandles.end() || !found->second.isManager) {
        Fail(kErrorInvalidHandle);
        return 0;
    }
    SimService* service = state_.Service(name ? name : "");
    if (!service) {
        Fail(kErrorServiceDoesNotExist);
        return 0;
    }
    ServiceHandle handle = state_.nextServiceHandle;
    state_.nextServiceHandle += 4;
    state_.serviceHandles[handle] = {false, service->name};
    return handle;
}

bool SimProcesses::ServiceControl(ServiceHandle handle, uint32_t control, ServiceStatus* status) {
    auto found = state_.serviceHandles.find(handle);
    if (found == state_.serviceHandles.end() || found->second.isManager) return Fail(kErrorInvalidHandle);
    SimService* service = state_.Service(found->second.service);
    if (!service) return Fail(kErrorServiceDoesNotExist);
    if (control != kServiceControlStop) return Fail(kErrorInvalidParameter);
    ++service->stopRequests;
    if (service->state == kServiceStopped) return Fail(kErrorServiceNotActive);
    if (!service->acceptsStop) return Fail(kErrorInvalidServiceControl);
    service->state = service->afterStop.empty() ? kServiceStopped : service->afterStop[0];
    service->reported = 1;
    FillStatus(*service, status);
    return true;
}

bool SimProcesses::ServiceQueryStatus(ServiceHandle handle, ServiceStatus* status) {
    auto found = state_.serviceHandles.find(handle);
    if (found == state_.serviceHandles.end() || found->second.isManager) return Fail(kErrorInvalidHandle);
    SimService* service = state_.Service(found->second.service);
    if (!service) return Fail(kErrorServiceDoesNotExist);
    if (service->reported > 0 && service->reported < service->afterStop.size())
        service->state = service->afterStop[service->reported++];
    FillStatus(*service, status);
    return true;
}

bool SimProcesses::ServiceClose(ServiceHandle handle) {
    if (state_.serviceHandles.erase(handle)) return true;
    ++state_.failedCloses;
    return Fail(kErrorInvalidHandle);
}
