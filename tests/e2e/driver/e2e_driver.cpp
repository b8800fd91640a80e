// e2e_driver: drives the running cordafix.exe from a second process, through
// window titles and control names only, and prints what it sees on stdout.
// NAME of a control is its name in res/resource.h (IDC_SCAN); a system
// message box's buttons are IDOK, IDCANCEL, IDYES and IDNO.
//
//   e2e_driver wait-window [SECONDS]          main window visible
//   e2e_driver wait-gone [SECONDS]            no main window left
//   e2e_driver windows                        number of main windows
//   e2e_driver running NAME                   processes whose program file is named NAME
//   e2e_driver run-watched SECONDS COMMANDLINE   "status=N windows=W" once it ended: W the
//                                             most windows it showed at a time
//   e2e_driver click NAME                     posted BM_CLICK to control NAME
//   e2e_driver post-command NAME              posted WM_COMMAND (BN_CLICKED) for NAME
//   e2e_driver state NAME                     "visible=V enabled=E text=T"
//   e2e_driver layout                         "NAME V E" for every main-window control
//   e2e_driver list                           every log line (wide LB_GETTEXT)
//   e2e_driver watch-list [SECONDS]           "WATCHING", then the log lines as they
//                                             come, until the main window is gone
//   e2e_driver hook-list [SECONDS]            "WATCHING"; list_hook.dll records the lines
//                                             the program adds in C:\tests\hooked_lines.txt
//                                             until the main window is gone
//   e2e_driver count | selection              log line count, selected index
//   e2e_driver status                         the status line
//   e2e_driver wait-status TEXT [SECONDS]     status line equals TEXT
//   e2e_driver wait-status-prefix TEXT [SECONDS]    status line begins with TEXT
//   e2e_driver wait-count N [SECONDS]         log list holds at least N lines
//   e2e_driver key-escape | key-enter         posted key press to the focused control
//   e2e_driver prompt CAPTION [SECONDS]       waits for the program's prompt; prints
//                                             caption, text and the visible button names
//   e2e_driver prompt-picture CAPTION [SECONDS]     fingerprint of the shown picture
//   e2e_driver answer-prompt CAPTION NAME [SECONDS] posts a click on button NAME
//   e2e_driver prompt-escape CAPTION [SECONDS]      Escape in the prompt
//   e2e_driver prompt-close CAPTION [SECONDS]       the prompt's close box (WM_CLOSE)
//   e2e_driver no-prompt [SECONDS]            no prompt of the program appears meanwhile
//   e2e_driver answer-msgbox CAPTION NAME [SECONDS] a system message box
//
// Exit status: 0 done, 1 not found in time or wrong state, 2 usage or an
// unknown control name.
// Clicks are posted, never sent: a sent click would block in the program's
// modal prompts. List lines are read with the wide message because the
// narrow one is unreliable across processes on some systems.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "res/resource.h"

namespace {

const char kCaption[] = "Cordafix Ver 1.0";
const int kMessageBoxTextId = 65535;
const int kPollMs = 50;

struct NamedControl {
    const char* name;
    int id;
};

// Every control of res/resource.h, in its order; control_ids.inc is made from
// that file by the build. The prompt's controls are named IDC_PROMPT_...; the
// others are the main window's.
const NamedControl kControls[] = {
#define CONTROL_ID(name) {#name, name},
#include "control_ids.inc"
#undef CONTROL_ID
};
const NamedControl kMessageBoxButtons[] = {
    {"IDOK", IDOK}, {"IDCANCEL", IDCANCEL}, {"IDYES", IDYES}, {"IDNO", IDNO}};
const char kPromptPrefix[] = "IDC_PROMPT_";

bool IsPromptControl(const NamedControl& control) {
    return std::strncmp(control.name, kPromptPrefix, sizeof kPromptPrefix - 1) == 0;
}

// The id of a control name; exits with the usage status for an unknown name.
template <size_t N>
int IdOf(const char* name, const NamedControl (&table)[N]) {
    for (const NamedControl& control : table)
        if (std::strcmp(control.name, name) == 0) return control.id;
    std::fprintf(stderr, "e2e_driver: unknown control name '%s'\n", name);
    std::exit(2);
}

int ControlId(const char* name) { return IdOf(name, kControls); }

struct Search {
    const char* caption;  // NULL: any title
    int markerId;         // a control the window must have
    bool visibleOnly;
    HWND found;
    int count;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
    Search* s = reinterpret_cast<Search*>(param);
    if (s->visibleOnly && !IsWindowVisible(window)) return TRUE;
    if (!GetDlgItem(window, s->markerId)) return TRUE;
    if (s->caption) {
        char title[300] = "";
        GetWindowTextA(window, title, sizeof title);
        if (std::strcmp(title, s->caption) != 0) return TRUE;
    }
    if (!s->found) s->found = window;
    ++s->count;
    return TRUE;
}

Search FindAll(const char* caption, int markerId, bool visibleOnly) {
    Search s = {caption, markerId, visibleOnly, NULL, 0};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&s));
    return s;
}

// The main window: the program's title and its SCAN button. Prompts may
// carry the same title, so the title alone does not tell them apart.
HWND MainWindow() { return FindAll(kCaption, IDC_SCAN, true).found; }

// The program's own prompt: its message text control, and the caption asked
// for ("" matches any caption).
HWND Prompt(const char* caption) {
    return FindAll(*caption ? caption : NULL, IDC_PROMPT_TEXT, true).found;
}

HWND MessageBoxWindow(const char* caption) {
    Search s = FindAll(*caption ? caption : NULL, kMessageBoxTextId, true);
    if (!s.found) return NULL;
    char cls[64] = "";
    GetClassNameA(s.found, cls, sizeof cls);
    return std::strcmp(cls, "#32770") == 0 ? s.found : NULL;
}

double Seconds(const char* text, double fallback) {
    return text ? std::atof(text) : fallback;
}

template <typename F>
bool WaitFor(double seconds, F condition) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start >= static_cast<DWORD>(seconds * 1000)) return false;
        Sleep(kPollMs);
    }
}

HWND WaitMain(double seconds) {
    HWND main = NULL;
    WaitFor(seconds, [&] { return (main = MainWindow()) != NULL; });
    if (!main) std::printf("no main window\n");
    return main;
}

void PrintText(HWND window) {
    char text[600] = "";
    GetWindowTextA(window, text, sizeof text);
    std::printf("%s\n", text);
}

int PostClick(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (!button) {
        std::printf("no control %d\n", id);
        return 1;
    }
    return PostMessageA(button, BM_CLICK, 0, 0) ? 0 : 1;
}

int PostCommand(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    WPARAM wParam = MAKEWPARAM(id, BN_CLICKED);
    return PostMessageA(dialog, WM_COMMAND, wParam, reinterpret_cast<LPARAM>(control)) ? 0 : 1;
}

// Keys go where a user's key press would: the focused window of the
// window's thread, or the window itself when nothing has the focus.
int PostKey(HWND window, WPARAM key) {
    DWORD thread = GetWindowThreadProcessId(window, NULL);
    GUITHREADINFO info;
    std::memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    HWND target = window;
    if (GetGUIThreadInfo(thread, &info) && info.hwndFocus) target = info.hwndFocus;
    UINT scan = MapVirtualKeyA(static_cast<UINT>(key), 0);
    LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
    LPARAM up = down | (1L << 30) | (1L << 31);
    if (!PostMessageA(target, WM_KEYDOWN, key, down)) return 1;
    if (PostMessageA(target, WM_KEYUP, key, up)) return 0;
    // The key down may already have closed the window (Escape); the key up
    // then has nowhere to go, which is not a failure of the key press.
    return IsWindow(target) ? 1 : 0;
}

int PrintState(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) {
        std::printf("no control %d\n", id);
        return 1;
    }
    char text[600] = "";
    GetWindowTextA(control, text, sizeof text);
    std::printf("visible=%d enabled=%d text=%s\n", IsWindowVisible(control) ? 1 : 0,
                IsWindowEnabled(control) ? 1 : 0, text);
    return 0;
}

int PrintLayout(HWND dialog) {
    for (const NamedControl& named : kControls) {
        if (IsPromptControl(named)) continue;
        HWND control = GetDlgItem(dialog, named.id);
        if (!control) {
            std::printf("%s missing\n", named.name);
            continue;
        }
        std::printf("%s %d %d\n", named.name, IsWindowVisible(control) ? 1 : 0,
                    IsWindowEnabled(control) ? 1 : 0);
    }
    return 0;
}

// One line of the list in the ANSI code page; false when it cannot be read
// (for instance because the program has ended meanwhile).
bool ReadLine(HWND list, LRESULT index, char* narrow, int size) {
    const UINT kFlags = SMTO_NORMAL;
    const UINT kWaitMs = 3000;
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(list, LB_GETTEXTLEN, index, 0, kFlags, kWaitMs, &length) || length > 4000) return false;
    static wchar_t wide[4002];
    std::memset(wide, 0, sizeof wide);
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(wide), kFlags, kWaitMs, &ignored))
        return false;
    if (WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, size, NULL, NULL) <= 0) narrow[0] = 0;
    return true;
}

int PrintList(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_LOG_LIST);
    if (!list) return 1;
    LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        static char narrow[8004];
        if (!ReadLine(list, i, narrow, sizeof narrow)) return 1;
        std::printf("%s\n", narrow);
    }
    return 0;
}

// Prints the list's lines as they come until the main window is gone, so
// that a test sees what a program that ends by itself had shown. Only the
// lines the program still answered for can be seen.
int WatchList(HWND dialog, double seconds) {
    HWND list = GetDlgItem(dialog, IDC_LOG_LIST);
    if (!list) return 1;
    LRESULT seen = 0;
    bool watching = false;
    bool gone = WaitFor(seconds, [&] {
        DWORD_PTR count = 0;
        if (!IsWindow(dialog)) return true;
        if (!SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_NORMAL, 3000, &count)) return false;
        if (!watching) {
            std::printf("WATCHING\n");  // the test may go on: no line can be missed from here on
            std::fflush(stdout);
            watching = true;
        }
        if (static_cast<LRESULT>(count) < seen) seen = 0;  // the list began afresh
        static char narrow[8004];
        for (; seen < static_cast<LRESULT>(count) && ReadLine(list, seen, narrow, sizeof narrow); ++seen) {
            std::printf("%s\n", narrow);
            std::fflush(stdout);
        }
        return false;
    });
    return gone ? 0 : 1;
}

// Has list_hook.dll (beside the driver) record every line the program adds,
// from inside the program, until the main window is gone.
int HookList(HWND dialog, double seconds) {
    char path[MAX_PATH] = "";
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    char* slash = length > 0 && length < sizeof path ? std::strrchr(path, '\\') : NULL;
    if (!slash) return 1;
    std::snprintf(slash + 1, sizeof path - static_cast<size_t>(slash + 1 - path), "%s", "list_hook.dll");
    HMODULE module = LoadLibraryA(path);
    HOOKPROC hook = module ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(module, "ListHookProc")))
                           : NULL;
    HHOOK installed = hook ? SetWindowsHookExA(WH_CALLWNDPROC, hook, module, 0) : NULL;
    if (!installed) return 1;
    std::printf("WATCHING\n");
    std::fflush(stdout);
    bool gone = WaitFor(seconds, [&] { return !IsWindow(dialog); });
    UnhookWindowsHookEx(installed);
    return gone ? 0 : 1;
}

int ListCount(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_LOG_LIST);
    return list ? static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0)) : -1;
}

bool StatusIs(HWND dialog, const char* expected, bool prefixOnly) {
    char text[600] = "";
    GetDlgItemTextA(dialog, IDC_STATUS_LINE, text, sizeof text);
    if (prefixOnly) return std::strncmp(text, expected, std::strlen(expected)) == 0;
    return std::strcmp(text, expected) == 0;
}

int PrintPrompt(HWND prompt) {
    char caption[300] = "", text[1000] = "";
    GetWindowTextA(prompt, caption, sizeof caption);
    GetDlgItemTextA(prompt, IDC_PROMPT_TEXT, text, sizeof text);
    std::printf("caption=%s\n", caption);
    std::printf("text=%s\n", text);
    std::printf("buttons=");
    const char* separator = "";
    for (const NamedControl& named : kControls) {
        if (!IsPromptControl(named)) continue;
        HWND button = GetDlgItem(prompt, named.id);
        char cls[64] = "";
        if (button) GetClassNameA(button, cls, sizeof cls);
        if (lstrcmpiA(cls, "Button") == 0 && IsWindowVisible(button)) {
            std::printf("%s%s", separator, named.name);
            separator = " ";
        }
    }
    std::printf("\n");
    return 0;
}

// A fingerprint of what the prompt's picture frame shows on the screen, so
// that tests can tell which of the pictures a style chose.
int PrintPictureHash(HWND prompt) {
    HWND frame = GetDlgItem(prompt, IDC_PROMPT_PICTURE);
    if (!frame) return 1;
    Sleep(300);  // let the dialog finish painting
    RECT r;
    GetClientRect(frame, &r);
    POINT origin = {0, 0};
    ClientToScreen(frame, &origin);
    HDC screen = GetDC(NULL);
    if (!screen) return 1;
    unsigned long hash = 2166136261UL;
    for (int y = 0; y < r.bottom; ++y) {
        for (int x = 0; x < r.right; ++x) {
            COLORREF c = GetPixel(screen, origin.x + x, origin.y + y);
            hash = (hash ^ (c & 0xFFFFFFUL)) * 16777619UL & 0xFFFFFFFFUL;
        }
    }
    ReleaseDC(NULL, screen);
    std::printf("%08lx\n", hash);
    return 0;
}

HWND WaitPrompt(const char* caption, double seconds) {
    HWND prompt = NULL;
    WaitFor(seconds, [&] { return (prompt = Prompt(caption)) != NULL; });
    if (!prompt) std::printf("no prompt '%s'\n", caption);
    return prompt;
}

// How many processes run a program file of that name (tool-help gives names only under Wine).
int CountProcesses(const char* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        const char* slash = std::strrchr(entry.szExeFile, '\\');
        if (lstrcmpiA(slash ? slash + 1 : entry.szExeFile, name) == 0) ++count;
    }
    CloseHandle(snapshot);
    return count;
}

DWORD watchedProcess;

BOOL CALLBACK CountVisible(HWND window, LPARAM count) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    if (id == watchedProcess && IsWindowVisible(window)) ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// Runs the command line until it ends: "status=N windows=W", its whole exit
// status (Linux keeps 8 bits of 3010) and the most windows it showed at a time.
int RunWatched(double seconds, const char* commandLine) {
    char line[1024];
    std::snprintf(line, sizeof line, "%s", commandLine);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) return 1;
    watchedProcess = process.dwProcessId;
    int most = 0;
    DWORD status = STILL_ACTIVE;
    WaitFor(seconds, [&] {
        int shown = 0;
        EnumWindows(CountVisible, reinterpret_cast<LPARAM>(&shown));
        most = shown > most ? shown : most;
        return GetExitCodeProcess(process.hProcess, &status) && status != STILL_ACTIVE;
    });
    std::printf("status=%lu windows=%d\n", status, most);
    return status == STILL_ACTIVE ? 1 : 0;
}

int Usage() {
    std::fprintf(stderr, "usage: e2e_driver COMMAND [ARGS] (see the source for the commands)\n");
    return 2;
}

int MainCommand(const char* command, int argc, char** argv) {
    const char* a1 = argc > 2 ? argv[2] : NULL;
    const char* a2 = argc > 3 ? argv[3] : NULL;
    if (!std::strcmp(command, "wait-window")) return WaitMain(Seconds(a1, 20)) ? 0 : 1;
    if (!std::strcmp(command, "wait-gone")) {
        bool gone = WaitFor(Seconds(a1, 20), [] { return FindAll(kCaption, IDC_SCAN, false).count == 0; });
        if (!gone) std::printf("main window still there\n");
        return gone ? 0 : 1;
    }
    if (!std::strcmp(command, "running") && a1) {
        int count = CountProcesses(a1);
        std::printf("%d\n", count);
        return count > 0 ? 0 : 1;
    }
    if (!std::strcmp(command, "run-watched") && a2) return RunWatched(Seconds(a1, 60), a2);
    if (!std::strcmp(command, "windows")) {
        std::printf("%d\n", FindAll(kCaption, IDC_SCAN, false).count);
        return 0;
    }
    HWND main = WaitMain(5);
    if (!main) return 1;
    if (!std::strcmp(command, "click") && a1) return PostClick(main, ControlId(a1));
    if (!std::strcmp(command, "post-command") && a1) return PostCommand(main, ControlId(a1));
    if (!std::strcmp(command, "state") && a1) return PrintState(main, ControlId(a1));
    if (!std::strcmp(command, "layout")) return PrintLayout(main);
    if (!std::strcmp(command, "list")) return PrintList(main);
    if (!std::strcmp(command, "watch-list")) return WatchList(main, Seconds(a1, 60));
    if (!std::strcmp(command, "hook-list")) return HookList(main, Seconds(a1, 60));
    if (!std::strcmp(command, "count")) {
        std::printf("%d\n", ListCount(main));
        return 0;
    }
    if (!std::strcmp(command, "selection")) {
        HWND list = GetDlgItem(main, IDC_LOG_LIST);
        std::printf("%d\n", list ? static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0)) : -2);
        return 0;
    }
    if (!std::strcmp(command, "status")) {
        PrintText(GetDlgItem(main, IDC_STATUS_LINE));
        return 0;
    }
    bool prefixOnly = !std::strcmp(command, "wait-status-prefix");
    if ((prefixOnly || !std::strcmp(command, "wait-status")) && a1) {
        if (WaitFor(Seconds(a2, 60), [&] { return StatusIs(main, a1, prefixOnly); })) return 0;
        std::printf("status is: ");
        PrintText(GetDlgItem(main, IDC_STATUS_LINE));
        return 1;
    }
    if (!std::strcmp(command, "wait-count") && a1) {
        int n = std::atoi(a1);
        if (WaitFor(Seconds(a2, 60), [&] { return ListCount(main) >= n; })) return 0;
        std::printf("count is %d\n", ListCount(main));
        return 1;
    }
    if (!std::strcmp(command, "key-escape")) return PostKey(main, VK_ESCAPE);
    if (!std::strcmp(command, "key-enter")) return PostKey(main, VK_RETURN);
    return Usage();
}

int PromptCommand(const char* command, int argc, char** argv, bool* handled) {
    *handled = true;
    const char* a1 = argc > 2 ? argv[2] : NULL;
    const char* a2 = argc > 3 ? argv[3] : NULL;
    const char* a3 = argc > 4 ? argv[4] : NULL;
    if (!std::strcmp(command, "prompt") && a1) {
        HWND prompt = WaitPrompt(a1, Seconds(a2, 10));
        return prompt ? PrintPrompt(prompt) : 1;
    }
    if (!std::strcmp(command, "prompt-picture") && a1) {
        HWND prompt = WaitPrompt(a1, Seconds(a2, 10));
        return prompt ? PrintPictureHash(prompt) : 1;
    }
    if (!std::strcmp(command, "answer-prompt") && a2) {
        int id = ControlId(a2);
        HWND prompt = WaitPrompt(a1, Seconds(a3, 10));
        return prompt ? PostClick(prompt, id) : 1;
    }
    if (!std::strcmp(command, "prompt-escape") && a1) {
        HWND prompt = WaitPrompt(a1, Seconds(a2, 10));
        return prompt ? PostKey(prompt, VK_ESCAPE) : 1;
    }
    if (!std::strcmp(command, "prompt-close") && a1) {
        HWND prompt = WaitPrompt(a1, Seconds(a2, 10));
        return prompt && PostMessageA(prompt, WM_CLOSE, 0, 0) ? 0 : 1;
    }
    if (!std::strcmp(command, "no-prompt")) {
        bool appeared = WaitFor(Seconds(a1, 2), [] { return Prompt("") != NULL; });
        if (appeared) PrintPrompt(Prompt(""));
        return appeared ? 1 : 0;
    }
    if (!std::strcmp(command, "answer-msgbox") && a2) {
        HWND box = NULL;
        WaitFor(Seconds(a3, 10), [&] { return (box = MessageBoxWindow(a1)) != NULL; });
        if (!box) {
            std::printf("no message box '%s'\n", a1);
            return 1;
        }
        char text[1000] = "";
        GetDlgItemTextA(box, kMessageBoxTextId, text, sizeof text);
        std::printf("text=%s\n", text);
        return PostClick(box, IdOf(a2, kMessageBoxButtons));
    }
    *handled = false;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const char* command = argv[1];
    bool handled = false;
    int result = PromptCommand(command, argc, argv, &handled);
    if (!handled) result = MainCommand(command, argc, argv);
    std::fflush(stdout);
    return result;
}
