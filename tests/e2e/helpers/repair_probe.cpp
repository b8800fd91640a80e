// Runs the repair pieces of the program on the real system (under Wine) and
// prints what they did, for tests/wine/run_repair.sh.
//
//   repair_probe COMMAND... where each command is one of
//     repair NAME PATH   RepairAfterDetection(NAME) for the infected file PATH
//     hosts ACTION       the hosts check with ActionCode ACTION
//     schedule PATH      ScheduleDeleteAtRestart(PATH)
//     short PATH         the short form of PATH
//     names PATTERN      each entry FindFirstFileA lists, as "NAME <long>|<short>"
//     attrib PATH [HEX]  sets PATH's attributes to HEX when given; prints them
//     regset KEY NAME DATA   sets a text value under the Run (KEY "run") or
//                        RunServices (KEY "runservices") key
//     restart            RestartMachine()
//
// Log lines print as "LINE <text>", results as "RESULT <n>".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/Shared.h"
#include "platform/win32/Win32Platform.h"
#include "repair/Autostart.h"
#include "repair/HostsCheck.h"
#include "repair/Restart.h"
#include "repair/RestartDelete.h"

namespace {

LRESULT CALLBACK CaptureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETREDRAW) {
        printf("LINE %s\n", Shared.LogLine);
        fflush(stdout);
        return 0;
    }
    if (message == WM_ENABLE) return 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeCaptureWindow() {
    WNDCLASSA windowClass;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.lpfnWndProc = CaptureProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = "RepairProbeCapture";
    RegisterClassA(&windowClass);
    return CreateWindowA("RepairProbeCapture", "", 0, 0, 0, 0, 0, NULL, NULL, GetModuleHandleA(NULL), NULL);
}

void Result(int value) {
    printf("RESULT %d\n", value);
    fflush(stdout);
}

int Run(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const char* command = argv[i];
        bool hasOne = i + 1 < argc, hasTwo = i + 2 < argc;
        if (strcmp(command, "repair") == 0 && hasTwo) {
            snprintf(Shared.CurrentFilePath, sizeof Shared.CurrentFilePath, "%s", argv[i + 2]);
            Shared.ActionCode = 100;
            Result(RepairAfterDetection(argv[i + 1]));
            printf("REMEMBERED %s\n", Shared.RememberedRunValue);
            i += 2;
        } else if (strcmp(command, "hosts") == 0 && hasOne) {
            Shared.ActionCode = atoi(argv[++i]);
            CheckHostsFile();
            printf("INFECTED %d\n", static_cast<int>(Shared.FilesInfected));
        } else if (strcmp(command, "schedule") == 0 && hasOne) {
            Result(ScheduleDeleteAtRestart(argv[++i]));
        } else if (strcmp(command, "short") == 0 && hasOne) {
            char shortPath[MAX_PATH];
            DWORD length = GetShortPathNameA(argv[++i], shortPath, sizeof shortPath);
            printf("SHORT %s\n", length > 0 && length < sizeof shortPath ? shortPath : "");
        } else if (strcmp(command, "names") == 0 && hasOne) {
            WIN32_FIND_DATAA found;
            HANDLE search = FindFirstFileA(argv[++i], &found);
            for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found) != FALSE)
                printf("NAME %s|%s\n", found.cFileName, found.cAlternateFileName);
            if (search != INVALID_HANDLE_VALUE) FindClose(search);
        } else if (strcmp(command, "attrib") == 0 && hasOne) {
            const char* path = argv[++i];
            if (i + 1 < argc && strncmp(argv[i + 1], "0x", 2) == 0)
                SetFileAttributesA(path, strtoul(argv[++i], nullptr, 16));
            printf("ATTRIB 0x%lX\n", static_cast<unsigned long>(GetFileAttributesA(path)));
        } else if (strcmp(command, "regset") == 0 && i + 3 < argc) {
            const char* key = strcmp(argv[i + 1], "run") == 0 ? kRunKeyPath : kRunServicesKeyPath;
            HKEY opened;
            bool set = RegCreateKeyA(HKEY_LOCAL_MACHINE, key, &opened) == ERROR_SUCCESS;
            if (set) {
                set = RegSetValueExA(opened, argv[i + 2], 0, REG_SZ, reinterpret_cast<const BYTE*>(argv[i + 3]),
                                     static_cast<DWORD>(strlen(argv[i + 3]) + 1)) == ERROR_SUCCESS;
                RegCloseKey(opened);
            }
            Result(set ? 1 : 0);
            i += 3;
        } else if (strcmp(command, "restart") == 0) {
            Result(RestartMachine());
        } else {
            fprintf(stderr, "repair_probe: bad command '%s'\n", command);
            return 2;
        }
        fflush(stdout);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    PlatformScope platform{Win32Platform()};
    Shared.MainWindowHandle = reinterpret_cast<uintptr_t>(MakeCaptureWindow());
    if (Shared.MainWindowHandle == 0) {
        fprintf(stderr, "repair_probe: no window\n");
        return 3;
    }
    return Run(argc, argv);
}
