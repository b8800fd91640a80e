#include "memory/ProcessKill.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>

#include "common/Shared.h"
#include "memory/PerfData.h"
#include "memory/ProcessList.h"

namespace {

const uint32_t kToolhelpPauseMs = 100;
const uint32_t kBeforeTerminationMs = 50;
const uint32_t kAfterTerminationMs = 500;
// The counter names live under perflib\009: the language id of English, in
// three hexadecimal digits.
const char kPerflibKey[] = "software\\microsoft\\windows nt\\currentversion\\perflib";
const unsigned kEnglishLanguageId = 9;
const uint32_t kFirstPerfBuffer = 51200;
const uint32_t kPerfBufferStep = 25600;
// A system that keeps answering "more data" is not followed past this.
const uint32_t kLargestPerfBuffer = 16u << 20;

const char* AfterLastBackslash(const char* path) {
    const char* slash = strrchr(path, '\\');
    return slash == nullptr ? path : slash + 1;
}

bool SameTextIgnoringCase(const char* a, const char* b, size_t length) {
    for (size_t i = 0; i < length; ++i)
        if (toupper(static_cast<unsigned char>(a[i])) != toupper(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

// --- tool-help ---------------------------------------------------------------------

bool EntryRunsFile(const ToolhelpEntry& entry, const char* target) {
    const char* name = AfterLastBackslash(entry.exeFile);
    size_t length = strlen(target);
    return strlen(name) == length && SameTextIgnoringCase(name, target, length);
}

// The first entry of the snapshot (the very first included) that runs target.
bool FindEntryByName(LibraryHandle kernel, SnapshotHandle snapshot, ToolhelpEntry* entry, const char* target) {
    ProcAddress first = SysProcesses().ProcedureFind(kernel, "Process32First");
    if (first == 0 || !SysProcesses().CallProcess32First(first, snapshot, entry)) return false;
    while (!EntryRunsFile(*entry, target)) {
        ProcAddress next = SysProcesses().ProcedureFind(kernel, "Process32Next");
        if (next == 0) return false;
        SysSession().SleepFor(kToolhelpPauseMs);
        if (!SysProcesses().CallProcess32Next(next, snapshot, entry)) return false;
        SysSession().SleepFor(kToolhelpPauseMs);
    }
    return true;
}

int TerminateSnapshotMatch(LibraryHandle kernel, ToolhelpEntry* entry, const char* target) {
    SnapshotHandle snapshot = TakeProcessSnapshot(kernel);
    SysSession().SleepFor(kToolhelpPauseMs);
    if (snapshot == kNoSnapshot) return 0;
    int result = 0;
    if (FindEntryByName(kernel, snapshot, entry, target)) {
        SysSession().SleepFor(kBeforeTerminationMs);
        result = TerminateById(entry->processId, kTerminateAccess) ? 1 : 0;
        SysSession().SleepFor(kAfterTerminationMs);
    }
    SysSession().HandleClose(static_cast<uintptr_t>(snapshot));
    return result;
}

// --- performance data --------------------------------------------------------------

// The file's name without directory and without its last four characters
// (a dot and a three-letter extension); false when the path is too short.
bool PerfTargetName(const char* path, char* target, size_t size) {
    char copy[kPathSize];
    if (!CopyText(copy, sizeof copy, path)) return false;
    size_t length = strlen(copy);
    if (length <= 4) return false;
    copy[length - 4] = '\0';
    for (char* c = copy; *c; ++c) *c = static_cast<char>(toupper(static_cast<unsigned char>(*c)));
    return CopyText(target, size, AfterLastBackslash(copy));
}

// The process object's index text and the ID Process counter's index, from
// the "Counters" list of the open perflib key.
bool ReadCounterIndexes(RegKey perflib, char* objectIndex, size_t indexSize, uint32_t* idProcessIndex) {
    uint32_t size = 0;
    if (SysRegistry().KeyQueryValue(perflib, "Counters", nullptr, nullptr, &size) != kErrorSuccess) return false;
    char* list = new (std::nothrow) char[size + 1];
    if (list == nullptr) return false;
    memset(list, 0, size + 1);
    uint32_t got = size;
    bool found = SysRegistry().KeyQueryValue(perflib, "Counters", nullptr, reinterpret_cast<uint8_t*>(list),
                                             &got) == kErrorSuccess &&
                 FindProcessCounterIndexes(list, got < size ? got : size, objectIndex, indexSize, idProcessIndex);
    delete[] list;
    return found;
}

// The performance data of the object named by objectIndex, in a buffer that
// grows until it holds them. Null on failure; *length is the bytes returned.
uint8_t* QueryPerformanceData(const char* objectIndex, uint32_t* length) {
    uint32_t bufferSize = kFirstPerfBuffer;
    for (;;) {
        uint8_t* buffer = new (std::nothrow) uint8_t[bufferSize];
        if (buffer == nullptr) return nullptr;
        memset(buffer, 0, bufferSize);
        uint32_t size = bufferSize;
        int32_t result = SysRegistry().KeyQueryValue(kHkeyPerformanceData, objectIndex, nullptr, buffer, &size);
        if (result == kErrorSuccess) {
            *length = size < bufferSize ? size : bufferSize;
            return buffer;
        }
        delete[] buffer;
        if (result != kErrorMoreData) return nullptr;
        // What the system leaves in the size is not defined: never grow from less than the buffer had.
        uint32_t grown = (size > bufferSize ? size : bufferSize);
        if (grown > kLargestPerfBuffer - kPerfBufferStep) return nullptr;
        bufferSize = grown + kPerfBufferStep;
    }
}

// The process instances of the performance data; -1 when they cannot be read.
int ReadProcessInstances(PerfProcessEntry* entries) {
    char keyName[kPathSize];
    snprintf(keyName, sizeof keyName, "%s\\%03x", kPerflibKey, kEnglishLanguageId);
    RegKey perflib = 0;
    if (SysRegistry().KeyOpen(kHkeyLocalMachine, keyName, kKeyRead, &perflib) != kErrorSuccess) return -1;
    char objectIndex[32];
    uint32_t idProcessIndex = 0;
    uint8_t* block = nullptr;
    uint32_t length = 0;
    if (ReadCounterIndexes(perflib, objectIndex, sizeof objectIndex, &idProcessIndex))
        block = QueryPerformanceData(objectIndex, &length);
    SysRegistry().KeyClose(perflib);
    SysRegistry().KeyClose(kHkeyPerformanceData);
    if (block == nullptr) return -1;
    int count = length == 0 ? -1 : ReadPerfProcesses(block, length, idProcessIndex, entries, kPerfEntriesUsed);
    delete[] block;
    return count;
}

// The comparison covers exactly the target's length: NOTEPAD matches notepad2.
bool InstanceMatches(const PerfProcessEntry& entry, const char* target) {
    size_t length = strlen(target);
    return length > 0 && strlen(entry.name) >= length && SameTextIgnoringCase(entry.name, target, length);
}

}  // namespace

bool TerminateById(uint32_t processId, uint32_t access) {
    ProcessHandle process = SysProcesses().ProcessOpen(access, processId);
    if (process == 0) return false;
    bool terminated = SysProcesses().ProcessTerminate(process, 0);
    SysSession().HandleClose(process);
    return terminated;
}

int KillByNameToolhelp(const char* path) {
    const char* target = AfterLastBackslash(path);
    LibraryHandle kernel = SysProcesses().LibraryLoad("Kernel32.dll");
    SysSession().SleepFor(kToolhelpPauseMs);
    if (kernel == 0) return 0;
    ToolhelpEntry* entry = new (std::nothrow) ToolhelpEntry;
    if (entry == nullptr) return 0;
    memset(entry, 0, sizeof *entry);
    int result = TerminateSnapshotMatch(kernel, entry, target);
    delete entry;
    return result;
}

int KillByNamePerfData(const char* path) {
    char target[kPathSize];
    if (!PerfTargetName(path, target, sizeof target)) return 0;
    PerfProcessEntry* entries = new (std::nothrow) PerfProcessEntry[kPerfEntrySlots];
    if (entries == nullptr) return 0;
    memset(entries, 0, sizeof(PerfProcessEntry) * kPerfEntrySlots);
    int count = ReadProcessInstances(entries);
    int result = 0;
    for (int i = 0; i < count; ++i) {
        if (!InstanceMatches(entries[i], target)) continue;
        if (TerminateById(entries[i].processId, kProcessTerminate)) result = 1;
        SysSession().SleepFor(kAfterTerminationMs);
    }
    delete[] entries;
    return result;
}

bool KillByPathPsapi(const char* path) {
    ProcessRecord* list = nullptr;
    if (!ListProcessesNt(false, &list)) return false;
    size_t length = strlen(path);
    for (ProcessRecord* record = list; record != nullptr; record = record->next) {
        if (strlen(record->path) != length || !SameTextIgnoringCase(record->path, path, length)) continue;
        if (TerminateById(record->processId, kTerminateAccess)) SysSession().SleepFor(kAfterTerminationMs);
    }
    FreeProcessList(list);
    return true;
}
