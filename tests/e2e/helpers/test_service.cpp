// A service program for the tests: it runs until asked to stop, then reports
// that it is stopping for a while before it stops, as a real service would.
//
//   test_service [stop-ms N]   takes N milliseconds (default 2500) to stop
//   test_service refuse        does not accept the stop control
//
// Registered under any name with the service manager (binPath = this program
// and its arguments); the name is all that ties it to what it stands in for.
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

SERVICE_STATUS_HANDLE statusHandle = NULL;
SERVICE_STATUS status;
HANDLE stopRequested = NULL;
DWORD stopMs = 2500;
bool refuseStop = false;

void Report(DWORD state, DWORD waitHint) {
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = (state == SERVICE_RUNNING && !refuseStop) ? SERVICE_ACCEPT_STOP : 0;
    status.dwWin32ExitCode = NO_ERROR;
    status.dwWaitHint = waitHint;
    status.dwCheckPoint = (state == SERVICE_RUNNING || state == SERVICE_STOPPED) ? 0 : status.dwCheckPoint + 1;
    SetServiceStatus(statusHandle, &status);
}

void WINAPI Handler(DWORD control) {
    if (control == SERVICE_CONTROL_STOP && !refuseStop) {
        Report(SERVICE_STOP_PENDING, stopMs + 1000);
        SetEvent(stopRequested);
        return;
    }
    SetServiceStatus(statusHandle, &status);  // interrogation: the status as it is
}

void WINAPI ServiceMain(DWORD, char**) {
    statusHandle = RegisterServiceCtrlHandlerA("", Handler);
    if (statusHandle == NULL) return;
    memset(&status, 0, sizeof status);
    stopRequested = CreateEventA(NULL, TRUE, FALSE, NULL);
    Report(SERVICE_RUNNING, 0);
    WaitForSingleObject(stopRequested, INFINITE);
    // Stopping takes a while: the stopper sees STOP_PENDING several times.
    for (DWORD waited = 0; waited < stopMs; waited += 250) {
        Sleep(250);
        Report(SERVICE_STOP_PENDING, stopMs + 1000);
    }
    Report(SERVICE_STOPPED, 0);
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "refuse") == 0) refuseStop = true;
        if (strcmp(argv[i], "stop-ms") == 0 && i + 1 < argc) stopMs = static_cast<DWORD>(atoi(argv[++i]));
    }
    SERVICE_TABLE_ENTRYA table[] = {{const_cast<char*>(""), ServiceMain}, {NULL, NULL}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
