// Writes the seed inputs of the hive targets (seed-* in <corpus>/hive_logs)
// from small hives made with hivex and logs of both formats, kept small:
// the new format's pages cover only the 512-byte stretches that changed.
// tests/fuzz/make_seeds.py runs it.
#include <cstdio>
#include <cstring>
#include <string>

#include "offline/HiveTestSupport.h"
#include "platform/offline/HiveLogs.h"

namespace {

const size_t kStretch = 512;

// The stretches of after's bins that differ from before's (past before's
// end: from zeros, as a grown hive starts).
std::vector<LogPage> ChangedStretches(const HiveBytes& before, const HiveBytes& after) {
    std::vector<LogPage> pages;
    HiveBytes zeros(kStretch, 0);
    for (size_t at = kHiveBaseBlockSize; at < after.size(); at += kStretch) {
        const uint8_t* old = at + kStretch <= before.size() ? &before[at] : zeros.data();
        if (memcmp(old, &after[at], kStretch) != 0)
            pages.push_back({uint32_t(at - kHiveBaseBlockSize), HiveBytes(&after[at], &after[at] + kStretch)});
    }
    return pages;
}

void Put32(HiveBytes* input, uint32_t value) {
    for (int i = 0; i < 4; ++i) input->push_back(uint8_t(value >> (8 * i)));
}

bool Write(const std::string& folder, const char* name, uint8_t flags, const HiveBytes& primary,
           const HiveBytes& log1, const HiveBytes& log2) {
    HiveBytes input(1, flags);
    Put32(&input, uint32_t(primary.size()));
    input.insert(input.end(), primary.begin(), primary.end());
    Put32(&input, uint32_t(log1.size()));
    input.insert(input.end(), log1.begin(), log1.end());
    input.insert(input.end(), log2.begin(), log2.end());
    return WriteBytes(folder + "/seed-" + name, input);
}

hive_set_value Binary(const char* name, std::string& data) {
    return {const_cast<char*>(name), hive_t_REG_BINARY, data.size(), &data[0]};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: hive_seeds CORPUS-FOLDER\n");
        return 2;
    }
    std::string logs = std::string(argv[1]) + "/hive_logs";
    HiveBytes before = HiveMadeWith([](hive_h*) { return true; });
    HiveBytes small = HiveMadeWith([](hive_h* hive) {
        std::string data = "C:\\Windows\\tool.exe";
        hive_set_value value = Binary("Tool", data);
        hive_node_h run = hivex_node_add_child(hive, hivex_root(hive), "Run");
        return run && hivex_node_set_value(hive, run, &value, 0) == 0;
    }, before);
    HiveBytes grown = HiveMadeWith([](hive_h* hive) {
        std::string data(3000, 'g');
        hive_set_value value = Binary("Big", data);
        return hivex_node_set_value(hive, hivex_root(hive), &value, 0) == 0;
    }, small);
    if (before.empty() || small.empty() || grown.empty()) return 1;

    HiveBytes primary = before;
    MakeDirty(&primary);
    uint32_t first = HiveRead32(primary.data(), kHiveSecondarySequence);
    uint32_t smallBins = HiveRead32(small.data(), kHiveBinsSize), grownBins = HiveRead32(grown.data(), kHiveBinsSize);
    HiveBytes log1 = LogHeader(small, kHiveTypeLogEntries, first), log2 = LogHeader(grown, kHiveTypeLogEntries, first + 1);
    AppendLogEntry(&log1, first, smallBins, ChangedStretches(before, small));
    AppendLogEntry(&log2, first + 1, grownBins, ChangedStretches(small, grown));
    HiveBytes damaged = primary;
    damaged[kHiveRootCell] ^= 0x40;
    HiveBytes clean = grown;
    bool written = Write(logs, "entries-in-two-logs", 7, primary, log1, log2) &&
                   Write(logs, "entries-damaged-base-block", 7, damaged, log2, log1) &&
                   Write(logs, "dirty-vector", 4, primary, DirtyVectorLog(before, small), HiveBytes()) &&
                   Write(logs, "clean-with-logs", 7, clean, log1, log2);
    return written ? 0 : 1;
}
