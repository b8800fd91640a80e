// The command line of cordafix-offline.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

struct OfflineOptions {
    std::string volume;                               // Windows system volume: drive C:
    std::vector<std::pair<char, std::string>> drives;  // further letters (--drive D=PATH)
    std::map<char, int> partitions;                   // letter -> partition of a whole disk (--partition)
    std::string reportPath;                           // --report FILE, empty: none
    bool dryRun = false;
    bool force = false;
};

enum class OptionsOutcome { kRun, kHelp, kVersion, kError };

// Reads argv; on kError, message says what is wrong.
OptionsOutcome ParseOfflineOptions(int argc, char** argv, OfflineOptions* options, std::string* message);

extern const char kOfflineUsage[];
// "cordafix-offline 1.0 (...)": the version line, with the table's size.
std::string OfflineVersionLine();
