#include "ui/CleanerApp.h"

#include <windows.h>

#include "common/Shared.h"
#include "platform/win32/Win32Platform.h"
#include "ui/PromptDlg.h"
#include "ui/ScanDlg.h"
#include "ui/UnattendedRun.h"

bool CCleanerApp::InitInstance() {
    // The title is the single-instance marker, whatever the window's class:
    // the main window or one of its prompts with the program's caption.
    if (FindWindowA(NULL, kProgramCaption)) return false;
    CScanDlg dialog;
    dialog.DoModal(NULL);
    return false;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    InstallWin32Platform();
    // Switches make an unattended run; without any, the program is the
    // interactive tool it always was, ending with status 0.
    if (HasSwitches(commandLine)) return RunWithSwitches(commandLine);
    SetPromptHandler(&RunPromptDialog);
    CCleanerApp application;
    application.InitInstance();
    return 0;
}
