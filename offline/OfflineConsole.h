// What a scan shows on the terminal, and the detections it reports.
//
// The program's log lines go to standard output as they come, made
// printable (see Printable); the report keeps every text exact. On a
// terminal, standard error carries one progress line that rewrites itself
// (files scanned, found so far, the current path as the status line shows
// it); anywhere else there is no progress at all.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/offline/OfflineSession.h"

// text as the terminal may show it: control characters (C0 but the tab, DEL,
// C1) and bytes that are no UTF-8 become \xNN, so that names from the volume
// can neither move the cursor nor start a line of their own.
std::string Printable(const std::string& text);

// One infected file (or hosts file) as its result line told it.
struct Detection {
    std::string path;
    std::string record;  // detection name
    std::string result;  // "removed", "unable to remove", ...
    bool removed;
};

// Reads a result line of the disposition ("<path>     <name> removed");
// false for any other line.
bool ParseResultLine(const char* line, Detection* detection);

class OfflineConsole : public OfflineOutput {
public:
    OfflineConsole(FILE* out, FILE* err);

    void LogLine(const char* line) override;
    void StatusText(const char* text) override;
    void Notice(const char* caption, const char* text) override;

    // A line of this tool's own (not the program's).
    void Say(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    // A message on standard error, also kept for the report.
    void Warn(const std::string& message);

    const std::vector<Detection>& Detections() const { return detections_; }
    const std::vector<std::string>& Messages() const { return messages_; }

private:
    void ClearProgress();

    FILE* out_;
    FILE* err_;
    bool progress_;
    bool progressShown_ = false;
    long long lastDrawnMs_ = -1000;
    std::vector<Detection> detections_;
    std::vector<std::string> messages_;
};
