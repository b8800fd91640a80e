// Makes a Windows volume for the autostart benchmark (bench/run.sh): one
// infected program in the system folder, the SOFTWARE hive's Run key holding
// COUNT values that name other programs and one that launches the infected
// one (so the scan walks the whole key for it).
//
//   bench_run_values FOLDER COUNT
#include <hivex.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/SignatureTable.h"
#include "offline/EmptyHive.h"
#include "tools/samplegen/SampleGen.h"

namespace {

// UTF-8 text of ASCII characters as the zero-ended UTF-16LE of a hive.
std::string Wide(const std::string& text) {
    std::string wide;
    for (char c : text) wide += std::string(1, c) + '\0';
    return wide + std::string(2, '\0');
}

hive_node_h Child(hive_h* hive, hive_node_h node, const char* name) {
    hive_node_h child = hivex_node_get_child(hive, node, name);
    return child != 0 ? child : hivex_node_add_child(hive, node, name);
}

bool FillRunKey(const std::string& path, int count) {
    hive_h* hive = hivex_open(path.c_str(), HIVEX_OPEN_WRITE);
    if (hive == nullptr) return false;
    hive_node_h node = hivex_root(hive);
    for (const char* name : {"Microsoft", "Windows", "CurrentVersion", "Run"}) node = Child(hive, node, name);
    std::vector<std::string> names, data;
    for (int i = 0; i < count; ++i) {
        names.push_back("Program" + std::to_string(i));
        data.push_back(Wide("C:\\Program Files\\Vendor" + std::to_string(i) + "\\program.exe /background"));
    }
    names.push_back("launch");
    data.push_back(Wide("C:\\Windows\\System32\\abcd.exe"));
    std::vector<hive_set_value> values;
    for (size_t i = 0; i < names.size(); ++i)
        values.push_back({&names[i][0], hive_t_REG_SZ, data[i].size(), &data[i][0]});
    bool ok = node != 0 && hivex_node_set_values(hive, node, values.size(), values.data(), 0) == 0 &&
              hivex_commit(hive, nullptr, 0) == 0;
    hivex_close(hive);
    return ok;
}

bool WriteBytes(const std::string& path, const samplegen::Bytes& bytes) {
    FILE* file = fopen(path.c_str(), "wb");
    bool ok = file != nullptr && fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return file != nullptr && fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: bench_run_values FOLDER COUNT\n");
        return 2;
    }
    std::string root = argv[1];
    std::string system = root + "/Windows/System32";
    for (const std::string& folder : {root, root + "/Windows", system, system + "/config"}) mkdir(folder.c_str(), 0755);
    bool ok = WriteEmptyHive(system + "/config/SOFTWARE") && WriteEmptyHive(system + "/config/SYSTEM") &&
              FillRunKey(system + "/config/SOFTWARE", atoi(argv[2])) &&
              WriteBytes(system + "/abcd.exe", samplegen::MatchingSample(SignatureTable[0]));
    if (!ok) fprintf(stderr, "bench_run_values: cannot make the volume in %s\n", root.c_str());
    return ok ? 0 : 1;
}
