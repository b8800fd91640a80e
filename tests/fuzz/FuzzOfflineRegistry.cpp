// Any hive through the offline registry as the cleaning uses it: opened
// (recovered and walked), one value or one key removed, written back by
// hivex in a process of its own and checked, the written hive opened again. The input: which key (its index among the
// first keys of a depth-first walk), which of its values, a flags byte
// (bit 0: remove the key instead of a value), then the hive file.
// hivex never aborts; a removal reported done leaves a hive that opens again
// with one value fewer, one reported failed leaves the file as it was.
#include <hivex.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/offline/OfflineRegistry.h"
#include "platform/offline/PosixHiveFolder.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

const size_t kKeysLooked = 64;
const uint8_t kRemoveKey = 1;

// The folder of the hive, in memory where the system offers that.
const std::string& Folder() {
    static std::string folder;
    char shm[] = "/dev/shm/cordafix-registry-XXXXXX", tmp[] = "/tmp/cordafix-registry-XXXXXX";
    if (folder.empty()) folder = mkdtemp(shm) ? shm : mkdtemp(tmp) ? tmp : "/nonexistent";
    return folder;
}

HiveBytes ReadHiveFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return HiveBytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Paths of the first keys below the root, depth first.
void KeyPaths(hive_h* hive, hive_node_h node, const std::string& path, std::vector<std::string>* paths) {
    hive_node_h* children = hivex_node_children(hive, node);
    for (size_t i = 0; children && children[i] && paths->size() < kKeysLooked; ++i) {
        char* name = hivex_node_name(hive, children[i]);
        paths->push_back(path + "\\" + (name ? name : ""));
        free(name);
        KeyPaths(hive, children[i], paths->back(), paths);
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

bool RemoveValue(OfflineRegistry& registry, const std::string& key, uint8_t index) {
    RegKey handle;
    if (registry.KeyOpen(kHkeyLocalMachine, key.c_str(), kKeyAllAccess, &handle) != kErrorSuccess) return false;
    char name[16384];
    uint32_t length = sizeof name;
    bool removed = registry.KeyEnumValue(handle, index, name, &length) == kErrorSuccess &&
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
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(original.data()), original.size());

    uint32_t lastError = 0;
    std::string error;
    static PrivateFolder scratch;
    if (!scratch.Made()) FUZZ_CHECK(scratch.Make({}, &error));
    PosixHiveFolder folder(OpenFolderWithoutLinks(Folder(), &error), Folder());
    OfflineHive hive("SOFTWARE", &folder, &scratch, false);
    if (hive.Open(&error)) {
        std::vector<std::string> keys = {"SOFTWARE"};
        KeyPaths(hive.Handle(), hivex_root(hive.Handle()), "SOFTWARE", &keys);
        OfflineRegistry registry(&lastError);
        registry.Mount(&hive);
        std::string key = keys[keyChoice % keys.size()];
        uint32_t values = ValueCount(registry, key);
        bool removed = (flags & kRemoveKey) ? registry.KeyDelete(kHkeyLocalMachine, key.c_str()) == kErrorSuccess
                                            : RemoveValue(registry, key, valueChoice);
        if (removed) {
            OfflineHive again("SOFTWARE", &folder, &scratch, false);
            FUZZ_CHECK(again.Open(&error));
            OfflineRegistry check(&lastError);
            check.Mount(&again);
            FUZZ_CHECK((flags & kRemoveKey) || ValueCount(check, key) == values - 1);
        } else {
            FUZZ_CHECK(ReadHiveFile(path) == original);
        }
    }
    for (const auto& file : std::filesystem::directory_iterator(Folder())) std::filesystem::remove(file.path());
    return 0;
}
