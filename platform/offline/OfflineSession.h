// The session of a scan that runs on another system than the one it
// cleans: it answers as the NT family, hands the scan's log lines and status
// texts to the front end, and answers every question so that nothing
// restarts (there is nothing here to restart).
#pragma once

#include <csignal>
#include <cstdint>

#include "platform/Session.h"

// Where the lines and texts meant for the main window go.
class OfflineOutput {
public:
    virtual ~OfflineOutput() {}
    virtual void LogLine(const char* line) = 0;
    virtual void StatusText(const char* text) = 0;
    // A question the scan asked and the answer it was given, or a system message.
    virtual void Notice(const char* caption, const char* text) = 0;
};

class OfflineSession : public Session {
public:
    // Window handle the scan's notifications are addressed to.
    static const uintptr_t kMainWindow = 0x0FF1;

    OfflineSession(uint32_t* lastError, OfflineOutput* output) : lastError_(lastError), output_(output) {}

    // Once set (from a signal handler), the scan's next look at its message
    // queue finds WM_QUIT and the scan ends as if terminated by the user.
    static volatile sig_atomic_t stopRequested;

    bool Version(OsVersion* version) override;
    void SleepFor(uint32_t milliseconds) override;
    uint32_t LastError() override { return *lastError_; }
    bool PeekOneMessage(QueuedMessage* message) override;
    void DispatchOne(const QueuedMessage&) override {}
    intptr_t Notify(uintptr_t window, uint32_t notification, const char* text) override;
    int Prompt(const char* text, const char* caption, int style) override;
    int SystemMessageBox(uintptr_t owner, const char* text, const char* caption, uint32_t style) override;
    bool TokenOpenOwn(uint32_t access, TokenHandle* token) override;
    bool PrivilegeLookup(const char* name, uint64_t* luid) override;
    bool PrivilegeEnable(TokenHandle token, uint64_t luid) override;
    bool HandleClose(uintptr_t) override { return true; }
    bool RequestRestart(uint32_t flags, uint32_t reason) override;
    // Nothing offline ends the program from inside the scan (there is no
    // memory pass to find anything); should it happen, the scan's own
    // output is flushed and the program ends with that status.
    void EndProgram(uint32_t exitCode) override;
    // The volume's text reaches the scan as UTF-8 (see OfflineRegistry.h):
    // wide text is converted to that, not to an 8-bit code page.
    int WideToAnsi(const uint16_t* wide, int wideCount, char* buffer, int size) override;

private:
    uint32_t* lastError_;
    OfflineOutput* output_;
    bool quitSent_ = false;
};
