#include "ui/logic/ScanSession.h"

#include "common/Shared.h"
#include "res/resource.h"

bool ScanInProgress;

namespace {

bool scanRequested;     // SCAN accepted once; never cleared
bool runBegun;          // the timer started the run
bool questionOpen;      // "Terminate the Scan now?" is on screen

}  // namespace

bool RequestScan() {
    if (scanRequested) return false;
    scanRequested = true;
    ScanInProgress = true;
    return true;
}

bool BeginScanRun() {
    if (!scanRequested || runBegun) return false;
    runBegun = true;
    return true;
}

void FinishScanRun() { ScanInProgress = false; }

void PrepareScan(uintptr_t window, bool noFix) {
    CopyText(ScanTarget, sizeof ScanTarget, kEveryFixedDrive);
    MainWindowHandle = window;
    ActionCode = noFix ? kActionLeave : kActionDelete;
}

TerminateAction DecideTerminate() {
    if (!ScanInProgress) return TerminateAction::EndDialog;
    return questionOpen ? TerminateAction::Ignore : TerminateAction::Ask;
}

const char* TerminateCaption(int commandId) {
    return commandId == IDC_CLOSE_X ? "DialogBoxTitle" : kProgramCaption;
}

void SetTerminateQuestionOpen(bool open) { questionOpen = open; }

void ResetScanSession() {
    ScanInProgress = false;
    scanRequested = runBegun = questionOpen = false;
}
