#include "memory/MemoryScan.h"

#include "common/Shared.h"
#include "memory/ProcessChecks.h"
#include "memory/ProcessKill.h"
#include "repair/Restart.h"

const char kMemoryRestartQuestion[] =
    "W32/Drovak.Trojan found in memory! registry entries created by the worm are removed. You must restart "
    "the computer and run this program to continue scanning.\n\nRestart the computer now?";

namespace {

void AskToRestartAfterMemoryHit() {
    int answer = ShowPrompt(kMemoryRestartQuestion, kProgramCaption, kStyleOkCancelInformation);
    if (answer == kAnswerOk) RestartMachine();
}

}  // namespace

void RunMemoryPass() {
    // Leaving infected files alone leaves their programs running: the walk
    // reports each file, the pass would only find it a second time, and on NT
    // end the program before the walk.
    if (ActionCode == kActionLeave) return;
    int family = GetPlatformFamily();
    MemoryPassActive = 1;
    if (family == kFamilyNineX) {
        CheckProcesses9x();
    } else if (family == kFamilyNt && CheckProcessesNt() != 0) {
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
    if (family == kFamilyNineX) {
        killed = KillByNameToolhelp(path);
    } else if (family == kFamilyNt) {
        // NT 5.x ends programs by their full path and never reports a failure.
        if (GetNtGeneration() == kGenerationNt5) return KillByPathPsapi(path) ? 1 : 0;
        killed = KillByNamePerfData(path);
    } else {
        return 1;
    }
    if (killed != 0) return 1;
    SysSession().SystemMessageBox(0, "Could not kill process", path, 0);
    return 0;
}
