// cordafix-offline: cleans a Windows volume from this (rescue) system.
#include <signal.h>

#include <cstdio>
#include <cstring>

#include "offline/OfflineOptions.h"
#include "offline/OfflineScan.h"
#include "platform/ntfs/NtfsVolume.h"
#include "platform/offline/OfflineSession.h"

namespace {

// The scan stops at its next entry and still reports. A second signal ends
// it at once, unless an NTFS volume is open for writing in this program:
// that one is closed whole first, whatever comes.
void RequestStop(int signal) {
    if (OfflineSession::stopRequested != 0 && !NtfsVolume::AnyOpenForWriting()) {
        struct sigaction standard;
        memset(&standard, 0, sizeof standard);
        standard.sa_handler = SIG_DFL;
        sigaction(signal, &standard, nullptr);
        raise(signal);
        return;
    }
    OfflineSession::stopRequested = 1;
}

}  // namespace

int main(int argc, char** argv) {
    OfflineOptions options;
    std::string message;
    switch (ParseOfflineOptions(argc, argv, &options, &message)) {
        case OptionsOutcome::kHelp:
            fputs(kOfflineUsage, stdout);
            return 0;
        case OptionsOutcome::kVersion:
            printf("%s\n", OfflineVersionLine().c_str());
            return 0;
        case OptionsOutcome::kError:
            fprintf(stderr, "cordafix-offline: %s\n\n%s", message.c_str(), kOfflineUsage);
            return kExitCouldNotRun;
        case OptionsOutcome::kRun:
            break;
    }
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = RequestStop;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    // A reader of the output that goes away must not end a run mid-write.
    signal(SIGPIPE, SIG_IGN);
    return RunOfflineScan(options, stdout, stderr);
}
