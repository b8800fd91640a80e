// Every concern of the seam for a Windows volume that is not running (its
// drives folders of this system or NTFS volumes read through the library),
// over one shared last-error value.
#pragma once

#include <memory>
#include <string>

#include "platform/Platform.h"
#include "platform/ntfs/NtfsDrives.h"
#include "platform/offline/OfflineDrives.h"
#include "platform/offline/OfflineFileSystem.h"
#include "platform/offline/OfflineHive.h"
#include "platform/offline/OfflineProcesses.h"
#include "platform/offline/OfflineRegistry.h"
#include "platform/offline/OfflineSession.h"

class OfflinePlatform {
    uint32_t lastError_ = 0;  // first: the concerns below keep its address

public:
    explicit OfflinePlatform(OfflineOutput* output)
        : files(&lastError_),
          volumes(&lastError_),
          drives(&lastError_, &files, &volumes),
          registry(&lastError_),
          processes(&lastError_),
          session(&lastError_, output) {}

    Platform Parts() { return {&drives, &registry, &processes, &session}; }

    OfflineFileSystem files;  // the drives on folders, the system's folders and environment
    NtfsDrives volumes;       // the drives on NTFS volumes
    OfflineDrives drives;     // both, as the scan sees them
    OfflineRegistry registry;
    OfflineProcesses processes;
    OfflineSession session;
};
