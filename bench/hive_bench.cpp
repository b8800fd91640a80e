// Times the recovery of a hive from its transaction logs and the structural
// walk of the result, in memory, the files read beforehand:
//
//   bench_hives HIVE LOG1 LOG2
//
// prints "recover=S walk=S entries=N keys=N values=N" (seconds of one run each).
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/offline/HiveLogs.h"
#include "platform/offline/HiveWalk.h"

namespace {

HiveBytes ReadFile(const char* path) {
    HiveBytes bytes;
    FILE* file = fopen(path, "rb");
    uint8_t block[65536];
    size_t got;
    while (file && (got = fread(block, 1, sizeof block, file)) > 0) bytes.insert(bytes.end(), block, block + got);
    if (file) fclose(file);
    return bytes;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: bench_hives HIVE LOG1 LOG2\n");
        return 2;
    }
    HiveBytes primary = ReadFile(argv[1]);
    std::vector<HiveLogFile> logs = {{HiveLogRole::kLog1, argv[2], ReadFile(argv[2])},
                                     {HiveLogRole::kLog2, argv[3], ReadFile(argv[3])}};
    auto start = std::chrono::steady_clock::now();
    HiveRecovery recovery = RecoverHive(primary, logs);
    double recover = Seconds(start);
    std::string problem;
    HiveWalkCounts counts;
    start = std::chrono::steady_clock::now();
    bool sound = WalkHive(recovery.image, &problem, &counts);
    double walk = Seconds(start);
    if (recovery.outcome != HiveRecovery::kRecovered || !sound) {
        fprintf(stderr, "bench_hives: not recovered or not sound: %s%s\n", recovery.problem.c_str(), problem.c_str());
        return 1;
    }
    printf("recover=%.6f walk=%.6f entries=%u keys=%u values=%u\n", recover, walk, recovery.Applied(), counts.keys,
           counts.values);
    return 0;
}
