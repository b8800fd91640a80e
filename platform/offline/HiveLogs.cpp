#include "platform/offline/HiveLogs.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// The one flag a log entry carries into the base block: the hive is locked
// by pending transactions.
const uint32_t kLockedFlag = 1;

// The old format: a dirty vector after the base block's sector, then the pages.
const uint32_t kLargestClustering = 8;

uint32_t Rotate(uint32_t value, int bits) { return (value << bits) | (value >> (32 - bits)); }

void MarvinBlock(uint32_t* low, uint32_t* high) {
    *high ^= *low;
    *low = Rotate(*low, 20) + *high;
    *high = Rotate(*high, 9) ^ *low;
    *low = Rotate(*low, 27) + *high;
    *high = Rotate(*high, 19);
}

std::string Upper(const std::string& text) {
    std::string upper = text;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

// A log as its base block presents it.
struct Log {
    const HiveLogFile* file;
    uint32_t type;
    uint32_t sequence;
};

// The log's base block, when the log is one: "regf", its checksum right,
// a log's file type, both sequence numbers equal.
bool ReadLogHeader(const HiveLogFile& file, Log* log) {
    const HiveBytes& bytes = file.bytes;
    if (bytes.size() < kHiveSectorSize || !HiveBaseBlockIntact(bytes.data())) return false;
    uint32_t type = HiveRead32(bytes.data(), kHiveFileType);
    if (type != kHiveTypeLog && type != kHiveTypeLogNt && type != kHiveTypeLogEntries) return false;
    uint32_t sequence = HiveRead32(bytes.data(), kHivePrimarySequence);
    if (sequence != HiveRead32(bytes.data(), kHiveSecondarySequence)) return false;
    *log = {&file, type, sequence};
    return true;
}

struct Entry {
    size_t at;  // in the log
    uint32_t size, flags, sequence, binsSize, pageCount;
};

// The entry header at `at`; false where no entry begins.
bool EntryAt(const HiveBytes& log, size_t at, Entry* entry) {
    if (!HiveHas(log.size(), at, kLogEntryHeaderSize) || memcmp(&log[at], "HvLE", 4) != 0) return false;
    const uint8_t* header = &log[at];
    *entry = {at,
              HiveRead32(header, kLogEntrySize),
              HiveRead32(header, kLogEntryFlags),
              HiveRead32(header, kLogEntrySequence),
              HiveRead32(header, kLogEntryBinsSize),
              HiveRead32(header, kLogEntryPageCount)};
    return true;
}

// Where the entry after this one begins, when this one has a size it can have.
bool NextEntry(const HiveBytes& log, const Entry& entry, size_t* next) {
    if (entry.size < kLogEntryHeaderSize || entry.size % kHiveSectorSize != 0 ||
        !HiveHas(log.size(), entry.at, entry.size))
        return false;
    *next = entry.at + entry.size;
    return true;
}

// Why the entry must not be applied; null when it may.
const char* EntryDefect(const HiveBytes& log, const Entry& entry, uint64_t largestBins) {
    size_t next;
    if (!NextEntry(log, entry, &next)) return "its size runs past the end of the log";
    const uint8_t* bytes = &log[entry.at];
    if (Marvin32(bytes + kLogEntryHeaderSize, entry.size - kLogEntryHeaderSize, kHiveLogEntrySeed) !=
        HiveRead64(bytes, kLogEntryHash1))
        return "wrong Hash-1";
    if (Marvin32(bytes, kLogEntryHashedHeader, kHiveLogEntrySeed) != HiveRead64(bytes, kLogEntryHash2))
        return "wrong Hash-2";
    if (entry.binsSize == 0 || entry.binsSize % kHiveBinAlignment != 0 || entry.binsSize > largestBins)
        return "impossible size of the hive bins data";
    uint64_t data = kLogEntryHeaderSize + static_cast<uint64_t>(kLogPageReferenceSize) * entry.pageCount;
    if (data > entry.size) return "more page references than the entry holds";
    for (uint32_t page = 0; page < entry.pageCount; ++page) {
        size_t reference = kLogEntryHeaderSize + kLogPageReferenceSize * page;
        uint32_t offset = HiveRead32(bytes, reference), size = HiveRead32(bytes, reference + 4);
        if (!HiveHas(entry.binsSize, offset, size)) return "a page past the end of the hive bins data";
        if (!HiveHas(entry.size, data, size)) return "its pages run past the end of the entry";
        data += size;
    }
    return nullptr;
}

// The hive as the recovery changes it.
struct Recovering {
    uint64_t largestBins;
    HiveBytes image;
    uint32_t binsSize = 0;
    uint32_t sequence = 0;
    uint32_t flags = 0;
    std::vector<bool> dirtyBlocks;  // per 4 KiB of the bins data, written by a log

    void Resize(uint32_t bins) {
        binsSize = bins;
        image.resize(kHiveBaseBlockSize + bins);
        dirtyBlocks.resize(bins / kHiveBinAlignment);
    }
    void Write(uint64_t offset, const uint8_t* bytes, size_t length) {
        if (length == 0) return;
        memcpy(&image[kHiveBaseBlockSize + offset], bytes, length);
        for (uint64_t block = offset / kHiveBinAlignment; block <= (offset + length - 1) / kHiveBinAlignment; ++block)
            dirtyBlocks[block] = true;
    }
};

void ApplyEntry(const HiveBytes& log, const Entry& entry, Recovering* hive) {
    hive->Resize(entry.binsSize);
    hive->flags = (hive->flags & ~kLockedFlag) | (entry.flags & kLockedFlag);
    hive->sequence = entry.sequence;
    const uint8_t* bytes = &log[entry.at];
    size_t data = kLogEntryHeaderSize + kLogPageReferenceSize * entry.pageCount;
    for (uint32_t page = 0; page < entry.pageCount; ++page) {
        size_t reference = kLogEntryHeaderSize + kLogPageReferenceSize * page;
        uint32_t offset = HiveRead32(bytes, reference), size = HiveRead32(bytes, reference + 4);
        hive->Write(offset, bytes + data, size);
        data += size;
    }
}

// Applies the log's entries from its first on, while each carries the
// sequence number after the one before, the first one `first`. A log
// usually ends in entries of earlier use, whose numbers break the series.
HiveLogUse ApplyLog(const Log& log, uint32_t first, Recovering* hive) {
    HiveLogUse use;
    use.name = log.file->name;
    const HiveBytes& bytes = log.file->bytes;
    uint32_t expected = first;
    Entry entry;
    for (size_t at = kHiveSectorSize; EntryAt(bytes, at, &entry) && entry.sequence == expected; at += entry.size) {
        if (const char* defect = EntryDefect(bytes, entry, hive->largestBins)) {
            use.stop = "entry " + std::to_string(entry.sequence) + ": " + defect;
            break;
        }
        ApplyEntry(bytes, entry, hive);
        ++use.applied;
        ++expected;
    }
    return use;
}

// The hive bin at offset (in the bins data), when its header is one.
bool BinAt(const Recovering& hive, uint64_t offset, uint32_t* size) {
    if (!HiveHas(hive.binsSize, offset, kHiveBinAlignment)) return false;
    const uint8_t* bin = &hive.image[kHiveBaseBlockSize + offset];
    *size = HiveRead32(bin, kHiveBinSize);
    return memcmp(bin, "hbin", 4) == 0 && HiveRead32(bin, kHiveBinOffset) == offset &&
           *size >= kHiveBinAlignment && *size % kHiveBinAlignment == 0 && HiveHas(hive.binsSize, offset, *size);
}

// A dirty bin whose header is not one is replaced with an empty 4 KiB bin,
// as Windows heals it; a bin the logs did not write is left for the
// structural check to judge.
void HealDirtyBins(Recovering* hive) {
    uint64_t offset = 0;
    while (offset < hive->binsSize) {
        uint32_t size;
        if (BinAt(*hive, offset, &size)) {
            offset += size;
            continue;
        }
        if (!hive->dirtyBlocks[offset / kHiveBinAlignment]) return;
        uint8_t* bin = &hive->image[kHiveBaseBlockSize + offset];
        memset(bin, 0, kHiveBinAlignment);
        memcpy(bin, "hbin", 4);
        HiveWrite32(bin, kHiveBinOffset, static_cast<uint32_t>(offset));
        HiveWrite32(bin, kHiveBinSize, kHiveBinAlignment);
        HiveWrite32(bin, kHiveBinHeaderSize, kHiveBinAlignment - kHiveBinHeaderSize);  // one free cell
        offset += kHiveBinAlignment;
    }
}

// The base block of the recovered hive: the hive file's own when intact,
// else the one the log keeps a copy of (its first sector).
void FinishBaseBlock(const HiveLogFile* from, Recovering* hive) {
    uint8_t* block = hive->image.data();
    if (from != nullptr) {
        memset(block, 0, kHiveBaseBlockSize);
        memcpy(block, from->bytes.data(), kHiveSectorSize);
        HiveWrite32(block, kHiveFileType, kHiveTypePrimary);
    }
    HiveWrite32(block, kHiveBinsSize, hive->binsSize);
    HiveWrite32(block, kHiveFlags, hive->flags);
    HiveWrite32(block, kHivePrimarySequence, hive->sequence);
    HiveWrite32(block, kHiveSecondarySequence, hive->sequence);
    HiveWrite32(block, kHiveChecksum, HiveHeaderChecksum(block));
}

// The new format. With an intact base block in the hive file, the entries
// from its secondary sequence number on are applied, from both logs: first
// the one whose entries are earlier, then the other one from where the
// first stopped. With a damaged base block, only the log with the latest
// entries is used, and its base block with it.
bool RecoverFromEntries(std::vector<Log> logs, bool intact, Recovering* hive, HiveRecovery* result) {
    std::stable_sort(logs.begin(), logs.end(), [](const Log& a, const Log& b) { return a.sequence < b.sequence; });
    if (!intact) {
        Log latest = logs.back();
        logs.assign(1, latest);
        hive->flags = HiveRead32(logs[0].file->bytes.data(), kHiveFlags);
    }
    uint32_t oldest = intact ? HiveRead32(hive->image.data(), kHiveSecondarySequence) : logs[0].sequence;
    bool applied = false;
    for (const Log& log : logs) {
        if (!applied && log.sequence < oldest) continue;
        HiveLogUse use = ApplyLog(log, applied ? hive->sequence + 1 : log.sequence, hive);
        if (use.applied == 0) continue;
        applied = true;
        result->logs.push_back(use);
    }
    if (!applied) return false;
    HealDirtyBins(hive);
    FinishBaseBlock(intact ? nullptr : logs[0].file, hive);
    if (!intact) result->baseBlockFrom = logs[0].file->name;
    result->newFormat = true;
    return true;
}

// Applies one run of dirty pages (the bins data from start, length bytes
// long) and checks every hive bin it touches; a run that leaves a bin
// unsound is taken back.
bool ApplyRun(const uint8_t* pages, uint64_t start, size_t length, uint64_t* binCursor, Recovering* hive) {
    std::vector<uint8_t> before(hive->image.begin() + kHiveBaseBlockSize + start,
                                hive->image.begin() + kHiveBaseBlockSize + start + length);
    memcpy(&hive->image[kHiveBaseBlockSize + start], pages, length);
    uint32_t size = 0;
    bool sound = true;
    while (sound && BinAt(*hive, *binCursor, &size) && *binCursor + size <= start) *binCursor += size;
    for (uint64_t bin = *binCursor; sound && bin < start + length; bin += size) sound = BinAt(*hive, bin, &size);
    if (!sound) memcpy(&hive->image[kHiveBaseBlockSize + start], before.data(), length);
    return sound;
}

// The old format: the dirty vector's bitmap has a bit per 512-byte page of
// the bins data; the pages of the bits set follow, in order. Contiguous
// pages are applied together, and each hive bin they write must stay sound.
bool ApplyDirtyPages(const Log& log, Recovering* hive, HiveLogUse* use) {
    const HiveBytes& bytes = log.file->bytes;
    uint32_t clustering = HiveRead32(bytes.data(), kHiveClustering), binsSize;
    if (clustering == 0 || clustering > kLargestClustering || !HiveBinsSizeOf(bytes.data(), &binsSize) ||
        binsSize > hive->largestBins) {
        use->stop = "impossible sizes in its base block";
        return false;
    }
    size_t sector = kHiveSectorSize * clustering, bitmapBytes = binsSize / kHiveBinAlignment;
    if (!HiveHas(bytes.size(), sector, 4 + bitmapBytes) || memcmp(&bytes[sector], "DIRT", 4) != 0) {
        use->stop = "no dirty vector";
        return false;
    }
    const uint8_t* bitmap = &bytes[sector + 4];
    uint64_t pages = 0;
    for (size_t i = 0; i < bitmapBytes; ++i) pages += __builtin_popcount(bitmap[i]);
    uint64_t firstPage = (sector + 4 + bitmapBytes + sector - 1) / sector * sector;
    if (!HiveHas(bytes.size(), firstPage, pages * kLogDirtyPageSize)) {
        use->stop = "it ends before its last dirty page";
        return false;
    }
    hive->Resize(binsSize);
    uint64_t cursor = 0, page = firstPage;
    size_t bits = binsSize / kLogDirtyPageSize;
    for (size_t bit = 0; bit < bits;) {
        if (!(bitmap[bit / 8] & (1u << (bit % 8)))) {
            ++bit;
            continue;
        }
        size_t end = bit;
        while (end < bits && (bitmap[end / 8] & (1u << (end % 8)))) ++end;
        size_t length = (end - bit) * kLogDirtyPageSize;
        if (!ApplyRun(&bytes[page], bit * kLogDirtyPageSize, length, &cursor, hive)) {
            use->stop = "page " + std::to_string(bit) + " leaves an unsound hive bin";
            break;
        }
        use->applied += static_cast<uint32_t>(end - bit);
        page += length;
        bit = end;
    }
    return true;
}

// The old format: the first log (.LOG1, .LOG2, .LOG) written at the hive
// file's last-written time (timestamp) is applied, its base block with it.
bool RecoverFromDirtyPages(const std::vector<Log>& logs, uint64_t timestamp, bool intact, Recovering* hive,
                           HiveRecovery* result) {
    for (const Log& log : logs) {
        HiveLogUse use;
        use.name = log.file->name;
        if (HiveRead64(log.file->bytes.data(), kHiveTimestamp) != timestamp || !ApplyDirtyPages(log, hive, &use))
            continue;
        hive->sequence = log.sequence;
        hive->flags = HiveRead32(log.file->bytes.data(), kHiveFlags);
        FinishBaseBlock(log.file, hive);
        result->logs.push_back(use);
        if (!intact) result->baseBlockFrom = log.file->name;
        return true;
    }
    return false;
}

// The last-written time in the hive file, or in its first bin's header
// when its base block is damaged.
uint64_t PrimaryTimestamp(const HiveBytes& primary, bool intact) {
    if (intact) return HiveRead64(primary.data(), kHiveTimestamp);
    if (!HiveHas(primary.size(), kHiveBaseBlockSize, kHiveBinHeaderSize)) return 0;
    return HiveRead64(primary.data(), kHiveBaseBlockSize + kHiveBinTimestamp);
}

int RoleOrder(HiveLogRole role) { return role == HiveLogRole::kLog1 ? 0 : role == HiveLogRole::kLog2 ? 1 : 2; }

uint32_t HighestSequence(const HiveBytes& primary, const std::vector<Log>& logs) {
    uint32_t highest = std::max(HiveRead32(primary.data(), kHivePrimarySequence),
                                HiveRead32(primary.data(), kHiveSecondarySequence));
    for (const Log& log : logs) {
        highest = std::max(highest, log.sequence);
        if (log.type != kHiveTypeLogEntries) continue;
        Entry entry;
        size_t at = kHiveSectorSize;
        while (EntryAt(log.file->bytes, at, &entry)) {
            highest = std::max(highest, entry.sequence);
            if (!NextEntry(log.file->bytes, entry, &at)) break;
        }
    }
    return highest;
}

std::string Unrecoverable(bool intact, const std::vector<HiveLogFile>& files, const std::vector<Log>& logs) {
    std::string state = intact ? "not closed cleanly" : "damaged base block (its checksum is wrong)";
    if (files.empty()) return state + ", and no transaction log lies beside it";
    std::string names;
    for (const HiveLogFile& file : files) names += (names.empty() ? "" : ", ") + file.name;
    if (logs.empty()) return state + ", and its logs (" + names + ") are empty or not transaction logs";
    return state + ", and its logs (" + names + ") hold no changes to apply to it";
}

}  // namespace

uint64_t Marvin32(const uint8_t* data, size_t length, uint64_t seed) {
    uint32_t low = static_cast<uint32_t>(seed), high = static_cast<uint32_t>(seed >> 32);
    size_t at = 0;
    for (; length - at >= 4; at += 4) {
        low += HiveRead32(data, at);
        MarvinBlock(&low, &high);
    }
    uint32_t last = 0x80;
    for (size_t i = length; i > at; --i) last = (last << 8) | data[i - 1];
    low += last;
    MarvinBlock(&low, &high);
    MarvinBlock(&low, &high);
    return (static_cast<uint64_t>(high) << 32) | low;
}

HiveLogRole HiveLogRoleOf(const std::string& hiveFileName, const std::string& fileName) {
    if (fileName.size() <= hiveFileName.size() || strncasecmp(fileName.c_str(), hiveFileName.c_str(), hiveFileName.size()) != 0)
        return HiveLogRole::kNone;
    std::string suffix = Upper(fileName.substr(hiveFileName.size()));
    if (suffix == ".LOG") return HiveLogRole::kLog;
    if (suffix == ".LOG1") return HiveLogRole::kLog1;
    if (suffix == ".LOG2") return HiveLogRole::kLog2;
    return HiveLogRole::kNone;
}

uint32_t HiveRecovery::Applied() const {
    uint32_t applied = 0;
    for (const HiveLogUse& log : logs) applied += log.applied;
    return applied;
}

HiveRecovery RecoverHive(HiveBytes primary, const std::vector<HiveLogFile>& files, uint64_t largestBins) {
    HiveRecovery result;
    if (primary.size() < kHiveBaseBlockSize) {
        result.problem = "shorter than a hive's base block";
        return result;
    }
    std::vector<Log> entries, pages;
    for (const HiveLogFile& file : files) {
        Log log;
        if (file.role == HiveLogRole::kNone || !ReadLogHeader(file, &log)) continue;
        (log.type == kHiveTypeLogEntries ? entries : pages).push_back(log);
    }
    auto byRole = [](const Log& a, const Log& b) { return RoleOrder(a.file->role) < RoleOrder(b.file->role); };
    std::stable_sort(entries.begin(), entries.end(), byRole);
    std::stable_sort(pages.begin(), pages.end(), byRole);
    std::vector<Log> all(entries);
    all.insert(all.end(), pages.begin(), pages.end());
    result.highestSequence = HighestSequence(primary, all);
    result.latestTimestamp = std::max(HiveRead64(primary.data(), kHiveTimestamp), PrimaryTimestamp(primary, false));
    for (const Log& log : all) result.latestTimestamp = std::max(result.latestTimestamp, HiveRead64(log.file->bytes.data(), kHiveTimestamp));

    bool intact = HiveBaseBlockIntact(primary.data());
    uint32_t binsSize = 0;
    if (intact && (!HiveBinsSizeOf(primary.data(), &binsSize) || binsSize > largestBins)) {
        result.problem = "damaged hive (impossible size of its bins)";
        return result;
    }
    if (!HiveBaseBlockDirty(primary.data())) {
        if (primary.size() - kHiveBaseBlockSize < binsSize) {
            result.problem = "truncated hive (shorter than its base block says)";
            return result;
        }
        primary.resize(kHiveBaseBlockSize + binsSize);
        result.image.swap(primary);
        result.outcome = HiveRecovery::kClean;
        return result;
    }
    if (!intact && memcmp(primary.data(), "regf", 4) != 0 && all.empty()) {
        result.problem = "not a registry hive (no regf signature)";
        return result;
    }
    // A damaged base block gives no size: the log's base block and entries do.
    uint64_t timestamp = PrimaryTimestamp(primary, intact);
    Recovering hive;
    hive.largestBins = largestBins;
    hive.image.swap(primary);
    if (intact) {
        hive.flags = HiveRead32(hive.image.data(), kHiveFlags);
        hive.Resize(binsSize);
    }
    if ((!entries.empty() && RecoverFromEntries(entries, intact, &hive, &result)) ||
        (!pages.empty() && RecoverFromDirtyPages(pages, timestamp, intact, &hive, &result))) {
        result.image.swap(hive.image);
        result.outcome = HiveRecovery::kRecovered;
        return result;
    }
    result.problem = Unrecoverable(intact, files, all);
    return result;
}
