// Running cordafix-offline in the tests: in this process (RunOfflineScan)
// or as the built program, with its output and exit status.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "offline/FakeVolume.h"
#include "offline/OfflineScan.h"
#include "tools/samplegen/SampleGen.h"

struct ScanOutcome {
    int status;
    std::string out;
    std::string err;
};

ScanOutcome ScanInProcess(const OfflineOptions& options,
                          const std::function<void(OfflinePlatform&)>& beforeScan = nullptr);
ScanOutcome ScanWithProgram(const std::vector<std::string>& arguments);

// A hosts file in uuencoded form that carries the attachment table's pattern.
std::string EncodedHosts();
// A sample matching record, and its near miss (one pattern byte changed).
samplegen::Bytes Sample(int record);
samplegen::Bytes NearMiss(int record);
