#include "platform/offline/HiveGate.h"

#include <algorithm>

#include "platform/offline/HiveWalk.h"

HiveRecovery PrepareHive(HiveBytes primary, const std::vector<HiveLogFile>& logs) {
    HiveRecovery recovery = RecoverHive(std::move(primary), logs);
    std::string problem;
    if (recovery.outcome != HiveRecovery::kUnusable && !WalkHive(recovery.image, &problem)) {
        recovery.outcome = HiveRecovery::kUnusable;
        recovery.problem = "damaged hive (" + problem + ")";
        recovery.image.clear();
    }
    return recovery;
}

std::string HiveRecoveryText(const HiveRecovery& recovery) {
    std::string text = "recovered from its transaction logs: ";
    const char* unit = recovery.newFormat ? " log entries from " : " dirty pages from ";
    for (size_t i = 0; i < recovery.logs.size(); ++i) {
        const HiveLogUse& log = recovery.logs[i];
        text += (i ? ", " : "") + std::to_string(log.applied) + (i ? " from " : unit) + log.name;
        if (!log.stop.empty()) text += " (stopped at " + log.stop + ")";
    }
    if (!recovery.baseBlockFrom.empty()) text += " (its damaged base block from " + recovery.baseBlockFrom + ")";
    return text;
}

bool NextHiveSequence(uint32_t highest, uint32_t current, uint32_t* sequence) {
    uint32_t last = std::max(highest, current);
    if (last == 0xFFFFFFFFu) return false;
    *sequence = last + 1;
    return true;
}

bool FinishWrittenHive(const HiveBytes& before, const std::vector<HiveEdit>& edits, uint32_t sequence,
                       uint64_t timestamp, HiveBytes* written, std::string* problem) {
    uint32_t binsSize;
    if (written->size() < kHiveBaseBlockSize + kHiveBinAlignment || !HiveBinsSizeOf(written->data(), &binsSize) ||
        written->size() - kHiveBaseBlockSize < binsSize) {
        *problem = "the new hive did not come out whole";
        return false;
    }
    written->resize(kHiveBaseBlockSize + binsSize);
    SealHiveBaseBlock(written, sequence, timestamp);
    std::string difference;
    if (!WalkHive(*written, &difference)) {
        *problem = "the new hive came out damaged (" + difference + ")";
        return false;
    }
    if (!CompareHives(before, *written, edits, &difference)) {
        *problem = "the new hive differs from the old one beyond the change (" + difference + ")";
        return false;
    }
    return true;
}
