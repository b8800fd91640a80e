// The simulated session: the version answer, a virtual clock, the message
// queue, the main window's receivers, prompt answers, privileges and restart,
// all in memory and scripted by the test.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Session.h"

namespace simdetail {
struct SimState;
}

class SimSession : public Session {
public:
    explicit SimSession(simdetail::SimState& state);

    // --- set-up and inspection used by the tests ------------------------------
    void SetVersion(uint32_t platformId, uint32_t major, uint32_t minor, uint32_t build = 0);
    void FailVersion();  // GetVersionExA fails

    // Message queue: messages PeekOneMessage hands out, in order.
    void QueueMessage(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0,
                      uintptr_t window = 0);
    void QueueEscape();  // WM_KEYDOWN with VK_ESCAPE
    // Runs the test's action when PeekOneMessage is called for the n-th time
    // (counting from 1), before it looks at the queue.
    void AtPeek(int n, std::function<void()> action);
    int PeekCount() const { return peekCount_; }
    std::vector<QueuedMessage> dispatched;
    std::function<void(const QueuedMessage&)> onDispatch;

    // The main window: lines and status texts the notifications delivered.
    uintptr_t mainWindow = 0x1234;
    std::vector<std::string> logLines;
    std::vector<std::string> statusTexts;
    std::vector<QueuedMessage> sentToOthers;  // notifications to any other window
    // Called for each line as it arrives (after it was recorded).
    std::function<void(const std::string& line)> onLogLine;

    // Prompts: answers given in order; when none is left, defaultAnswer.
    struct PromptRecord {
        std::string text;
        std::string caption;
        int style;
    };
    void ScriptPrompt(int answer);
    int defaultAnswer = kAnswerNo;
    std::vector<PromptRecord> prompts;
    std::vector<PromptRecord> messageBoxes;
    // Runs for each prompt after it was recorded and before its answer is
    // taken, so it may script the answer with ScriptPrompt.
    std::function<void(const PromptRecord&)> onPrompt;

    // Clock: SleepFor advances it.
    uint64_t nowMs = 0;
    std::vector<uint32_t> sleeps;

    // Privileges and restart.
    bool tokenOpenFails = false;
    uint32_t privilegeError = 0;  // LastError after enabling a privilege
    std::vector<std::string> privilegesEnabled;
    std::vector<uint32_t> restartRequests;  // flags of each ExitWindowsEx
    bool restartResult = true;
    int openHandles = 0;  // tokens opened and not yet closed

    // The end of the program: its exit code once EndProgram was called (which
    // returns here, unlike on the real system), -1 before.
    int64_t endedWith = -1;

    // --- Session ------------------------------------------------------------
    bool Version(OsVersion* version) override;
    void SleepFor(uint32_t milliseconds) override;
    uint32_t LastError() override;
    bool PeekOneMessage(QueuedMessage* message) override;
    void DispatchOne(const QueuedMessage& message) override;
    intptr_t Notify(uintptr_t window, uint32_t notification, const char* text) override;
    int Prompt(const char* text, const char* caption, int style) override;
    int SystemMessageBox(uintptr_t owner, const char* text, const char* caption,
                         uint32_t style) override;
    bool TokenOpenOwn(uint32_t access, TokenHandle* token) override;
    bool PrivilegeLookup(const char* name, uint64_t* luid) override;
    bool PrivilegeEnable(TokenHandle token, uint64_t luid) override;
    bool HandleClose(uintptr_t handle) override;
    bool RequestRestart(uint32_t flags, uint32_t reason) override;
    void EndProgram(uint32_t exitCode) override;
    // Characters up to 0xFF stand for themselves (a Latin code page), others become "?".
    int WideToAnsi(const uint16_t* wide, int wideCount, char* buffer, int size) override;

private:
    simdetail::SimState& state_;
    int peekCount_ = 0;
};
