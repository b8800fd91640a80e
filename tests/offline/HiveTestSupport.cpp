#include "offline/HiveTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "offline/EmptyHive.h"
#include "platform/offline/HiveLogs.h"

namespace {

void List(hive_h* hive, hive_node_h node, const std::string& path, std::vector<std::string>* lines) {
    lines->push_back(path);
    hive_value_h* values = hivex_node_values(hive, node);
    for (size_t i = 0; values && values[i]; ++i) {
        char* name = hivex_value_key(hive, values[i]);
        hive_type type;
        size_t length;
        char* data = hivex_value_value(hive, values[i], &type, &length);
        lines->push_back(path + "\t" + (name ? name : "?") + "\t" + std::to_string(type) + "\t" +
                         (data ? std::string(data, length) : "?"));
        free(name);
        free(data);
    }
    free(values);
    hive_node_h* children = hivex_node_children(hive, node);
    for (size_t i = 0; children && children[i]; ++i) {
        char* name = hivex_node_name(hive, children[i]);
        List(hive, children[i], path + "\\" + (name ? name : "?"), lines);
        free(name);
    }
    free(children);
}

// A temporary folder of its own, removed with what it holds.
struct ScratchFolder {
    std::string path;
    ScratchFolder() {
        char name[] = "/tmp/cordafix-hive-XXXXXX";
        path = mkdtemp(name) ? name : "";
    }
    ~ScratchFolder() { std::filesystem::remove_all(path); }
};

}  // namespace

HiveBytes ReadBytes(const std::string& path) {
    HiveBytes bytes;
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    uint8_t block[65536];
    size_t got;
    while ((got = fread(block, 1, sizeof block, file)) > 0) bytes.insert(bytes.end(), block, block + got);
    fclose(file);
    return bytes;
}

bool WriteBytes(const std::string& path, const HiveBytes& bytes) {
    FILE* file = fopen(path.c_str(), "wb");
    bool written = file != nullptr && fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return file != nullptr && fclose(file) == 0 && written;
}

HiveBytes RealHive(const std::string& name) {
    ScratchFolder scratch;
    std::string path = scratch.path + "/hive";
    std::string command = "xz -dc '" CORDAFIX_TEST_DATA "/real-hives/" + name + ".xz' > '" + path + "'";
    return system(command.c_str()) == 0 ? ReadBytes(path) : HiveBytes();
}

HiveBytes HiveMadeWith(const std::function<bool(hive_h*)>& change, const HiveBytes& start) {
    ScratchFolder scratch;
    std::string path = scratch.path + "/hive";
    if (!(start.empty() ? WriteEmptyHive(path) : WriteBytes(path, start))) return HiveBytes();
    hive_h* hive = hivex_open(path.c_str(), HIVEX_OPEN_WRITE);
    bool changed = hive != nullptr && change(hive) && hivex_commit(hive, nullptr, 0) == 0;
    if (hive != nullptr) hivex_close(hive);
    return changed ? ReadBytes(path) : HiveBytes();
}

std::string ValueThroughHivex(const HiveBytes& image, const std::vector<std::string>& keyPath, const char* value) {
    ScratchFolder scratch;
    std::string path = scratch.path + "/hive", data = "(none)";
    hive_h* hive = WriteBytes(path, image) ? hivex_open(path.c_str(), 0) : nullptr;
    if (hive == nullptr) return "(no hive)";
    hive_node_h node = hivex_root(hive);
    for (const std::string& name : keyPath) node = node ? hivex_node_get_child(hive, node, name.c_str()) : 0;
    hive_value_h found = node ? hivex_node_get_value(hive, node, value) : 0;
    hive_type type;
    size_t length;
    char* bytes = found ? hivex_value_value(hive, found, &type, &length) : nullptr;
    if (bytes != nullptr) data.assign(bytes, length);
    free(bytes);
    hivex_close(hive);
    return data;
}

std::vector<std::string> ListThroughHivex(const HiveBytes& image) {
    ScratchFolder scratch;
    std::string path = scratch.path + "/hive";
    std::vector<std::string> lines;
    hive_h* hive = WriteBytes(path, image) ? hivex_open(path.c_str(), 0) : nullptr;
    if (hive != nullptr) List(hive, hivex_root(hive), "", &lines);
    if (hive != nullptr) hivex_close(hive);
    return lines;
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
    for (size_t at = kHiveBaseBlockSize; at < after.size(); at += kHiveBinAlignment) {
        bool same = at + kHiveBinAlignment <= before.size() && memcmp(&before[at], &after[at], kHiveBinAlignment) == 0;
        if (!same) pages.push_back({uint32_t(at - kHiveBaseBlockSize), HiveBytes(&after[at], &after[at] + kHiveBinAlignment)});
    }
    return pages;
}

void AppendLogEntry(HiveBytes* log, uint32_t sequence, uint32_t binsSize, const std::vector<LogPage>& pages) {
    HiveBytes entry(40 + 8 * pages.size());
    memcpy(entry.data(), "HvLE", 4);
    HiveWrite32(entry.data(), 12, sequence);
    HiveWrite32(entry.data(), 16, binsSize);
    HiveWrite32(entry.data(), 20, uint32_t(pages.size()));
    for (size_t i = 0; i < pages.size(); ++i) {
        HiveWrite32(entry.data(), 40 + 8 * i, pages[i].offset);
        HiveWrite32(entry.data(), 44 + 8 * i, uint32_t(pages[i].bytes.size()));
        entry.insert(entry.end(), pages[i].bytes.begin(), pages[i].bytes.end());
    }
    entry.resize((entry.size() + kHiveSectorSize - 1) / kHiveSectorSize * kHiveSectorSize);
    HiveWrite32(entry.data(), 4, uint32_t(entry.size()));
    HiveWrite64(entry.data(), 24, Marvin32(&entry[40], entry.size() - 40, kHiveLogEntrySeed));
    HiveWrite64(entry.data(), 32, Marvin32(entry.data(), 32, kHiveLogEntrySeed));
    log->insert(log->end(), entry.begin(), entry.end());
}

HiveBytes DirtyVectorLog(const HiveBytes& before, const HiveBytes& after) {
    HiveBytes log = LogHeader(after, kHiveTypeLog, HiveRead32(after.data(), kHivePrimarySequence));
    HiveWrite64(log.data(), kHiveTimestamp, HiveRead64(before.data(), kHiveTimestamp));
    HiveWrite32(log.data(), kHiveChecksum, HiveHeaderChecksum(log.data()));
    size_t bits = (after.size() - kHiveBaseBlockSize) / 512;
    HiveBytes vector(4 + bits / 8), pages;
    memcpy(vector.data(), "DIRT", 4);
    for (const LogPage& page : ChangedPages(before, after)) {
        for (size_t bit = page.offset / 512; bit < (page.offset + page.bytes.size()) / 512; ++bit) vector[4 + bit / 8] |= 1 << bit % 8;
        pages.insert(pages.end(), page.bytes.begin(), page.bytes.end());
    }
    vector.resize((vector.size() + 511) / 512 * 512);
    log.insert(log.end(), vector.begin(), vector.end());
    log.insert(log.end(), pages.begin(), pages.end());
    return log;
}
