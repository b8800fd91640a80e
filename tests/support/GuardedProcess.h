// Starting a program whose process others may not terminate (Windows only):
// its security allows others to query it and read its memory, which is what
// naming its program file takes, but not PROCESS_TERMINATE; or nothing at
// all. The handle returned to the starter keeps every right.
#pragma once

#include <windows.h>

#include <cstdio>

enum class ProcessGuard { kNone, kNoTermination, kNoAccess };

// Starts commandLine; the process handle in *process (the caller closes it),
// 0 as the result when it could not be started.
inline DWORD StartGuardedProgram(const char* commandLine, ProcessGuard guard, HANDLE* process) {
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = NULL;
    if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) return 0;
    union {
        ACL acl;
        BYTE bytes[256];
    } dacl;
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    InitializeAcl(&dacl.acl, sizeof dacl, ACL_REVISION);
    // Newer systems add PROCESS_QUERY_LIMITED_INFORMATION (0x1000) to a query.
    if (guard == ProcessGuard::kNoTermination)
        AddAccessAllowedAce(&dacl.acl, ACL_REVISION, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE | 0x1000,
                            everyone);
    SetSecurityDescriptorDacl(&descriptor, TRUE, &dacl.acl, FALSE);
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};

    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    char line[1024];
    snprintf(line, sizeof line, "%s", commandLine);
    BOOL started = CreateProcessA(NULL, line, guard == ProcessGuard::kNone ? NULL : &attributes, NULL, FALSE, 0,
                                  NULL, NULL, &startup, &info);
    FreeSid(everyone);
    if (!started) return 0;
    CloseHandle(info.hThread);
    *process = info.hProcess;
    return info.dwProcessId;
}
