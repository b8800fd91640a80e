#include "engine/Disposition.h"

#include <cstdio>
#include <cstring>

#include "common/Shared.h"
#include "engine/FileMatcher.h"
#include "engine/ScanServices.h"

namespace {

void PostRemoved(const char* path, const char* name) {
    ++FilesRemoved;
    PostLogLine("%s     %s removed", path, name);
}

void DeleteInfectedFile(const char* path, const char* name) {
    // Read-only, hidden and system files refuse deletion until reset.
    if (!SysFiles().SetAttributes(path, kAttrArchive)) {
        // From the status line, not from path and name, on purpose: in the kill
        // confirmation it shows the walk's shortened path and the matched name.
        PostLogLine("%s     %s Unable to remove", StatusText, LastDetectionName);
        return;
    }
    if (SysFiles().DeletePath(path)) {
        PostRemoved(path, name);
        return;
    }
    // Most often the file is the program of a running process.
    if (ActiveScanServices.killProcessOfFile(path) != 0 && SysFiles().DeletePath(path)) {
        PostRemoved(path, name);
        return;
    }
    PostLogLine("%s     %s Unable to remove", path, name);
    RestartNeeded = ActiveScanServices.scheduleDeleteAtRestart(path);
    if (RestartNeeded != 0) ++FilesScheduled;
}

void RenameInfectedFile(const char* path, const char* name) {
    char target[kPathSize];
    if (MakeRenameTarget(path, target, sizeof target) && SysFiles().MovePath(path, target)) {
        ++FilesRenamed;
        PostLogLine("%s     %s renamed", path, name);
    } else {
        PostLogLine("%s     %s Rename failed", path, name);
    }
}

void ForgetCurrentFile() { memset(CurrentFilePath, 0, sizeof CurrentFilePath); }

int ConfirmKill(const char* tag, const char* path) {
    ActionCode = KillActionCode;
    PostLogLine("System Memory    W32/Drovak.Trojan removed");
    SysSession().SleepFor(kKillConfirmationPauseMs);
    DisposeInfectedFile(path, tag);
    ForgetCurrentFile();
    return 0;
}

}  // namespace

bool MakeRenameTarget(const char* path, char* target, size_t size) {
    if (!CopyText(target, size, path)) return false;
    char* dot = strrchr(target, '.');
    if (dot != nullptr && dot[1] != '\0') {
        dot[1] = 'V';
        return true;
    }
    // Nothing follows a "." to replace: append, so the new name still differs.
    if (AppendText(target, size, dot != nullptr ? "V" : ".V")) return true;
    target[0] = '\0';
    return false;
}

void DisposeInfectedFile(const char* path, const char* detectionName) {
    switch (ActionCode) {
        case kActionDelete:
        case kActionDeleteToo:
            DeleteInfectedFile(path, detectionName);
            break;
        case kActionRename:
            RenameInfectedFile(path, detectionName);
            break;
        case kActionLeave:
            // From the status line on purpose, as the attribute failure's line.
            PostLogLine("%s     %s not disinfected as per user's selection", StatusText,
                        LastDetectionName);
            break;
        default:
            break;
    }
}

int CheckAndCleanFile(const char* tag, const char* path) {
    if (KillActionCode != 0 && MainWindowHandle != 0) return ConfirmKill(tag, path);
    if (FilesInfected == 0) memset(RememberedRunValue, 0, sizeof RememberedRunValue);

    int index = MatchFile(path);
    if (index < 0) return 0;

    const SignatureRecord& record = ActiveSignatureTable[index];
    // The record's name field need not hold a terminating zero.
    char name[sizeof record.name + 1];
    snprintf(name, sizeof name, "%.*s", static_cast<int>(sizeof record.name), record.name);

    ++FilesInfected;
    ActiveScanServices.repairAfterDetection(name);
    CopyText(LastDetectionName, sizeof LastDetectionName, name);
    snprintf(StatusText, sizeof StatusText, "%s", path);
    if (MemoryPassActive != 0) {
        // The memory pass ends the process first, then has the file removed.
        MemoryHit = 1;
        return 1;
    }
    DisposeInfectedFile(path, name);
    ForgetCurrentFile();
    return 1;
}
