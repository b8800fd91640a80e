// Every concern of the seam for a Windows volume mounted on this system,
// over one shared last-error value.
#pragma once

#include <memory>
#include <string>

#include "platform/Platform.h"
#include "platform/offline/OfflineFileSystem.h"
#include "platform/offline/OfflineHive.h"
#include "platform/offline/OfflineProcesses.h"
#include "platform/offline/OfflineRegistry.h"
#include "platform/offline/OfflineSession.h"

class OfflinePlatform {
    uint32_t lastError_ = 0;  // first: the concerns below keep its address

public:
    explicit OfflinePlatform(OfflineOutput* output)
        : files(&lastError_), registry(&lastError_), processes(&lastError_), session(&lastError_, output) {}

    Platform Parts() { return {&files, &registry, &processes, &session}; }

    OfflineFileSystem files;
    OfflineRegistry registry;
    OfflineProcesses processes;
    OfflineSession session;
};
