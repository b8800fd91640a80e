#include "ui/logic/Switches.h"

#include <cstdio>
#include <cstring>

#include "common/Shared.h"

const char kUsageText[] =
    "cordafix.exe [/silent] [/log=PATH] [/nofix] [/reboot] [/?]\n"
    "\n"
    "Without switches the program opens its window and waits for SCAN.\n"
    "\n"
    "/silent\tno window, no question, no message: scans at once and ends\n"
    "\twhen the scan ends; questions get the answer that keeps the\n"
    "\tcomputer running (no restart) unless /reboot is given\n"
    "/log=PATH\tappends the log lines, the statistics and the result to PATH\n"
    "/nofix\tfinds and reports, changes nothing\n"
    "/reboot\trestarts the computer when a restart is needed to finish\n"
    "/?\tshows this text\n"
    "\n"
    "Switches may begin with / or -, in any case.\n"
    "\n"
    "Exit status: 0 nothing found, 1 found and everything removed,\n"
    "2 found and something left (or not looked at: /nofix, a terminated scan),\n"
    "3 could not run, 3010 a restart is needed to finish,\n"
    "1641 a restart was started.";

namespace {

// Longer than any switch with a path: a word that does not fit is refused.
const size_t kWordSize = kPathSize + 16;
const char kLogPrefix[] = "log=";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameLetters(const char* text, const char* lower, size_t length) {
    for (size_t i = 0; i < length; ++i)
        if (text[i] == '\0' || LowerAscii(text[i]) != lower[i]) return false;
    return true;
}

bool NameIs(const char* name, const char* lower) {
    return strlen(name) == strlen(lower) && SameLetters(name, lower, strlen(lower));
}

// Copies the next word from *cursor into word, dropping double quotes and
// keeping the blanks between them; false at the end of the line. A word too
// long for word is cut and *tooLong set.
bool NextWord(const char** cursor, char* word, size_t size, bool* tooLong) {
    const char* at = *cursor;
    while (IsBlank(*at)) ++at;
    if (*at == '\0') return false;
    size_t used = 0;
    bool quoted = false;
    *tooLong = false;
    for (; *at != '\0' && (quoted || !IsBlank(*at)); ++at) {
        if (*at == '"') {
            quoted = !quoted;
        } else if (used + 1 < size) {
            word[used++] = *at;
        } else {
            *tooLong = true;
        }
    }
    word[used] = '\0';
    *cursor = at;
    return true;
}

// Applies one word; false (with the reason) when it is no switch of the program.
bool ApplyWord(const char* word, bool tooLong, RunSwitches* switches, char* refusal, size_t size) {
    const char* name = word + 1;
    bool prefixed = word[0] == '/' || word[0] == '-';
    if (prefixed && SameLetters(name, kLogPrefix, sizeof kLogPrefix - 1)) {
        const char* path = name + sizeof kLogPrefix - 1;
        if (*path == '\0') {
            snprintf(refusal, size, "The switch %s needs the path of the log file", word);
            return false;
        }
        if (!tooLong && CopyText(switches->logPath, sizeof switches->logPath, path)) return true;
        snprintf(refusal, size, "The path of the log file is too long: %s...", path);
        return false;
    }
    bool* flag = nullptr;
    if (prefixed && NameIs(name, "silent")) flag = &switches->silent;
    if (prefixed && NameIs(name, "nofix")) flag = &switches->noFix;
    if (prefixed && NameIs(name, "reboot")) flag = &switches->reboot;
    if (prefixed && NameIs(name, "?")) flag = &switches->usage;
    if (flag != nullptr && !tooLong) {
        *flag = true;
        return true;
    }
    snprintf(refusal, size, "Unknown switch: %s%s", word, tooLong ? "..." : "");
    return false;
}

}  // namespace

bool HasSwitches(const char* commandLine) {
    for (const char* at = commandLine; at != nullptr && *at != '\0'; ++at)
        if (!IsBlank(*at)) return true;
    return false;
}

bool ParseSwitches(const char* commandLine, RunSwitches* switches, char* refusal, size_t refusalSize) {
    memset(switches, 0, sizeof *switches);
    switches->given = HasSwitches(commandLine);
    if (refusalSize > 0) refusal[0] = '\0';
    bool accepted = true;
    const char* cursor = commandLine;
    char word[kWordSize];
    char reason[kWordSize + 64];
    bool tooLong = false;
    while (cursor != nullptr && NextWord(&cursor, word, sizeof word, &tooLong)) {
        if (ApplyWord(word, tooLong, switches, reason, sizeof reason)) continue;
        // The first refusal is the one reported.
        if (accepted) snprintf(refusal, refusalSize, "%s", reason);
        accepted = false;
    }
    if (accepted && switches->usage && switches->silent) {
        snprintf(refusal, refusalSize, "The usage (/?) cannot be shown with /silent");
        accepted = false;
    }
    return accepted;
}
