#include "memory/ProcessChecks.h"

#include <cstring>

#include "common/Shared.h"
#include "engine/WalkTree.h"
#include "memory/ProcessKill.h"
#include "memory/ProcessList.h"
#include "memory/ServiceStop.h"
#include "repair/ServiceKeys.h"

namespace {

bool Terminate(uint32_t processId) { return TerminateById(processId, kTerminateAccess); }

// Has the file checker look at the program file; a file that cannot be read
// counts as not infected.
bool ProgramFileInfected(const char* path) {
    if (SysFiles().FileAccess(path, kAccessRead) != 0) {
        Shared.MemoryHit = 0;
        return false;
    }
    WalkTree(path);
    return Shared.MemoryHit != 0;
}

// The walk once more in kill-confirmation mode: the checker removes the file.
void RemoveProgramFile(const char* path) {
    Shared.KillActionCode = Shared.ActionCode;
    WalkTree(path);
    Shared.KillActionCode = 0;
}

bool HasServices() {
    int generation = GetNtGeneration();
    return generation == kGenerationNt4 || generation == kGenerationNt5;
}

// When the second termination failed: the service of the same name is
// stopped and its keys removed either way. True when it stopped.
bool StopServiceOf(const char* path) {
    char serviceName[kPathSize];
    ServiceNameOf(path, serviceName, sizeof serviceName);
    bool stopped = StopNamedService(serviceName) == 1;
    RemoveServiceKeys(serviceName);
    if (!stopped) Shared.MemoryRestartNeeded = 1;
    return stopped;
}

void CleanInfectedProcess(const ProcessRecord& record) {
    bool firstTerminated = Terminate(record.processId);
    // On Windows a second termination of a process that has just ended fails,
    // so the service step follows also after a successful first termination.
    if (Terminate(record.processId)) {
        RemoveProgramFile(record.path);
        return;
    }
    bool serviceStopped = HasServices() && StopServiceOf(record.path);
    if (serviceStopped || firstTerminated) RemoveProgramFile(record.path);
}

bool DisinfectingAction() {
    int32_t action = Shared.ActionCode;
    return action == kActionDelete || action == kActionRename || action == kActionDeleteToo;
}

}  // namespace

void ServiceNameOf(const char* path, char* name, size_t size) {
    const char* slash = strrchr(path, '\\');
    CopyText(name, size, slash == nullptr ? path : slash + 1);
    char* dot = strrchr(name, '.');
    if (dot != nullptr) *dot = '\0';
}

void CheckProcesses9x() {
    ProcessRecord* list = ListProcesses9x();
    for (ProcessRecord* record = list; record != nullptr; record = record->next) {
        if (!ProgramFileInfected(record->path) || Shared.ActionCode == kActionLeave) continue;
        Terminate(record->processId);  // whether it ended shows in the checker's own result line
        RemoveProgramFile(record->path);
    }
    FreeProcessList(list);
}

int CheckProcessesNt() {
    ProcessRecord* list = nullptr;
    if (!ListProcessesNt(true, &list)) return 0;
    int found = 0;
    for (ProcessRecord* record = list; record != nullptr; record = record->next) {
        if (!ProgramFileInfected(record->path)) continue;
        found = 1;
        if (DisinfectingAction()) CleanInfectedProcess(*record);
    }
    FreeProcessList(list);
    return found;
}
