// Writes the seed inputs of the hive targets (seed-* in <corpus>/hive_logs
// and <corpus>/offline_registry) from small hives made with hivex and logs
// of both formats; the new format's pages cover only the 512-byte stretches
// that changed, to keep them small. tests/fuzz/make_seeds.py runs it.
#include <cstdio>
#include <string>

#include "offline/HiveTestSupport.h"
#include "platform/offline/HiveLogs.h"

namespace {

// prefix, then each part with its length (32 bits) before it but the last.
bool WriteSeed(const std::string& path, HiveBytes input, const std::vector<HiveBytes>& parts) {
    for (size_t i = 0; i < parts.size(); ++i) {
        for (int k = 0; k < 4 && i + 1 < parts.size(); ++k) input.push_back(uint8_t(parts[i].size() >> (8 * k)));
        input.insert(input.end(), parts[i].begin(), parts[i].end());
    }
    return WriteBytes(path, input);
}

bool AddValue(hive_h* hive, const char* key, const char* name, size_t length) {
    std::string data(length, 'v');
    hive_set_value value = {const_cast<char*>(name), hive_t_REG_BINARY, data.size(), &data[0]};
    hive_node_h node = key ? hivex_node_add_child(hive, hivex_root(hive), key) : hivex_root(hive);
    return node && hivex_node_set_value(hive, node, &value, 0) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: hive_seeds CORPUS-FOLDER\n");
        return 2;
    }
    std::string logs = std::string(argv[1]) + "/hive_logs/seed-", registry = std::string(argv[1]) + "/offline_registry/seed-";
    HiveBytes before = HiveMadeWith([](hive_h*) { return true; });
    HiveBytes small = HiveMadeWith([](hive_h* hive) { return AddValue(hive, "Run", "Tool", 20); }, before);
    HiveBytes grown = HiveMadeWith([](hive_h* hive) { return AddValue(hive, nullptr, "Big", 3000); }, small);
    HiveBytes tree = HiveMadeWith([](hive_h* hive) {
        return AddValue(hive, "Services", "Start", 4) && AddValue(hive, "Software", "Large", 16000);
    }, grown);
    if (before.empty() || small.empty() || grown.empty() || tree.empty()) return 1;

    HiveBytes primary = before, damaged;
    MakeDirty(&primary);
    damaged = primary;
    damaged[kHiveRootCell] ^= 0x40;
    uint32_t first = HiveRead32(primary.data(), kHiveSecondarySequence);
    HiveBytes log1 = LogHeader(small, kHiveTypeLogEntries, first), log2 = LogHeader(grown, kHiveTypeLogEntries, first + 1);
    AppendLogEntry(&log1, first, HiveRead32(small.data(), kHiveBinsSize), ChangedPages(before, small, 512));
    AppendLogEntry(&log2, first + 1, HiveRead32(grown.data(), kHiveBinsSize), ChangedPages(small, grown, 512));
    // hive_logs: flags (7: hashes and checksums made right), the hive file, .LOG1, .LOG2.
    bool written = WriteSeed(logs + "entries-in-two-logs", {7}, {primary, log1, log2}) &&
                   WriteSeed(logs + "entries-damaged-base-block", {7}, {damaged, log2, log1}) &&
                   WriteSeed(logs + "dirty-vector", {4}, {primary, DirtyVectorLog(before, small), {}}) &&
                   WriteSeed(logs + "clean-with-logs", {7}, {grown, log1, log2});
    // offline_registry: which key, which value, flags (1: remove the key), the hive file.
    return written && WriteSeed(registry + "remove-value", {0, 0, 0}, {tree}) &&
                   WriteSeed(registry + "remove-large-value", {2, 0, 0}, {tree}) &&
                   WriteSeed(registry + "remove-key", {1, 0, 1}, {tree})
               ? 0
               : 1;
}
