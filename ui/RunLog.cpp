#include "ui/RunLog.h"

#include <windows.h>

#include <cstdio>

#include "platform/win32/Handles.h"

namespace {

FileHandle& LogFile() {
    static FileHandle file;
    return file;
}

}  // namespace

bool OpenRunLog(const char* path) {
    // Write-through: each write is on the disk when it returns.
    LogFile().Reset(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, NULL));
    return LogFile().IsValid();
}

bool RunLogIsOpen() { return LogFile().IsValid(); }

void WriteRunLogLine(const char* line) {
    if (!RunLogIsOpen()) return;
    char text[kRunLogLineSize];
    int length = snprintf(text, sizeof text, "%s\r\n", line);
    if (length < 0) return;
    if (static_cast<size_t>(length) >= sizeof text) {
        // Cut, but still one whole line.
        length = static_cast<int>(sizeof text - 1);
        text[length - 2] = '\r';
        text[length - 1] = '\n';
    }
    // At the end each time: another copy may have added its lines meanwhile.
    SetFilePointer(LogFile().Get(), 0, NULL, FILE_END);
    DWORD written = 0;
    WriteFile(LogFile().Get(), text, static_cast<DWORD>(length), &written, NULL);
}
