// The simulated session: version, clock, messages, prompts, privileges, restart.
#include "sim/SimSession.h"

#include "sim/SimState.h"

using namespace simdetail;

SimSession::SimSession(SimState& state) : state_(state) {}

void SimSession::SetVersion(uint32_t platformId, uint32_t major, uint32_t minor, uint32_t build) {
    state_.version = {platformId, major, minor, build};
    state_.versionFails = false;
}
void SimSession::FailVersion() { state_.versionFails = true; }

void SimSession::QueueMessage(uint32_t message, uintptr_t wParam, intptr_t lParam, uintptr_t window) {
    state_.queue.push_back({window, message, wParam, lParam});
}

void SimSession::QueueEscape() { QueueMessage(kWmKeyDown, kVkEscape, 0, mainWindow); }

void SimSession::AtPeek(int n, std::function<void()> action) {
    state_.peekActions.emplace(n, std::move(action));
}

void SimSession::ScriptPrompt(int answer) { state_.answers.push_back(answer); }

// --- version, time, messages, prompts ----------------------------------------------

bool SimSession::Version(OsVersion* version) {
    if (state_.versionFails || state_.Injected(FaultKind::Version)) {
        state_.lastError = kErrorInvalidParameter;
        return false;
    }
    *version = state_.version;
    return true;
}

void SimSession::SleepFor(uint32_t milliseconds) {
    nowMs += milliseconds;
    sleeps.push_back(milliseconds);
}

uint32_t SimSession::LastError() { return state_.lastError; }

bool SimSession::PeekOneMessage(QueuedMessage* message) {
    ++peekCount_;
    auto range = state_.peekActions.equal_range(peekCount_);
    std::vector<std::function<void()>> actions;
    for (auto it = range.first; it != range.second; ++it) actions.push_back(it->second);
    state_.peekActions.erase(range.first, range.second);
    for (auto& action : actions) action();
    if (state_.queue.empty()) return false;
    *message = state_.queue.front();
    state_.queue.pop_front();
    return true;
}

void SimSession::DispatchOne(const QueuedMessage& message) {
    dispatched.push_back(message);
    if (onDispatch) onDispatch(message);
}

intptr_t SimSession::Notify(uintptr_t window, uint32_t notification, const char* text) {
    if (window == 0) return 0;
    if (window != mainWindow) {
        sentToOthers.push_back({window, notification, 0, 0});
        return 0;
    }
    if (notification == kNotifyLogLine) {
        logLines.push_back(text);
        if (onLogLine) onLogLine(logLines.back());
    } else if (notification == kNotifyStatusText) {
        statusTexts.push_back(text);
    }
    return 0;
}

int SimSession::Prompt(const char* text, const char* caption, int style) {
    prompts.push_back({text ? text : "", caption ? caption : "", style});
    PromptRecord record = prompts.back();
    if (onPrompt) onPrompt(record);  // before the answer is taken, so it may script it
    int answer = defaultAnswer;
    if (!state_.answers.empty()) {
        answer = state_.answers.front();
        state_.answers.pop_front();
    }
    return answer;
}

int SimSession::SystemMessageBox(uintptr_t, const char* text, const char* caption, uint32_t style) {
    messageBoxes.push_back({text ? text : "", caption ? caption : "", static_cast<int>(style)});
    return kAnswerOk;
}

// --- privileges and restart ----------------------------------------------------------

namespace {

const struct {
    const char* name;
    uint64_t luid;
} kPrivileges[] = {
    {"SeShutdownPrivilege", 19},
    {"SeDebugPrivilege", 20},
};

}  // namespace

bool SimSession::TokenOpenOwn(uint32_t, TokenHandle* token) {
    if (tokenOpenFails) {
        state_.lastError = kErrorAccessDenied;
        return false;
    }
    *token = state_.nextToken;
    state_.nextToken += 4;
    state_.tokens.insert(*token);
    ++openHandles;
    return true;
}

bool SimSession::PrivilegeLookup(const char* name, uint64_t* luid) {
    for (const auto& privilege : kPrivileges) {
        if (name && SameTextIgnoringCase(name, privilege.name)) {
            *luid = privilege.luid;
            return true;
        }
    }
    state_.lastError = kErrorNoSuchPrivilege;
    return false;
}

bool SimSession::PrivilegeEnable(TokenHandle token, uint64_t luid) {
    if (!state_.tokens.count(token)) {
        state_.lastError = kErrorInvalidHandle;
        return false;
    }
    // Like AdjustTokenPrivileges: succeeds, and the last error tells whether
    // the privilege was really granted.
    state_.lastError = privilegeError;
    if (privilegeError == 0) {
        std::string name = "luid:" + std::to_string(luid);
        for (const auto& privilege : kPrivileges)
            if (privilege.luid == luid) name = privilege.name;
        privilegesEnabled.push_back(name);
        if (name == "SeDebugPrivilege") state_.debugPrivilegeOn = true;
    }
    return true;
}

bool SimSession::HandleClose(uintptr_t handle) {
    if (state_.tokens.erase(handle)) {
        --openHandles;
        return true;
    }
    if (state_.kernelObjects.erase(handle)) return true;
    ++state_.failedCloses;
    state_.lastError = kErrorInvalidHandle;
    return false;
}

bool SimSession::RequestRestart(uint32_t flags, uint32_t) {
    restartRequests.push_back(flags);
    if (!restartResult) state_.lastError = kErrorAccessDenied;
    return restartResult;
}


void SimSession::EndProgram(uint32_t exitCode) { endedWith = exitCode; }

int SimSession::WideToAnsi(const uint16_t* wide, int wideCount, char* buffer, int size) {
    int count = wideCount;
    if (count < 0) {
        count = 0;
        while (wide[count] != 0) ++count;
        ++count;  // the zero is converted too
    }
    if (size == 0) return count;  // the size needed
    if (count > size) {
        state_.lastError = kErrorInsufficientBuffer;
        return 0;
    }
    for (int i = 0; i < count; ++i) buffer[i] = wide[i] <= 0xFF ? static_cast<char>(wide[i]) : '?';
    return count;
}
