#include "platform/win32/Win32Platform.h"

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <windows.h>

#include "platform/win32/Handles.h"

namespace {

int (*promptHandler)(const char*, const char*, int) = nullptr;

HKEY AsKey(RegKey key) { return reinterpret_cast<HKEY>(key); }

void FillEntry(const WIN32_FIND_DATAA& data, FindEntry* entry) {
    memset(entry, 0, sizeof *entry);
    lstrcpynA(entry->name, data.cFileName, sizeof entry->name);
    entry->attributes = data.dwFileAttributes;
    entry->sizeHigh = data.nFileSizeHigh;
    entry->sizeLow = data.nFileSizeLow;
}

// The seam's flag values are the target runtime's own; spelled out so a
// different runtime header cannot shift them silently.
int RuntimeOpenFlags(int flags) {
    int result = 0;
    int access = flags & 3;
    result |= access == kOpenWriteOnly ? _O_WRONLY : access == kOpenReadWrite ? _O_RDWR : _O_RDONLY;
    if (flags & kOpenAppend) result |= _O_APPEND;
    if (flags & kOpenCreate) result |= _O_CREAT;
    if (flags & kOpenTruncate) result |= _O_TRUNC;
    if (flags & kOpenExclusive) result |= _O_EXCL;
    if (flags & kOpenBinary) result |= _O_BINARY;
    return result;
}

int RuntimePermission(int permission) {
    int result = 0;
    if (permission & kPermRead) result |= _S_IREAD;
    if (permission & kPermWrite) result |= _S_IWRITE;
    return result;
}

class Win32Platform : public Platform {
public:
    uint32_t DriveType(const char* root) override { return GetDriveTypeA(root); }

    SearchHandle FindFirst(const char* pattern, FindEntry* entry) override {
        WIN32_FIND_DATAA data;
        FindHandle search(FindFirstFileA(pattern, &data));
        if (!search.IsValid()) return kNoSearch;
        FillEntry(data, entry);
        return reinterpret_cast<SearchHandle>(search.Release());
    }

    bool FindNext(SearchHandle search, FindEntry* entry) override {
        WIN32_FIND_DATAA data;
        if (!FindNextFileA(reinterpret_cast<HANDLE>(search), &data)) return false;
        FillEntry(data, entry);
        return true;
    }

    void FindEnd(SearchHandle search) override {
        if (search != kNoSearch) FindClose(reinterpret_cast<HANDLE>(search));
    }

    uint32_t GetAttributes(const char* path) override { return GetFileAttributesA(path); }
    bool SetAttributes(const char* path, uint32_t attributes) override {
        return SetFileAttributesA(path, attributes) != FALSE;
    }
    bool DeletePath(const char* path) override { return DeleteFileA(path) != FALSE; }
    bool MovePath(const char* from, const char* to) override { return MoveFileA(from, to) != FALSE; }
    bool MovePathEx(const char* from, const char* to, uint32_t flags) override {
        return MoveFileExA(from, to, flags) != FALSE;
    }
    bool CopyPath(const char* from, const char* to, bool failIfExists) override {
        return CopyFileA(from, to, failIfExists ? TRUE : FALSE) != FALSE;
    }
    uint32_t ShortPath(const char* longPath, char* buffer, uint32_t size) override {
        return GetShortPathNameA(longPath, buffer, size);
    }
    uint32_t TempPath(char* buffer, uint32_t size) override { return GetTempPathA(size, buffer); }
    uint32_t SystemDirectory(char* buffer, uint32_t size) override {
        return GetSystemDirectoryA(buffer, size);
    }
    uint32_t WindowsDirectory(char* buffer, uint32_t size) override {
        return GetWindowsDirectoryA(buffer, size);
    }
    uint32_t ExpandEnvironment(const char* source, char* buffer, uint32_t size) override {
        return ExpandEnvironmentStringsA(source, buffer, size);
    }

    int FileOpen(const char* path, int flags, int permission) override {
        return _open(path, RuntimeOpenFlags(flags), RuntimePermission(permission));
    }
    int32_t FileLength(int fd) override { return _filelength(fd); }
    int32_t FileSeek(int fd, int32_t offset, int origin) override { return _lseek(fd, offset, origin); }
    int FileRead(int fd, void* buffer, uint32_t count) override { return _read(fd, buffer, count); }
    int FileWrite(int fd, const void* buffer, uint32_t count) override { return _write(fd, buffer, count); }
    int FileClose(int fd) override { return _close(fd); }
    int FileAccess(const char* path, int mode) override { return _access(path, mode); }

    TextFile TextOpenRead(const char* path) override {
        return reinterpret_cast<TextFile>(fopen(path, "r"));
    }
    bool TextReadLine(TextFile file, char* buffer, int size) override {
        return file != 0 && fgets(buffer, size, reinterpret_cast<FILE*>(file)) != nullptr;
    }
    void TextClose(TextFile file) override {
        if (file != 0) fclose(reinterpret_cast<FILE*>(file));
    }

    int32_t KeyOpen(RegKey root, const char* subKey, uint32_t access, RegKey* key) override {
        HKEY opened = NULL;
        LONG result = RegOpenKeyExA(AsKey(root), subKey, 0, access, &opened);
        if (result == ERROR_SUCCESS) *key = reinterpret_cast<RegKey>(opened);
        return result;
    }
    int32_t KeyCreate(RegKey root, const char* subKey, RegKey* key) override {
        HKEY created = NULL;
        DWORD disposition = 0;
        LONG result = RegCreateKeyExA(AsKey(root), subKey, 0, NULL, REG_OPTION_NON_VOLATILE,
                                      KEY_ALL_ACCESS, NULL, &created, &disposition);
        if (result == ERROR_SUCCESS) *key = reinterpret_cast<RegKey>(created);
        return result;
    }
    int32_t KeyClose(RegKey key) override { return RegCloseKey(AsKey(key)); }
    int32_t KeyValueCount(RegKey key, uint32_t* count) override {
        DWORD values = 0;
        LONG result = RegQueryInfoKeyA(AsKey(key), NULL, NULL, NULL, NULL, NULL, NULL, &values, NULL,
                                       NULL, NULL, NULL);
        if (result == ERROR_SUCCESS) *count = values;
        return result;
    }
    int32_t KeyEnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameLength) override {
        DWORD length = *nameLength;
        LONG result = RegEnumValueA(AsKey(key), index, name, &length, NULL, NULL, NULL, NULL);
        if (result == ERROR_SUCCESS) *nameLength = length;
        return result;
    }
    int32_t KeyQueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                          uint32_t* size) override {
        DWORD valueType = 0;
        DWORD length = size ? *size : 0;
        LONG result = RegQueryValueExA(AsKey(key), name, NULL, &valueType, data, size ? &length : NULL);
        if (size) *size = length;
        if (type && result == ERROR_SUCCESS) *type = valueType;
        return result;
    }
    int32_t KeySetValue(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                        uint32_t size) override {
        return RegSetValueExA(AsKey(key), name, 0, type, data, size);
    }
    int32_t KeyDeleteValue(RegKey key, const char* name) override { return RegDeleteValueA(AsKey(key), name); }
    int32_t KeyDelete(RegKey root, const char* subKey) override { return RegDeleteKeyA(AsKey(root), subKey); }

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
        if (promptHandler) return promptHandler(text, caption, style);
        return MessageBoxA(GetActiveWindow(), text, caption, static_cast<UINT>(style));
    }
    int SystemMessageBox(uintptr_t owner, const char* text, const char* caption, uint32_t style) override {
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
};

}  // namespace

void InstallWin32Platform() {
    static Win32Platform platform;
    InstallPlatform(&platform);
}

void SetPromptHandler(int (*handler)(const char* text, const char* caption, int style)) {
    promptHandler = handler;
}
