// Times one whole scan of the running program from outside: waits for its
// main window, presses SCAN, waits until OK is offered, reads the statistics
// from the log list and closes the program.
//
//   wine_scan_timer.exe [TIMEOUT_SECONDS]
//
// Prints "files=N seconds=S infected=I" (seconds from the SCAN press to OK).
// Built by bench/run.sh with the cross compiler; runs in the program's prefix.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "res/resource.h"

namespace {

const char kCaption[] = "Cordafix Ver 1.0";
const int kPollMs = 5;

double Now() {
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The main window once it is shown (FindWindow may find it before).
HWND WaitForMainWindow(double deadline) {
    while (Now() < deadline) {
        HWND window = FindWindowA(nullptr, kCaption);
        if (window != nullptr && IsWindowVisible(window) && GetDlgItem(window, IDC_SCAN) != nullptr)
            return window;
        Sleep(20);
    }
    return nullptr;
}

// A list line read across processes: the ANSI variant of LB_GETTEXT is
// broken there under Wine, the wide one is not.
bool ListLine(HWND list, int index, char* text, int size) {
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR || length + 1 > 1024) return false;
    wchar_t wide[1025];
    if (SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(wide)) == LB_ERR) return false;
    wide[length] = L'\0';
    return WideCharToMultiByte(CP_ACP, 0, wide, -1, text, size, nullptr, nullptr) > 0;
}

// The number after the last ":" of the first log line that starts with label.
long Statistic(HWND list, const char* label) {
    LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    char line[2048];
    for (int i = 0; i < count; ++i) {
        if (!ListLine(list, i, line, sizeof line) || strncmp(line, label, strlen(label)) != 0) continue;
        const char* colon = strrchr(line, ':');
        return colon != nullptr ? strtol(colon + 1, nullptr, 10) : -1;
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    double timeout = argc > 1 ? atof(argv[1]) : 300;
    HWND window = WaitForMainWindow(Now() + 60);
    if (window == nullptr) {
        fprintf(stderr, "wine_scan_timer: no main window\n");
        return 1;
    }
    HWND scan = GetDlgItem(window, IDC_SCAN);
    HWND ok = GetDlgItem(window, IDC_OK_BUTTON);
    // A posted click: a sent one would only return when the whole scan is over.
    double start = Now();
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_SCAN, BN_CLICKED), reinterpret_cast<LPARAM>(scan));
    double deadline = start + timeout;
    while (!(IsWindowVisible(ok) && IsWindowEnabled(ok))) {
        if (Now() > deadline || !IsWindow(window)) {
            fprintf(stderr, "wine_scan_timer: the scan did not end\n");
            return 1;
        }
        Sleep(kPollMs);
    }
    double seconds = Now() - start;
    HWND list = GetDlgItem(window, IDC_LOG_LIST);
    long files = Statistic(list, "Total files scanned");
    long infected = Statistic(list, "Total files infected");
    printf("files=%ld seconds=%.6f infected=%ld\n", files, seconds, infected);
    fflush(stdout);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_OK_BUTTON, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
    return files >= 0 ? 0 : 1;
}
