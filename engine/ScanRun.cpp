#include "engine/ScanRun.h"

#include <cstring>

#include "common/Shared.h"
#include "engine/ScanServices.h"
#include "engine/WalkTree.h"

namespace {

void WalkScanTarget() {
    char pattern[kPathSize];
    // A target too long for its pattern is not walked rather than walked cut short.
    if (CopyText(pattern, sizeof pattern, ScanTarget) &&
        AppendText(pattern, sizeof pattern, "\\*.*"))
        WalkTree(pattern);
    ProgramFilesFollowUp();
}

}  // namespace

void ProgramFilesFollowUp() {
    if (ProgramFilesPending != 1 || ProgramFilesVisited != 0) return;
    WalkTree(ProgramFilesPattern);
    ProgramFilesPending = 0;
}

void WalkFixedDrives() {
    // A: and B: are floppy letters: never touched, so no drive motor spins up.
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        char root[] = {letter, ':', '\\', '\0'};
        if (SysFiles().DriveType(root) != kDriveFixed) continue;
        char pattern[] = {letter, ':', '\\', '*', '.', '*', '\0'};
        WalkTree(pattern);
        ProgramFilesFollowUp();
    }
}

void PostScanStatistics() {
    StatisticsShown = 1;
    if (FilesInfected > 0) PostLogLine(" ");
    PostLogLine("Scanning statistics");
    PostLogLine("------------------------------");
    PostLogLine("Total files scanned\t\t:  %d", FilesScanned);
    PostLogLine("Total files infected\t\t:  %d", FilesInfected);
    PostLogLine("Total files removed\t\t:  %d", FilesRemoved);
}

const char kRestartQuestion[] =
    "The system has to be restarted to remove the virus completely from your system. "
    "\n\n Restart now?";

void AskForRestart() {
    int answer = ShowPrompt(kRestartQuestion, kProgramCaption, kStyleYesNoQuestion);
    if (answer == kAnswerYes) ActiveScanServices.restartMachine();
}

int ScanRun() {
    if (ScanTarget[0] != '\0') {
        ActiveScanServices.runMemoryPass();
        if (strcmp(ScanTarget, kEveryFixedDrive) == 0)
            WalkFixedDrives();
        else
            WalkScanTarget();
    }
    PostScanStatistics();
    PostStatusText(ScanCancelled != 0 ? "Scanning terminated" : "Scanning completed");
    if (RestartNeeded != 0) AskForRestart();
    return 1;
}
