#include "offline/HiveTestSupport.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "offline/EmptyHive.h"
#include "platform/offline/HiveLogs.h"

namespace {

std::string Text(char* text) {
    std::string copy = text ? text : "?";
    free(text);
    return copy;
}

void List(hive_h* hive, hive_node_h node, const std::string& path, std::vector<std::string>* lines) {
    lines->push_back(path);
    hive_value_h* values = hivex_node_values(hive, node);
    for (size_t i = 0; values && values[i]; ++i) {
        hive_type type;
        size_t length;
        char* data = hivex_value_value(hive, values[i], &type, &length);
        lines->push_back(path + "\t" + Text(hivex_value_key(hive, values[i])) + "\t" + std::to_string(type) + "\t" +
                         (data ? std::string(data, length) : "?"));
        free(data);
    }
    free(values);
    hive_node_h* children = hivex_node_children(hive, node);
    for (size_t i = 0; children && children[i]; ++i)
        List(hive, children[i], path + "\\" + Text(hivex_node_name(hive, children[i])), lines);
    free(children);
}

// A file of its own in a temporary folder, removed with it.
struct ScratchFile {
    std::string folder, path;
    ScratchFile() {
        char name[] = "/tmp/cordafix-hive-XXXXXX";
        folder = mkdtemp(name) ? name : "/nonexistent";
        path = folder + "/hive";
    }
    ~ScratchFile() { std::filesystem::remove_all(folder); }
};

}  // namespace

HiveBytes ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return HiveBytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool WriteBytes(const std::string& path, const HiveBytes& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return file.good();
}

HiveBytes RealHive(const std::string& name) {
    ScratchFile scratch;
    std::string command = "xz -dc '" CORDAFIX_TEST_DATA "/real-hives/" + name + ".xz' > " + scratch.path;
    return system(command.c_str()) == 0 ? ReadBytes(scratch.path) : HiveBytes();
}

HiveBytes HiveMadeWith(const std::function<bool(hive_h*)>& change, const HiveBytes& start) {
    ScratchFile scratch;
    if (!(start.empty() ? WriteEmptyHive(scratch.path) : WriteBytes(scratch.path, start))) return HiveBytes();
    hive_h* hive = hivex_open(scratch.path.c_str(), HIVEX_OPEN_WRITE);
    bool changed = hive != nullptr && change(hive) && hivex_commit(hive, nullptr, 0) == 0;
    if (hive != nullptr) hivex_close(hive);
    return changed ? ReadBytes(scratch.path) : HiveBytes();
}

std::vector<std::string> ListThroughHivex(const HiveBytes& image) {
    ScratchFile scratch;
    std::vector<std::string> lines;
    hive_h* hive = WriteBytes(scratch.path, image) ? hivex_open(scratch.path.c_str(), 0) : nullptr;
    if (hive != nullptr) List(hive, hivex_root(hive), "", &lines);
    if (hive != nullptr) hivex_close(hive);
    return lines;
}

std::string ValueOf(const HiveBytes& image, const std::string& key, const std::string& value) {
    std::string start = key + "\t" + value + "\t";
    for (const std::string& line : ListThroughHivex(image))
        if (line.compare(0, start.size(), start) == 0) return line.substr(line.find('\t', start.size()) + 1);
    return "(none)";
}

void MakeDirty(HiveBytes* image) {
    HiveWrite32(image->data(), kHivePrimarySequence, HiveRead32(image->data(), kHiveSecondarySequence) + 1);
    HiveWrite32(image->data(), kHiveChecksum, HiveHeaderChecksum(image->data()));
}

HiveBytes LogHeader(const HiveBytes& hive, uint32_t type, uint32_t sequence) {
    HiveBytes log(hive.begin(), hive.begin() + kHiveSectorSize);
    HiveWrite32(log.data(), kHiveFileType, type);
    HiveWrite32(log.data(), kHivePrimarySequence, sequence);
    HiveWrite32(log.data(), kHiveSecondarySequence, sequence);
    HiveWrite32(log.data(), kHiveChecksum, HiveHeaderChecksum(log.data()));
    return log;
}

std::vector<LogPage> ChangedPages(const HiveBytes& before, const HiveBytes& after) {
    std::vector<LogPage> pages;
    for (size_t at = kHiveBaseBlockSize; at < after.size(); at += kHiveBinAlignment)
        if (at >= before.size() || memcmp(&before[at], &after[at], kHiveBinAlignment) != 0)
            pages.push_back({uint32_t(at - kHiveBaseBlockSize), HiveBytes(&after[at], &after[at] + kHiveBinAlignment)});
    return pages;
}

void AppendLogEntry(HiveBytes* log, uint32_t sequence, uint32_t binsSize, const std::vector<LogPage>& pages) {
    HiveBytes entry(kLogEntryHeaderSize + kLogPageReferenceSize * pages.size());
    memcpy(entry.data(), "HvLE", 4);
    HiveWrite32(entry.data(), kLogEntrySequence, sequence);
    HiveWrite32(entry.data(), kLogEntryBinsSize, binsSize);
    HiveWrite32(entry.data(), kLogEntryPageCount, uint32_t(pages.size()));
    for (size_t i = 0; i < pages.size(); ++i) {
        size_t reference = kLogEntryHeaderSize + kLogPageReferenceSize * i;
        HiveWrite32(entry.data(), reference, pages[i].offset);
        HiveWrite32(entry.data(), reference + 4, uint32_t(pages[i].bytes.size()));
        entry.insert(entry.end(), pages[i].bytes.begin(), pages[i].bytes.end());
    }
    entry.resize((entry.size() + kHiveSectorSize - 1) / kHiveSectorSize * kHiveSectorSize);
    HiveWrite32(entry.data(), kLogEntrySize, uint32_t(entry.size()));
    HiveWrite64(entry.data(), kLogEntryHash1,
                Marvin32(&entry[kLogEntryHeaderSize], entry.size() - kLogEntryHeaderSize, kHiveLogEntrySeed));
    HiveWrite64(entry.data(), kLogEntryHash2, Marvin32(entry.data(), kLogEntryHashedHeader, kHiveLogEntrySeed));
    log->insert(log->end(), entry.begin(), entry.end());
}

HiveBytes DirtyVectorLog(const HiveBytes& before, const HiveBytes& after) {
    HiveBytes log = LogHeader(after, kHiveTypeLog, HiveRead32(after.data(), kHivePrimarySequence)), pages;
    HiveBytes vector(4 + (after.size() - kHiveBaseBlockSize) / kLogDirtyPageSize / 8);
    memcpy(vector.data(), "DIRT", 4);
    for (const LogPage& page : ChangedPages(before, after)) {
        size_t end = page.offset + page.bytes.size();
        for (size_t bit = page.offset / kLogDirtyPageSize; bit < end / kLogDirtyPageSize; ++bit)
            vector[4 + bit / 8] |= uint8_t(1 << bit % 8);
        pages.insert(pages.end(), page.bytes.begin(), page.bytes.end());
    }
    vector.resize((vector.size() + kHiveSectorSize - 1) / kHiveSectorSize * kHiveSectorSize);
    log.insert(log.end(), vector.begin(), vector.end());
    log.insert(log.end(), pages.begin(), pages.end());
    return log;
}
