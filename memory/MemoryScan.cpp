#include "memory/MemoryScan.h"

#include "common/Shared.h"
#include "memory/ProcessChecks.h"
#include "memory/ProcessKill.h"
#include "repair/Restart.h"

namespace {

const int kNineXFamily = 4;
const int kNtFamily = 5;
const int kOkCancelInformation = 65;

void AskToRestartAfterMemoryHit() {
    int answer = ShowPrompt(
        "W32/Drovak.Trojan found in memory! registry entries created by the worm are removed. You must restart "
        "the computer and run this program to continue scanning.\n\nRestart the computer now?",
        kProgramCaption, kOkCancelInformation);
    if (answer == kAnswerOk) RestartMachine();
}

}  // namespace

void RunMemoryPass() {
    int family = GetPlatformFamily();
    MemoryPassActive = 1;
    if (family == kNineXFamily) {
        CheckProcesses9x();
    } else if (family == kNtFamily && CheckProcessesNt() != 0) {
        // The user is to restart and scan again; the windows are left as they are.
        if (MemoryRestartNeeded == 1) AskToRestartAfterMemoryHit();
        SysSession().EndProgram(0);
        return;
    }
    MemoryPassActive = 0;
}

int KillProcessOfFile(const char* path) {
    int family = GetPlatformFamily();
    int killed;
    if (family == kNineXFamily) {
        killed = KillByNameToolhelp(path);
    } else if (family == kNtFamily) {
        // NT 5.x ends programs by their full path and never reports a failure.
        if (GetNtGeneration() == 6) return KillByPathPsapi(path) ? 1 : 0;
        killed = KillByNamePerfData(path);
    } else {
        return 1;
    }
    if (killed != 0) return 1;
    SysSession().SystemMessageBox(0, "Could not kill process", path, 0);
    return 0;
}
