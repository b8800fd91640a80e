// Any hive through the offline registry as the cleaning uses it: opened
// (recovered and walked), one value or one key removed and written back,
// the written hive opened again. The input: which key (its index among the
// first keys of a depth-first walk), which of its values, a flags byte
// (bit 0: remove the key instead of a value), then the hive file.
// hivex never aborts; a removal reported done leaves a hive that opens again
// with one value or key fewer, one reported failed leaves the file as it was.
#include <dirent.h>
#include <hivex.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/offline/OfflineRegistry.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

const size_t kKeysLooked = 64;
const uint8_t kRemoveKey = 1;

// The folder of the hive, in memory when the system offers it; emptied after each input.
const std::string& Folder() {
    static std::string folder;
    if (folder.empty()) {
        char name[] = "/dev/shm/cordafix-registry-XXXXXX";
        char fallback[] = "/tmp/cordafix-registry-XXXXXX";
        folder = mkdtemp(name) ? name : mkdtemp(fallback) ? fallback : "";
    }
    return folder;
}

void EmptyFolder() {
    DIR* listing = opendir(Folder().c_str());
    FUZZ_CHECK(listing != nullptr);
    while (dirent* entry = readdir(listing))
        if (entry->d_name[0] != '.') unlink((Folder() + "/" + entry->d_name).c_str());
    closedir(listing);
}

HiveBytes ReadHiveFile(const std::string& path) {
    HiveBytes bytes;
    FILE* file = fopen(path.c_str(), "rb");
    uint8_t block[65536];
    size_t got;
    while (file && (got = fread(block, 1, sizeof block, file)) > 0) bytes.insert(bytes.end(), block, block + got);
    if (file) fclose(file);
    return bytes;
}

// Paths (below the root) of the first keys, depth first.
void KeyPaths(hive_h* hive, hive_node_h node, const std::string& path, std::vector<std::string>* paths) {
    hive_node_h* children = hivex_node_children(hive, node);
    for (size_t i = 0; children && children[i] && paths->size() < kKeysLooked; ++i) {
        char* name = hivex_node_name(hive, children[i]);
        if (name) {
            paths->push_back(path + "\\" + name);
            KeyPaths(hive, children[i], paths->back(), paths);
        }
        free(name);
    }
    free(children);
}

uint32_t ValueCount(OfflineRegistry& registry, const std::string& key) {
    RegKey handle;
    uint32_t count = 0;
    if (registry.KeyOpen(kHkeyLocalMachine, key.c_str(), kKeyAllAccess, &handle) != kErrorSuccess) return 0;
    registry.KeyValueCount(handle, &count);
    registry.KeyClose(handle);
    return count;
}

// Removes what the input chooses; the key path and whether it was removed.
bool Remove(OfflineRegistry& registry, const std::string& key, uint8_t value, bool wholeKey) {
    if (wholeKey) return registry.KeyDelete(kHkeyLocalMachine, key.c_str()) == kErrorSuccess;
    RegKey handle;
    if (registry.KeyOpen(kHkeyLocalMachine, key.c_str(), kKeyAllAccess, &handle) != kErrorSuccess) return false;
    char name[16384];
    uint32_t length = sizeof name;
    bool removed = registry.KeyEnumValue(handle, value, name, &length) == kErrorSuccess &&
                   registry.KeyDeleteValue(handle, name) == kErrorSuccess;
    registry.KeyClose(handle);
    return removed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    uint8_t keyChoice = input.Byte(), valueChoice = input.Byte(), flags = input.Byte();
    HiveBytes original(input.Rest(), input.Rest() + input.Remaining());
    std::string path = Folder() + "/SOFTWARE";
    FILE* file = fopen(path.c_str(), "wb");
    FUZZ_CHECK(file && fwrite(original.data(), 1, original.size(), file) == original.size() && fclose(file) == 0);

    uint32_t lastError = 0;
    OfflineHive hive("SOFTWARE", path, false);
    std::string error;
    if (hive.Open(&error)) {
        std::vector<std::string> keys;
        KeyPaths(hive.Handle(), hivex_root(hive.Handle()), "SOFTWARE", &keys);
        OfflineRegistry registry(&lastError);
        registry.Mount(&hive);
        std::string key = keys.empty() ? "SOFTWARE" : keys[keyChoice % keys.size()];
        uint32_t values = ValueCount(registry, key);
        bool removed = Remove(registry, key, valueChoice, flags & kRemoveKey);
        HiveBytes now = ReadHiveFile(path);
        if (removed) {
            OfflineHive again("SOFTWARE", path, false);
            FUZZ_CHECK(again.Open(&error));
            OfflineRegistry check(&lastError);
            check.Mount(&again);
            FUZZ_CHECK((flags & kRemoveKey) || ValueCount(check, key) == values - 1);
        } else {
            FUZZ_CHECK(now == original);
        }
    }
    EmptyFolder();
    return 0;
}
