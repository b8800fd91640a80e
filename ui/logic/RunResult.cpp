#include "ui/logic/RunResult.h"

#include <cstdio>
#include <cstring>

#include "engine/ScanRun.h"
#include "memory/MemoryScan.h"
#include "ui/logic/PromptRules.h"

namespace {

const size_t kFlatTextSize = 600;

bool IsRestartQuestion(const char* text) {
    return strcmp(text, kRestartQuestion) == 0 || strcmp(text, kMemoryRestartQuestion) == 0;
}

// The answer that agrees (YES, OK) or declines (NO, Cancel; the lone OK has
// nothing else) with a prompt of this style.
int AnswerFor(int style, bool agree) {
    switch (DecodePromptButtons(style)) {
        case PromptButtons::YesNo:
            return agree ? kAnswerYes : kAnswerNo;
        case PromptButtons::OkCancel:
            return agree ? kAnswerOk : kAnswerCancel;
        case PromptButtons::LoneOk:
            break;
    }
    return kAnswerOk;
}

const char* AnswerName(int answer) {
    switch (answer) {
        case kAnswerOk:
            return "OK";
        case kAnswerCancel:
            return "Cancel";
        case kAnswerYes:
            return "YES";
        case kAnswerNo:
            return "NO";
        default:
            return "no answer";
    }
}

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

// The text on one line: each line break, with the blanks around it, becomes one blank.
void FlattenText(const char* text, char* flat, size_t size) {
    size_t used = 0;
    for (const char* at = text; *at != '\0' && used + 1 < size; ++at) {
        if (!IsLineBreak(*at)) {
            flat[used++] = *at;
            continue;
        }
        while (used > 0 && flat[used - 1] == ' ') --used;
        while (IsLineBreak(at[1]) || at[1] == ' ') ++at;
        flat[used++] = ' ';
    }
    flat[used] = '\0';
}

const char* MeaningOf(int status, const ScanOutcome& outcome, const char* reason) {
    switch (status) {
        case kExitNothingFound:
            return "Nothing found";
        case kExitAllRemoved:
            return "Found and everything removed";
        case kExitSomethingLeft:
            return outcome.cancelled ? "The scan was terminated; what it did not reach was not looked at"
                                     : "Found and something left";
        case kExitRestartNeeded:
            return outcome.endedAfterMemoryPass
                       ? "Found in memory and removed; restart the computer and run the program again"
                       : "Everything handled; a restart is needed to finish";
        case kExitRestartStarted:
            return "A restart of the computer was started";
        default:
            return reason != nullptr ? reason : "The program could not run";
    }
}

}  // namespace

int ExitStatusOf(const ScanOutcome& outcome) {
    if (outcome.restartStarted) return kExitRestartStarted;
    if (!outcome.scanRan) return kExitCouldNotRun;
    int32_t left = outcome.filesInfected - outcome.filesRemoved - outcome.filesScheduled;
    if (left > 0 || outcome.cancelled) return kExitSomethingLeft;
    if (outcome.filesScheduled > 0 || outcome.endedAfterMemoryPass) return kExitRestartNeeded;
    return outcome.filesInfected > 0 ? kExitAllRemoved : kExitNothingFound;
}

int UnattendedAnswer(const RunSwitches& switches, const char* text, int style) {
    if (switches.reboot && IsRestartQuestion(text)) return AnswerFor(style, true);
    return switches.silent ? AnswerFor(style, false) : 0;
}

void FormatQuestionLine(char* line, size_t size, const char* text, int answer) {
    char flat[kFlatTextSize];
    FlattenText(text, flat, sizeof flat);
    snprintf(line, size, "Question: %s -> %s", flat, AnswerName(answer));
}

void FormatMessageLine(char* line, size_t size, const char* text, const char* caption) {
    char flat[kFlatTextSize];
    FlattenText(text, flat, sizeof flat);
    snprintf(line, size, "Message: %s (%s)", flat, caption);
}

void FormatWindowsLine(char* line, size_t size, bool known, const OsVersion& version) {
    if (!known) {
        snprintf(line, size, "Windows version unknown");
        return;
    }
    bool nineX = version.platformId == kPlatformIdNineX;
    // On the 9x family the high word of the build number repeats the version.
    uint32_t build = nineX ? (version.build & 0xFFFFu) : version.build;
    const char* family = nineX ? "9x family" : (version.platformId == kPlatformIdNt ? "NT family" : "other");
    snprintf(line, size, "Windows %u.%u build %u (%s)", static_cast<unsigned>(version.major),
             static_cast<unsigned>(version.minor), static_cast<unsigned>(build), family);
}

void FormatResultLine(char* line, size_t size, int status, const ScanOutcome& outcome, const char* reason) {
    snprintf(line, size, "Exit status %d: %s", status, MeaningOf(status, outcome, reason));
}
