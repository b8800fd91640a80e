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
// The program stopped after two minutes (status 124): a scan that hangs fails.
ScanOutcome ScanWithProgram(const std::vector<std::string>& arguments);

// A hosts file in uuencoded form that carries the attachment table's pattern.
std::string EncodedHosts();
// A sample matching record, and its near miss (one pattern byte changed).
samplegen::Bytes Sample(int record);
samplegen::Bytes NearMiss(int record);

// Where the record with signature ("vk", "nk") and that name lies in a
// hive's bytes (the offset of its signature); 0 when nowhere.
size_t FindRecord(const std::vector<uint8_t>& bytes, const char* signature, const std::string& name);
// A 32-bit field of a record in a hive file: the record with signature
// ("vk" for values, "nk" for keys) whose name is name; fieldAt counts from
// the signature. Peek gives 0 and Poke false when there is no such record.
uint32_t PeekRecord(const std::string& hive, const char* signature, const std::string& name, size_t fieldAt);
bool PokeRecord(const std::string& hive, const char* signature, const std::string& name, size_t fieldAt,
                uint32_t value);
