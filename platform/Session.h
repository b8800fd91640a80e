// The running session: the system's version, the clock, the last error, the
// thread's message queue and the main window, prompts, privileges, restart, the
// end of the program, and text conversion to the ANSI code page.
#pragma once

#include <cstdint>

#include "platform/Errors.h"

// Window messages that cross the seam.
const uint32_t kWmDestroy = 0x0002;
const uint32_t kWmEnable = 0x000A;
const uint32_t kWmSetRedraw = 0x000B;
const uint32_t kWmQuit = 0x0012;
const uint32_t kWmKeyDown = 0x0100;
const uint32_t kWmCommand = 0x0111;
const uint32_t kVkEscape = 27;

// The two notifications to the main window, each sent with both parameters
// 0. They keep the numbers of WM_SETREDRAW and WM_ENABLE on purpose: every
// receiver (the main window, the probes and tools that stand in for it)
// answers these, and a real WM_ENABLE, sent while a prompt disables the
// window, only shows the same status text again.
const uint32_t kNotifyLogLine = kWmSetRedraw;  // LogLine holds a new line
const uint32_t kNotifyStatusText = kWmEnable;  // StatusText holds the new status

// Prompt answers (the message-box codes).
const int kAnswerOk = 1;
const int kAnswerCancel = 2;
const int kAnswerYes = 6;
const int kAnswerNo = 7;

// Prompt and message-box styles: one button set and one picture.
const int kStyleOkCancel = 0x01;
const int kStyleYesNoCancel = 0x03;
const int kStyleYesNo = 0x04;
const int kStyleButtonsMask = 0x0F;
const int kStylePictureError = 0x10;
const int kStylePictureQuestion = 0x20;
const int kStylePictureWarning = 0x30;
const int kStylePictureInformation = 0x40;
// The two the program asks with.
const int kStyleYesNoQuestion = kStyleYesNo | kStylePictureQuestion;
const int kStyleOkCancelInformation = kStyleOkCancel | kStylePictureInformation;

// OsVersion::platformId.
const uint32_t kPlatformIdNineX = 1;  // VER_PLATFORM_WIN32_WINDOWS
const uint32_t kPlatformIdNt = 2;     // VER_PLATFORM_WIN32_NT

struct OsVersion {
    uint32_t platformId;
    uint32_t major;
    uint32_t minor;
    uint32_t build;
};

struct QueuedMessage {
    uintptr_t window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

typedef uintptr_t TokenHandle;

class Session {
public:
    virtual ~Session() {}

    // Version, time, last error.
    virtual bool Version(OsVersion* version) = 0;
    virtual void SleepFor(uint32_t milliseconds) = 0;
    virtual uint32_t LastError() = 0;

    // The thread's message queue and the main window.
    virtual bool PeekOneMessage(QueuedMessage* message) = 0;  // PM_REMOVE, any window
    virtual void DispatchOne(const QueuedMessage& message) = 0;  // translate, then dispatch
    // Sends window one of the two notifications, synchronously and with both
    // message parameters 0: the main window reads the new text from the
    // process-wide state. text is that same text, for the receivers that
    // stand in for the window. Nothing is sent to window 0.
    virtual intptr_t Notify(uintptr_t window, uint32_t notification, const char* text) = 0;

    // The program's prompt dialog (a skinned message box); returns the button's code.
    virtual int Prompt(const char* text, const char* caption, int style) = 0;
    // The system's own message box.
    virtual int SystemMessageBox(uintptr_t owner, const char* text, const char* caption,
                                 uint32_t style) = 0;

    // Privileges and restart.
    virtual bool TokenOpenOwn(uint32_t access, TokenHandle* token) = 0;
    virtual bool PrivilegeLookup(const char* name, uint64_t* luid) = 0;
    // AdjustTokenPrivileges with one enabled privilege; the caller reads LastError().
    virtual bool PrivilegeEnable(TokenHandle token, uint64_t luid) = 0;
    virtual bool HandleClose(uintptr_t handle) = 0;
    virtual bool RequestRestart(uint32_t flags, uint32_t reason) = 0;  // ExitWindowsEx

    // Ends the program at once (ExitProcess), its windows left as they are.
    // Does not return on the real system.
    virtual void EndProgram(uint32_t exitCode) = 0;

    // WideCharToMultiByte into the ANSI code page: wideCount characters (or up
    // to the zero when -1) into buffer; the bytes written, or 0 on failure
    // (the buffer too small among others).
    virtual int WideToAnsi(const uint16_t* wide, int wideCount, char* buffer, int size) = 0;
};
