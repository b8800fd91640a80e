// Runs a fuzz target over saved inputs, for builds without the fuzzer's own
// driver: each argument is an input file or a folder of them; arguments that
// start with "-" (the fuzzer's options) are ignored. Prints one line per
// folder and fails when a folder holds no input.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool ReadWhole(const std::string& path, std::vector<uint8_t>* bytes) {
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    bytes->clear();
    uint8_t block[65536];
    size_t got;
    while ((got = fread(block, 1, sizeof block, file)) > 0) bytes->insert(bytes->end(), block, block + got);
    fclose(file);
    return true;
}

bool RunOne(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!ReadWhole(path, &bytes)) {
        fprintf(stderr, "replay: cannot read %s\n", path.c_str());
        return false;
    }
    // An empty vector's data() may be null: hand the target a real address.
    static const uint8_t kNothing = 0;
    LLVMFuzzerTestOneInput(bytes.empty() ? &kNothing : bytes.data(), bytes.size());
    return true;
}

int RunFolder(const std::string& folder) {
    DIR* listing = opendir(folder.c_str());
    if (listing == nullptr) return -1;
    int count = 0;
    while (dirent* entry = readdir(listing)) {
        std::string path = folder + "/" + entry->d_name;
        struct stat info;
        if (entry->d_name[0] == '.' || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        if (!RunOne(path)) {
            closedir(listing);
            return -1;
        }
        ++count;
    }
    closedir(listing);
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument.empty() || argument[0] == '-') continue;
        struct stat info;
        if (stat(argument.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            int count = RunFolder(argument);
            if (count <= 0) {
                fprintf(stderr, "replay: no inputs in %s\n", argument.c_str());
                return 1;
            }
            printf("replay: %d inputs of %s passed\n", count, argument.c_str());
        } else if (!RunOne(argument)) {
            return 1;
        }
    }
    return 0;
}
