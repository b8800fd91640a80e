// The real session: version, clock, messages, prompts, privileges, restart.
#include <string.h>
#include <windows.h>

#include "platform/win32/Win32Parts.h"

namespace {

class Win32Session : public Session {
public:
    bool Version(OsVersion* version) override {
        OSVERSIONINFOA info;
        memset(&info, 0, sizeof info);
        info.dwOSVersionInfoSize = sizeof info;  // the 148-byte record
        if (!GetVersionExA(&info)) return false;
        version->platformId = info.dwPlatformId;
        version->major = info.dwMajorVersion;
        version->minor = info.dwMinorVersion;
        version->build = info.dwBuildNumber;
        return true;
    }
    void SleepFor(uint32_t milliseconds) override { Sleep(milliseconds); }
    uint32_t LastError() override { return GetLastError(); }

    bool PeekOneMessage(QueuedMessage* message) override {
        MSG msg;
        if (!PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) return false;
        message->window = reinterpret_cast<uintptr_t>(msg.hwnd);
        message->message = msg.message;
        message->wParam = msg.wParam;
        message->lParam = msg.lParam;
        return true;
    }
    void DispatchOne(const QueuedMessage& message) override {
        MSG msg;
        memset(&msg, 0, sizeof msg);
        msg.hwnd = reinterpret_cast<HWND>(message.window);
        msg.message = message.message;
        msg.wParam = message.wParam;
        msg.lParam = message.lParam;
        msg.time = GetMessageTime();
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    intptr_t SendToWindow(uintptr_t window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        if (window == 0) return 0;  // before SCAN there is no window to tell
        return SendMessageA(reinterpret_cast<HWND>(window), message, wParam, lParam);
    }

    int Prompt(const char* text, const char* caption, int style) override {
        if (PromptHandler handler = InstalledPromptHandler()) return handler(text, caption, style);
        return MessageBoxA(GetActiveWindow(), text, caption, static_cast<UINT>(style));
    }
    int SystemMessageBox(uintptr_t owner, const char* text, const char* caption, uint32_t style) override {
        if (MessageBoxHandler handler = InstalledMessageBoxHandler()) return handler(owner, text, caption, style);
        return MessageBoxA(reinterpret_cast<HWND>(owner), text, caption, style);
    }

    bool TokenOpenOwn(uint32_t access, TokenHandle* token) override {
        HANDLE opened = NULL;
        if (!OpenProcessToken(GetCurrentProcess(), access, &opened)) return false;
        *token = reinterpret_cast<TokenHandle>(opened);
        return true;
    }
    bool PrivilegeLookup(const char* name, uint64_t* luid) override {
        LUID value;
        if (!LookupPrivilegeValueA(NULL, name, &value)) return false;
        *luid = (static_cast<uint64_t>(static_cast<uint32_t>(value.HighPart)) << 32) | value.LowPart;
        return true;
    }
    bool PrivilegeEnable(TokenHandle token, uint64_t luid) override {
        TOKEN_PRIVILEGES privileges;
        memset(&privileges, 0, sizeof privileges);
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Luid.LowPart = static_cast<DWORD>(luid & 0xFFFFFFFFu);
        privileges.Privileges[0].Luid.HighPart = static_cast<LONG>(luid >> 32);
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        return AdjustTokenPrivileges(reinterpret_cast<HANDLE>(token), FALSE, &privileges, 0, NULL, NULL) != FALSE;
    }
    bool HandleClose(uintptr_t handle) override { return CloseHandle(reinterpret_cast<HANDLE>(handle)) != FALSE; }
    bool RequestRestart(uint32_t flags, uint32_t reason) override { return ExitWindowsEx(flags, reason) != FALSE; }

    void EndProgram(uint32_t exitCode) override {
        if (EndProgramHandler handler = InstalledEndProgramHandler()) exitCode = handler(exitCode);
        ExitProcess(exitCode);
    }

    int WideToAnsi(const uint16_t* wide, int wideCount, char* buffer, int size) override {
        static_assert(sizeof(wchar_t) == sizeof(uint16_t), "Windows wide characters are 16-bit");
        return WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(wide), wideCount, buffer, size,
                                   NULL, NULL);
    }
};

}  // namespace

Session& Win32SessionPart() {
    static Win32Session part;
    return part;
}
