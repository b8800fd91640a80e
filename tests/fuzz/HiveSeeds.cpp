// Writes the seed inputs of the hive targets (seed-* in <corpus>/hive_logs
// and <corpus>/offline_registry) from small hives made with hivex and logs
// of both formats, kept small: the new format's pages cover only the
// 512-byte stretches that changed.
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

bool WriteRegistrySeed(const std::string& folder, const char* name, uint8_t key, uint8_t value, uint8_t flags,
                       const HiveBytes& hive) {
    HiveBytes input = {key, value, flags};
    input.insert(input.end(), hive.begin(), hive.end());
    return !hive.empty() && WriteBytes(folder + "/seed-" + name, input);
}

// A Run key with values of several sizes (one near the largest a cell holds)
// beside keys with subkeys.
HiveBytes RegistryHive() {
    return HiveMadeWith([](hive_h* hive) {
        std::string tool = "C:\\Windows\\tool.exe", word = "1234", big(16000, 'b');
        hive_set_value values[] = {Binary("tool", tool), Binary("word", word), Binary("big", big)};
        hive_node_h node = hivex_root(hive);
        for (const char* name : {"Microsoft", "Windows", "CurrentVersion", "Run"}) node = node ? hivex_node_add_child(hive, node, name) : 0;
        hive_node_h services = hivex_node_add_child(hive, hivex_root(hive), "Services");
        for (const char* name : {"alpha", "beta", "gamma"}) hivex_node_add_child(hive, services, name);
        return node && services && hivex_node_set_values(hive, node, 3, values, 0) == 0;
    });
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
    std::string registry = std::string(argv[1]) + "/offline_registry";
    HiveBytes hive = RegistryHive();
    written = written && WriteRegistrySeed(registry, "remove-run-value", 3, 0, 0, hive) &&
              WriteRegistrySeed(registry, "remove-beside-a-large-value", 3, 1, 0, hive) &&
              WriteRegistrySeed(registry, "remove-service-key", 6, 0, 1, hive) &&
              WriteRegistrySeed(registry, "remove-from-recovered", 0, 0, 0, grown);
    return written ? 0 : 1;
}
