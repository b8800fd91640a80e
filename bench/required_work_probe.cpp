// The least a scan must do per entry under the window system, timed: both
// listings of every folder (files first, then subfolders), three pumped
// messages per file (two in the file pass, one in the folder pass), and the
// status line's text set to the shortened path of every entry of the file
// pass and painted. Nothing is opened or matched. bench/run.sh sets the
// program's own time per file against this one.
//
// The status line is painted where the program paints it: the window is made
// from the program's own dialog template and background picture (read from
// its file), laid out and shaped by the program's own helpers, in its
// scanning layout, with the colour handler and background painting it must
// have. Only the per-entry work differs.
//
//   required_work_probe.exe CORDAFIX_EXE ROOT...     (as in: C:\ D:\)
//
// Prints "files=N seconds=S" for the whole walk. Built with the cross compiler.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "res/resource.h"
#include "ui/ShapedWindow.h"

namespace {

HWND StatusLine;
HBRUSH WhiteBrush;
HDC Background;
long Files;

INT_PTR CALLBACK ProbeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<INT_PTR>(WhiteBrush);
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(dialog, &paint);
        if (dc && Background) BitBlt(dc, 0, 0, 527, 338, Background, 0, 0, SRCCOPY);
        EndPaint(dialog, &paint);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

void PumpOne() {
    MSG message;
    if (!PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) return;
    TranslateMessage(&message);
    DispatchMessageA(&message);
}

// First 29 characters, "..", last 29: the status line's width of 60.
void ShowEntry(const char* path) {
    char text[260];
    size_t length = strlen(path);
    if (length > 60) {
        memcpy(text, path, 29);
        memcpy(text + 29, "..", 2);
        memcpy(text + 31, path + length - 29, 30);
    } else {
        memcpy(text, path, length + 1);
    }
    SetWindowTextA(StatusLine, text);
}

void Walk(const char* folder) {
    char pattern[MAX_PATH + 8];
    snprintf(pattern, sizeof pattern, "%s*.*", folder);
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern, &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            PumpOne();
            char path[MAX_PATH * 2];
            snprintf(path, sizeof path, "%s%s", folder, entry.cFileName);
            ShowEntry(path);
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) ++Files;
            PumpOne();
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    search = FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        PumpOne();
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || strcmp(entry.cFileName, ".") == 0 ||
            strcmp(entry.cFileName, "..") == 0)
            continue;
        char sub[MAX_PATH * 2];
        snprintf(sub, sizeof sub, "%s%s\\", folder, entry.cFileName);
        if (strlen(sub) < MAX_PATH) Walk(sub);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

// The program's main window in its scanning layout, without its buttons' faces.
bool MakeWindow(const char* programPath) {
    HMODULE program = LoadLibraryExA(programPath, NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (program == NULL) return false;
    WhiteBrush = CreateSolidBrush(RGB(255, 255, 255));
    HWND dialog = CreateDialogParamA(program, MAKEINTRESOURCEA(IDD_SCAN_DIALOG), NULL, ProbeDialogProc, 0);
    if (dialog == NULL) return false;
    const int hidden[] = {IDC_DESCRIPTION, IDC_PRODUCT_NOTICE, IDC_MAKER_NOTICE, IDC_OK_BUTTON, IDC_ULINK, IDC_DLINK};
    for (int id : hidden)
        ShowWindow(GetDlgItem(dialog, id), SW_HIDE);
    RescaleChildren(dialog, 600, 337);
    MoveWindow(dialog, 0, 0, 600, 462, TRUE);
    HBITMAP picture = static_cast<HBITMAP>(
        LoadImageA(program, MAKEINTRESOURCEA(IDB_BACKGROUND), IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
    if (picture != NULL) {
        HRGN region = CreateRegionFromBitmap(picture, RGB(255, 0, 255));
        if (region != NULL) SetWindowRgn(dialog, region, TRUE);
        Background = CreateCompatibleDC(NULL);
        SelectObject(Background, picture);
    }
    SetDlgItemTextA(dialog, IDC_STATUS_GROUP, "Scanning");
    StatusLine = GetDlgItem(dialog, IDC_STATUS_LINE);
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);
    return StatusLine != NULL;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || !MakeWindow(argv[1])) {
        fprintf(stderr, "usage: required_work_probe.exe CORDAFIX_EXE ROOT...\n");
        return 1;
    }
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int i = 2; i < argc; ++i) Walk(argv[i]);
    QueryPerformanceCounter(&end);
    double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    printf("files=%ld seconds=%.6f\n", Files, seconds);
    return 0;
}
