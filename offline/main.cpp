// cordafix-offline: cleans a Windows volume mounted on this (rescue) system.
#include <signal.h>

#include <cstdio>
#include <cstring>

#include "offline/OfflineOptions.h"
#include "offline/OfflineScan.h"
#include "platform/offline/OfflineSession.h"

namespace {

// The scan stops at its next entry and still reports; a second signal ends it at once.
void RequestStop(int) { OfflineSession::stopRequested = 1; }

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
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    return RunOfflineScan(options, stdout, stderr);
}
