// list_hook.dll: a message hook that the end-to-end driver installs for every
// thread. Loaded into cordafix.exe, it appends each line the program adds to a
// list box to C:\tests\hooked_lines.txt, at the moment it is added. A program
// that ends by itself right after its last line leaves no time to read the
// list from outside; from inside, no line can be missed.
#include <windows.h>

#include <cstring>

namespace {

bool InProgram() {
    char path[MAX_PATH] = "";
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    const char kName[] = "\\cordafix.exe";
    const DWORD nameLength = sizeof kName - 1;
    return length >= nameLength && length < sizeof path && lstrcmpiA(path + length - nameLength, kName) == 0;
}

void Append(const char* line) {
    HANDLE file = CreateFileA("C:\\tests\\hooked_lines.txt", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(std::strlen(line)), &written, NULL);
    WriteFile(file, "\n", 1, &written, NULL);
    CloseHandle(file);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK ListHookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const CWPSTRUCT* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
        static const bool inProgram = InProgram();
        if (inProgram && sent->message == LB_ADDSTRING && sent->lParam != 0)
            Append(reinterpret_cast<const char*>(sent->lParam));
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}
