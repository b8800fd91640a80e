#include "memory/ProcessList.h"

#include <cstring>
#include <new>

#include "common/Shared.h"

namespace {

const uint32_t kIdBufferBytes = 4096;  // 1024 processes at most
const uint32_t kIdBufferCount = kIdBufferBytes / sizeof(uint32_t);
const uint32_t kListingAccess = kProcessQueryInformation | kProcessVmRead;
const uint32_t kTokenAdjustPrivileges = 0x20;
const uint32_t kTokenQuery = 0x08;

ProcessRecord* NewRecord(uint32_t processId, const char* path, size_t length) {
    ProcessRecord* record = new (std::nothrow) ProcessRecord;
    if (record == nullptr) return nullptr;
    memset(record, 0, sizeof *record);
    record->processId = processId;
    memcpy(record->path, path, length);  // the zero-filled record ends it
    return record;
}

// Appends a record for one tool-help entry; false when it cannot be allocated.
bool AppendEntry(ProcessRecord*** tail, const ToolhelpEntry& entry) {
    ProcessRecord* record = NewRecord(entry.processId, entry.exeFile, strnlen(entry.exeFile, kPathSize - 1));
    if (record == nullptr) return false;
    **tail = record;
    *tail = &record->next;
    return true;
}

// The snapshot's entries after the first; false when Process32Next cannot be
// found or a record cannot be allocated.
bool ListRemainingEntries(LibraryHandle kernel, SnapshotHandle snapshot, ToolhelpEntry* entry,
                          ProcessRecord*** tail) {
    for (;;) {
        ProcAddress next = SysProcesses().ProcedureFind(kernel, "Process32Next");
        if (next == 0) return false;
        if (!SysProcesses().CallProcess32Next(next, snapshot, entry)) return true;
        if (!AppendEntry(tail, *entry)) return false;
    }
}

ProcessRecord* ListSnapshot(LibraryHandle kernel, SnapshotHandle snapshot, ToolhelpEntry* entry) {
    ProcAddress first = SysProcesses().ProcedureFind(kernel, "Process32First");
    if (first == 0 || !SysProcesses().CallProcess32First(first, snapshot, entry)) return nullptr;
    ProcessRecord* list = nullptr;
    ProcessRecord** tail = &list;
    if (!AppendEntry(&tail, *entry) || !ListRemainingEntries(kernel, snapshot, entry, &tail)) {
        FreeProcessList(list);
        return nullptr;
    }
    return list;
}

// Asked again for every process that refuses access. A token that cannot be
// opened is announced in the system's box, and the listing goes on.
void EnableDebugPrivilege() {
    TokenHandle token = 0;
    if (!SysSession().TokenOpenOwn(kTokenAdjustPrivileges | kTokenQuery, &token)) {
        // Terse, but the box this program has always shown here: whoever
        // reports a failed debug privilege quotes these words. An unattended
        // run logs it as a message line instead.
        SysSession().SystemMessageBox(0, "false", "TEMP", 0);
        return;
    }
    uint64_t luid = 0;
    SysSession().PrivilegeLookup("SeDebugPrivilege", &luid);
    SysSession().PrivilegeEnable(token, luid);
    SysSession().HandleClose(token);
}

ProcessHandle OpenForListing(uint32_t processId, bool withDebugPrivilege) {
    ProcessHandle process = SysProcesses().ProcessOpen(kListingAccess, processId);
    if (process != 0 || !withDebugPrivilege) return process;
    if (SysSession().LastError() != static_cast<uint32_t>(kErrorAccessDenied)) return 0;
    EnableDebugPrivilege();
    return SysProcesses().ProcessOpen(kListingAccess, processId);
}

// The program file of one process, or 0 when it cannot be named.
uint32_t ProgramFileOf(ProcAddress moduleFileName, uint32_t processId, bool withDebugPrivilege,
                       char (&name)[kPathSize]) {
    ProcessHandle process = OpenForListing(processId, withDebugPrivilege);
    if (process == 0) return 0;
    memset(name, 0, sizeof name);
    uint32_t length = SysProcesses().CallGetModuleFileNameExA(moduleFileName, process, name, sizeof name);
    SysSession().HandleClose(process);
    // A name cut to the buffer comes without its zero on some systems.
    return length == 0 ? 0 : static_cast<uint32_t>(strnlen(name, sizeof name - 1));
}

}  // namespace

SnapshotHandle TakeProcessSnapshot(LibraryHandle kernel) {
    ProcAddress create = SysProcesses().ProcedureFind(kernel, "CreateToolhelp32Snapshot");
    if (create == 0) return kNoSnapshot;
    return SysProcesses().CallCreateToolhelp32Snapshot(create, kSnapProcess, 0);
}

void FreeProcessList(ProcessRecord* list) {
    while (list != nullptr) {
        ProcessRecord* next = list->next;
        delete list;
        list = next;
    }
}

ProcessRecord* ListProcesses9x() {
    LibraryHandle kernel = SysProcesses().LibraryLoad("Kernel32.dll");
    if (kernel == 0) return nullptr;
    ToolhelpEntry* entry = new (std::nothrow) ToolhelpEntry;
    if (entry == nullptr) return nullptr;
    memset(entry, 0, sizeof *entry);
    ProcessRecord* list = nullptr;
    SnapshotHandle snapshot = TakeProcessSnapshot(kernel);
    if (snapshot != kNoSnapshot) {
        list = ListSnapshot(kernel, snapshot, entry);
        SysSession().HandleClose(static_cast<uintptr_t>(snapshot));
    }
    delete entry;
    return list;
}

bool ListProcessesNt(bool withDebugPrivilege, ProcessRecord** list) {
    *list = nullptr;
    LibraryHandle psapi = SysProcesses().LibraryLoad("psapi.dll");
    if (psapi == 0) return false;
    ProcAddress enumProcesses = SysProcesses().ProcedureFind(psapi, "EnumProcesses");
    if (enumProcesses == 0) return false;
    uint32_t ids[kIdBufferCount];
    memset(ids, 0, sizeof ids);
    uint32_t bytes = 0;
    SysProcesses().CallEnumProcesses(enumProcesses, ids, sizeof ids, &bytes);
    uint32_t count = bytes / sizeof(uint32_t);
    if (count > kIdBufferCount) count = kIdBufferCount;
    if (count == 0) return false;
    ProcAddress moduleFileName = SysProcesses().ProcedureFind(psapi, "GetModuleFileNameExA");
    if (moduleFileName == 0) return false;

    ProcessRecord** tail = list;
    for (uint32_t i = 0; i < count; ++i) {
        char name[kPathSize];
        uint32_t length = ProgramFileOf(moduleFileName, ids[i], withDebugPrivilege, name);
        if (length == 0) continue;
        ProcessRecord* record = NewRecord(ids[i], name, length);
        if (record == nullptr) {
            FreeProcessList(*list);
            *list = nullptr;
            return true;
        }
        *tail = record;
        tail = &record->next;
    }
    return true;
}
