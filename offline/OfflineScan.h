// One offline scan: a Windows volume mounted on this system (and further
// mapped folders) walked and cleaned by the program's own engine and repair
// code, on the offline implementation of the platform seam.
#pragma once

#include <cstdio>
#include <functional>

#include "common/ExitStatus.h"
#include "offline/OfflineOptions.h"

class OfflinePlatform;

const int kExitInterrupted = 130;  // stopped by SIGINT or SIGTERM, as shells report an interrupt

// Runs the scan the options describe, writing the program's lines to out and
// messages to err; returns the exit status. beforeScan, when given, sees the
// platform once it is set up (the tests use it to disturb the scan).
int RunOfflineScan(const OfflineOptions& options, FILE* out, FILE* err,
                   const std::function<void(OfflinePlatform&)>& beforeScan = nullptr);
