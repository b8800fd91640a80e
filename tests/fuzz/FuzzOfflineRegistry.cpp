// Any hive through the offline registry as the cleaning uses it: opened
// (recovered and walked), one value or one key removed, written back by
// hivex in a process of its own and checked, the written hive opened again.
// The input: which key (its index among the first keys of a depth-first
// walk), which of its values, a flags byte (bit 0: remove the key instead of
// a value), then the hive file. hivex never aborts; a removal reported done
// leaves a hive that opens again with one value fewer, one reported failed
// leaves the file as it was.
#include <hivex.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/offline/OfflineRegistry.h"
#include "platform/offline/PosixHiveFolder.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

const size_t kKeysLooked = 64;
const uint8_t kRemoveKey = 1;

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

// The key's values: their number, and the name of the one at index ("" when none is there).
uint32_t Values(OfflineRegistry& registry, const std::string& key, uint8_t index, std::string* name) {
    RegKey handle;
    uint32_t count = 0, length = 16384;
    char text[16384] = "";
    if (registry.KeyOpen(kHkeyLocalMachine, key.c_str(), kKeyAllAccess, &handle) != kErrorSuccess) return 0;
    registry.KeyValueCount(handle, &count);
    registry.KeyEnumValue(handle, index, text, &length);
    registry.KeyClose(handle);
    *name = text;
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    uint8_t keyChoice = input.Byte(), valueChoice = input.Byte(), flags = input.Byte();
    HiveBytes original(input.Rest(), input.Rest() + input.Remaining());
    // In memory where the system offers it, emptied after each input.
    static char shm[] = "/dev/shm/cordafix-registry-XXXXXX", tmp[] = "/tmp/cordafix-registry-XXXXXX";
    static const std::string folder = mkdtemp(shm) ? shm : mkdtemp(tmp) ? tmp : "/nonexistent";
    static PrivateFolder scratch;
    std::string path = folder + "/SOFTWARE", error, value;
    FUZZ_CHECK(scratch.Made() || scratch.Make({}, &error));
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(original.data()), original.size());

    uint32_t lastError = 0;
    PosixHiveFolder hives(OpenFolderWithoutLinks(folder, &error), folder);
    OfflineHive hive("SOFTWARE", &hives, &scratch, false);
    if (hive.Open(&error)) {
        std::vector<std::string> keys = {"SOFTWARE"};
        KeyPaths(hive.Handle(), hivex_root(hive.Handle()), "SOFTWARE", &keys);
        OfflineRegistry registry(&lastError);
        registry.Mount(&hive);
        std::string key = keys[keyChoice % keys.size()];
        uint32_t values = Values(registry, key, valueChoice, &value);
        RegKey handle;
        bool removed = (flags & kRemoveKey) ? registry.KeyDelete(kHkeyLocalMachine, key.c_str()) == kErrorSuccess
                                            : registry.KeyOpen(kHkeyLocalMachine, key.c_str(), 0, &handle) == 0 &&
                                                  registry.KeyDeleteValue(handle, value.c_str()) == kErrorSuccess;
        if (removed) {
            OfflineHive again("SOFTWARE", &hives, &scratch, false);
            FUZZ_CHECK(again.Open(&error));
            OfflineRegistry check(&lastError);
            check.Mount(&again);
            FUZZ_CHECK((flags & kRemoveKey) || Values(check, key, 0, &value) == values - 1);
        } else {
            std::ifstream file(path, std::ios::binary);
            FUZZ_CHECK(HiveBytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()) == original);
        }
    }
    for (const auto& file : std::filesystem::directory_iterator(folder)) std::filesystem::remove(file.path());
    return 0;
}
