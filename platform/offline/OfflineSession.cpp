#include "platform/offline/OfflineSession.h"

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/host/TextCodes.h"

volatile sig_atomic_t OfflineSession::stopRequested = 0;

namespace {

// "No" where the buttons offer it, else "Cancel", else "OK": never the
// answer that restarts or goes on with something.
int CautiousAnswer(int style) {
    int buttons = style & kStyleButtonsMask;
    if (buttons == kStyleYesNo || buttons == kStyleYesNoCancel) return kAnswerNo;
    if (buttons == kStyleOkCancel) return kAnswerCancel;
    return kAnswerOk;
}

const char* AnswerName(int answer) {
    return answer == kAnswerNo ? "No" : answer == kAnswerCancel ? "Cancel" : "OK";
}

}  // namespace

bool OfflineSession::Version(OsVersion* version) {
    // The family whose registry the volume's hives are: NT (XP's numbers).
    *version = {kPlatformIdNt, 5, 1, 2600};
    return true;
}

void OfflineSession::SleepFor(uint32_t milliseconds) {
    struct timespec pause = {static_cast<time_t>(milliseconds / 1000),
                             static_cast<long>(milliseconds % 1000) * 1000000L};
    nanosleep(&pause, nullptr);
}

bool OfflineSession::PeekOneMessage(QueuedMessage* message) {
    if (!stopRequested || quitSent_) return false;
    quitSent_ = true;
    *message = {0, kWmQuit, 0, 0};
    return true;
}

intptr_t OfflineSession::Notify(uintptr_t window, uint32_t notification, const char* text) {
    if (window != kMainWindow) return 0;
    if (notification == kNotifyLogLine) output_->LogLine(text);
    else if (notification == kNotifyStatusText) output_->StatusText(text);
    return 0;
}

int OfflineSession::Prompt(const char* text, const char* caption, int style) {
    int answer = CautiousAnswer(style);
    char notice[700];
    snprintf(notice, sizeof notice, "%s [answered %s]", text ? text : "", AnswerName(answer));
    output_->Notice(caption ? caption : "", notice);
    return answer;
}

int OfflineSession::SystemMessageBox(uintptr_t, const char* text, const char* caption, uint32_t style) {
    output_->Notice(caption ? caption : "", text ? text : "");
    return CautiousAnswer(static_cast<int>(style));
}

// No privileges or restart: the system this runs on is not the one cleaned.
bool OfflineSession::TokenOpenOwn(uint32_t, TokenHandle*) {
    *lastError_ = kErrorCallNotImplemented;
    return false;
}

bool OfflineSession::PrivilegeLookup(const char*, uint64_t*) {
    *lastError_ = kErrorCallNotImplemented;
    return false;
}

bool OfflineSession::PrivilegeEnable(TokenHandle, uint64_t) {
    *lastError_ = kErrorCallNotImplemented;
    return false;
}

bool OfflineSession::RequestRestart(uint32_t, uint32_t) {
    *lastError_ = kErrorCallNotImplemented;
    return false;
}

void OfflineSession::EndProgram(uint32_t exitCode) {
    fflush(stdout);
    std::exit(static_cast<int>(exitCode));
}

int OfflineSession::WideToAnsi(const uint16_t* wide, int wideCount, char* buffer, int size) {
    if (wide == nullptr || buffer == nullptr || size <= 0) return 0;
    size_t count = wideCount < 0 ? 0 : static_cast<size_t>(wideCount);
    if (wideCount < 0) {
        while (wide[count] != 0) ++count;
        ++count;  // the zero is converted too, as the system does
    }
    std::string text = Utf16ToUtf8(wide, count);
    if (text.size() > static_cast<size_t>(size)) return 0;
    memcpy(buffer, text.data(), text.size());
    return static_cast<int>(text.size());
}
