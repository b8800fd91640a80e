#include "ui/UnattendedRun.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "common/Shared.h"
#include "engine/ScanRun.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Win32Platform.h"
#include "repair/Restart.h"
#include "ui/PromptDlg.h"
#include "ui/RunLog.h"
#include "ui/ScanDlg.h"
#include "ui/logic/RunResult.h"
#include "ui/logic/ScanSession.h"

namespace {

// No backslash: the 9x family and NT 4 refuse one in an object's name.
const char kRunMutexName[] = "Cordafix Ver 1.0 run";
const char kReceiverClass[] = "CordafixUnattendedRun";
const size_t kBoxTextSize = 2048;

RunSwitches switches;
bool concluded;
int exitStatus = kExitCouldNotRun;

// Held until the program ends: a second run with switches sees it at once.
KernelHandle& RunMutex() {
    static KernelHandle mutex;
    return mutex;
}

void WriteHeader(const char* commandLine) {
    char line[kRunLogLineSize];
    WriteRunLogLine(kProgramCaption);
    SYSTEMTIME now;
    GetLocalTime(&now);
    snprintf(line, sizeof line, "Started %04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay,
             now.wHour, now.wMinute, now.wSecond);
    WriteRunLogLine(line);
    OsVersion version;
    bool known = SysSession().Version(&version);
    FormatWindowsLine(line, sizeof line, known, version);
    WriteRunLogLine(line);
    snprintf(line, sizeof line, "Switches: %s", commandLine);
    WriteRunLogLine(line);
}

// Settles the exit status once and ends the log with it; with /reboot a
// restart still needed is started here.
int Conclude(bool scanRan, bool endedAfterMemoryPass, const char* reason) {
    if (concluded) return exitStatus;
    concluded = true;
    ScanOutcome outcome = {scanRan, Shared.FilesInfected, Shared.FilesRemoved, Shared.FilesScheduled,
                           Shared.ScanCancelled != 0, endedAfterMemoryPass, Shared.RestartStarted != 0};
    exitStatus = ExitStatusOf(outcome);
    if (exitStatus == kExitRestartNeeded && switches.reboot) {
        RestartMachine();
        outcome.restartStarted = Shared.RestartStarted != 0;
        if (!outcome.restartStarted) WriteRunLogLine("The system refused to restart the computer");
        exitStatus = ExitStatusOf(outcome);
    }
    char line[kRunLogLineSize];
    FormatResultLine(line, sizeof line, exitStatus, outcome, reason);
    WriteRunLogLine(line);
    return exitStatus;
}

// Nothing is scanned: the reason ends the log, and a person sees boxText.
int Refuse(const char* reason, const char* boxText) {
    if (boxText != nullptr && !switches.silent)
        MessageBoxA(NULL, boxText, kProgramCaption, MB_OK | MB_ICONEXCLAMATION);
    return Conclude(false, false, reason);
}

int RefuseSwitches(const char* refusal) {
    char text[kBoxTextSize];
    snprintf(text, sizeof text, "%s\n\n%s", refusal, kUsageText);
    return Refuse(refusal, text);
}

int ShowUsage() {
    MessageBoxA(NULL, kUsageText, kProgramCaption, MB_OK | MB_ICONINFORMATION);
    return Conclude(false, false, "Only the usage was shown; nothing was scanned");
}

// The main window, a prompt with the program's caption, the hidden window of
// a silent run, or another run with switches.
bool AnotherCopyRuns() {
    SetLastError(0);
    RunMutex().Reset(CreateMutexA(NULL, FALSE, kRunMutexName));
    if (RunMutex().IsValid() && GetLastError() == ERROR_ALREADY_EXISTS) return true;
    return FindWindowA(NULL, kProgramCaption) != NULL;
}

int AnswerPrompt(const char* text, const char* caption, int style) {
    int answer = UnattendedAnswer(switches, text, style);
    if (answer == 0) answer = RunPromptDialog(text, caption, style);
    char line[kRunLogLineSize];
    FormatQuestionLine(line, sizeof line, text, answer);
    WriteRunLogLine(line);
    return answer;
}

int ReportMessageBox(uintptr_t owner, const char* text, const char* caption, uint32_t style) {
    char line[kRunLogLineSize];
    FormatMessageLine(line, sizeof line, text, caption);
    WriteRunLogLine(line);
    if (switches.silent) return IDOK;
    return MessageBoxA(reinterpret_cast<HWND>(owner), text, caption, style);
}

// The program ends inside the scan only after the NT memory pass found an
// infected program.
uint32_t EndAfterMemoryPass(uint32_t) { return static_cast<uint32_t>(Conclude(true, true, nullptr)); }

// The silent run's stand-in for the main window: it takes the two
// notifications; a request to close (as taskkill sends) terminates the scan,
// and so does the end of the session.
LRESULT CALLBACK ReceiveNotification(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case kNotifyLogLine:
            WriteRunLogLine(Shared.LogLine);
            return 0;
        case kNotifyStatusText:
            return 0;
        case WM_CLOSE:
            Shared.ScanCancelled = 1;
            return 0;
        case WM_ENDSESSION:
            // Windows ends the program once this returns: the log ends now.
            if (wParam) {
                Shared.ScanCancelled = 1;
                Conclude(true, false, nullptr);
            }
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

// Titled like the main window, so that the one-copy rule of every copy finds
// it; never shown.
HWND CreateReceiver() {
    WNDCLASSA receiverClass;
    memset(&receiverClass, 0, sizeof receiverClass);
    receiverClass.lpfnWndProc = &ReceiveNotification;
    receiverClass.hInstance = GetModuleHandleA(NULL);
    receiverClass.lpszClassName = kReceiverClass;
    if (!RegisterClassA(&receiverClass)) return NULL;
    return CreateWindowExA(0, kReceiverClass, kProgramCaption, WS_POPUP, 0, 0, 0, 0, NULL, NULL,
                           receiverClass.hInstance, NULL);
}

int ScanSilently() {
    HWND receiver = CreateReceiver();
    if (!receiver) return Refuse("The program could not make its message window", nullptr);
    PrepareScan(reinterpret_cast<uintptr_t>(receiver), switches.noFix);
    Shared.ScanCancelled = 0;
    ScanRun();
    ConcludeScan();
    return exitStatus;
}

int ScanInWindow() {
    CScanDlg dialog;
    dialog.DoModal(NULL);
    // Settled when the scan ended; otherwise the window was closed before SCAN.
    return Conclude(false, false, "The window was closed before SCAN; nothing was scanned");
}

}  // namespace

const RunSwitches& GivenSwitches() { return switches; }

int RunWithSwitches(const char* commandLine) {
    char refusal[kRunLogLineSize];
    bool accepted = ParseSwitches(commandLine, &switches, refusal, sizeof refusal);
    SetPromptHandler(&AnswerPrompt);
    SetMessageBoxHandler(&ReportMessageBox);
    SetEndProgramHandler(&EndAfterMemoryPass);
    if (switches.logPath[0] != '\0' && !OpenRunLog(switches.logPath)) {
        char reason[kRunLogLineSize];
        snprintf(reason, sizeof reason, "The log file cannot be written: %s", switches.logPath);
        return Refuse(reason, reason);
    }
    WriteHeader(commandLine);
    if (!accepted) return RefuseSwitches(refusal);
    if (switches.usage) return ShowUsage();
    // As without switches, a second copy shows nothing.
    if (AnotherCopyRuns()) return Refuse("Another copy of the program is running", nullptr);
    return switches.silent ? ScanSilently() : ScanInWindow();
}

void ConcludeScan() {
    if (switches.given) Conclude(true, false, nullptr);
}
