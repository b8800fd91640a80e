// The main window's scan life: one scan per program run, started by SCAN and
// run from the first timer tick.
#pragma once

#include <cstdint>

// Set by SCAN, cleared when the run has returned. Read by the terminate request.
extern bool ScanInProgress;

// SCAN pressed: true when this press starts the scan. A disabled SCAN button
// does not stop a posted click under every system, so a second press (during
// the scan, inside a prompt's loop, or after it) is refused here.
bool RequestScan();

// A timer tick: true only for the first tick after an accepted SCAN. Stray or
// foreign WM_TIMER messages never start a run.
bool BeginScanRun();

// The run has returned.
void FinishScanRun();

// Readies the scan of every fixed drive, reporting to window: infected files
// are deleted, or left alone (and reported) with noFix.
void PrepareScan(uintptr_t window, bool noFix);

// What a terminate request (X, CANCEL, Escape or Close) does.
enum class TerminateAction {
    EndDialog,  // no scan running: the program ends
    Ask,        // a scan runs: ask the user
    Ignore      // the question is already open
};
TerminateAction DecideTerminate();
// Caption of the question: the X button passes "DialogBoxTitle", the others
// the program's caption.
const char* TerminateCaption(int commandId);
// The question's open/closed state, so a nested request cannot stack prompts.
void SetTerminateQuestionOpen(bool open);

// Back to a new process's state (tests only).
void ResetScanSession();
