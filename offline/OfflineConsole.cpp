#include "offline/OfflineConsole.h"

#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <cstdarg>
#include <cstring>
#include <vector>

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

// The length of the UTF-8 sequence at text[at], 0 when there is none.
size_t Utf8Length(const std::string& text, size_t at) {
    uint8_t lead = static_cast<uint8_t>(text[at]);
    size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
    if (length == 0 || at + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k)
        if ((static_cast<uint8_t>(text[at + k]) & 0xC0) != 0x80) return 0;
    return length;
}

void AppendEscaped(const std::string& text, size_t at, size_t length, std::string* out) {
    for (size_t k = 0; k < length; ++k) {
        char code[8];
        snprintf(code, sizeof code, "\\x%02X", static_cast<uint8_t>(text[at + k]));
        *out += code;
    }
}

}  // namespace

std::string Printable(const std::string& text) {
    std::string out;
    for (size_t at = 0; at < text.size();) {
        uint8_t c = static_cast<uint8_t>(text[at]);
        if (c == '\t' || (c >= 0x20 && c < 0x7F)) {
            out += static_cast<char>(c);
            ++at;
            continue;
        }
        size_t length = c >= 0x80 ? Utf8Length(text, at) : 0;
        // U+0080 to U+009F, the C1 controls, are C2 80 to C2 9F.
        bool control = length == 0 || (length == 2 && c == 0xC2 && static_cast<uint8_t>(text[at + 1]) < 0xA0);
        if (control) AppendEscaped(text, at, length == 0 ? 1 : length, &out);
        else out.append(text, at, length);
        at += length == 0 ? 1 : length;
    }
    return out;
}

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
    fprintf(out_, "%s\n", Printable(line).c_str());
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
    int length = snprintf(line, sizeof line, "Scanned %d, found %d  %s", FilesScanned, FilesInfected,
                          Printable(text).c_str());
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
    va_list args, copy;
    va_start(args, format);
    va_copy(copy, args);
    int length = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::vector<char> text(length > 0 ? static_cast<size_t>(length) + 1 : 1, '\0');
    if (length > 0) vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    ClearProgress();
    fprintf(out_, "%s\n", Printable(text.data()).c_str());
    fflush(out_);
}

void OfflineConsole::Warn(const std::string& message) {
    ClearProgress();
    fprintf(err_, "cordafix-offline: %s\n", Printable(message).c_str());
    fflush(err_);
    messages_.push_back(message);
}
