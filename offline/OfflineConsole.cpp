#include "offline/OfflineConsole.h"

#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <cstdarg>
#include <cstring>

#include "common/Shared.h"

namespace {

const long long kRedrawEveryMs = 100;
const size_t kNarrowestTerminal = 40;

// Result lines end in one of these; the detection name comes before, five
// blanks before it the path.
struct ResultSuffix {
    const char* text;
    const char* result;
    bool removed;
};
const ResultSuffix kSuffixes[] = {
    {" removed", "removed", true},
    {" renamed", "renamed", true},
    {" Unable to remove", "unable to remove", false},
    {" Remove failed", "remove failed", false},
    {" Rename failed", "rename failed", false},
    {" not disinfected as per user's selection", "left alone as selected", false},
    {" Not Disinfected As Per User's Selection", "left alone as selected", false},
};
const char kColumnGap[] = "     ";

long long NowMs() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

size_t TerminalWidth(int fd) {
    struct winsize size;
    if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col >= kNarrowestTerminal) return size.ws_col;
    return 80;
}

bool EndsWith(const std::string& text, const char* suffix) {
    size_t length = strlen(suffix);
    return text.size() >= length && text.compare(text.size() - length, length, suffix) == 0;
}

}  // namespace

bool ParseResultLine(const char* line, Detection* detection) {
    std::string text = line;
    // The registry's and the memory pass's lines name no file.
    if (text.rfind("System Registry ", 0) == 0 || text.rfind("System Memory ", 0) == 0) return false;
    for (const ResultSuffix& suffix : kSuffixes) {
        if (!EndsWith(text, suffix.text)) continue;
        std::string front = text.substr(0, text.size() - strlen(suffix.text));
        size_t gap = front.rfind(kColumnGap);
        if (gap == std::string::npos || gap == 0) return false;
        detection->path = front.substr(0, gap);
        detection->record = front.substr(gap + strlen(kColumnGap));
        detection->result = suffix.result;
        detection->removed = suffix.removed;
        return !detection->record.empty() && detection->record.find(' ') == std::string::npos;
    }
    return false;
}

OfflineConsole::OfflineConsole(FILE* out, FILE* err)
    : out_(out), err_(err), progress_(isatty(fileno(err)) != 0) {}

void OfflineConsole::ClearProgress() {
    if (!progressShown_) return;
    fputs("\r\033[K", err_);
    fflush(err_);
    progressShown_ = false;
}

void OfflineConsole::LogLine(const char* line) {
    ClearProgress();
    fprintf(out_, "%s\n", line);
    fflush(out_);
    Detection detection;
    if (ParseResultLine(line, &detection)) detections_.push_back(detection);
}

void OfflineConsole::StatusText(const char* text) {
    if (!progress_) return;
    long long now = NowMs();
    if (now - lastDrawnMs_ < kRedrawEveryMs) return;
    lastDrawnMs_ = now;
    char line[512];
    int length = snprintf(line, sizeof line, "Scanned %d, found %d  %s", FilesScanned, FilesInfected, text);
    size_t width = TerminalWidth(fileno(err_)) - 1;
    if (length > 0 && static_cast<size_t>(length) > width) line[width] = '\0';
    fprintf(err_, "\r\033[K%s", line);
    fflush(err_);
    progressShown_ = true;
}

void OfflineConsole::Notice(const char* caption, const char* text) {
    Warn(std::string(caption) + ": " + text);
}

void OfflineConsole::Say(const char* format, ...) {
    ClearProgress();
    va_list args;
    va_start(args, format);
    vfprintf(out_, format, args);
    va_end(args);
    fputc('\n', out_);
    fflush(out_);
}

void OfflineConsole::Warn(const std::string& message) {
    ClearProgress();
    fprintf(err_, "cordafix-offline: %s\n", message.c_str());
    fflush(err_);
    messages_.push_back(message);
}
