// Writes the performance-data target's seed inputs (seed-* in the folder
// given) from the blocks the simulated Windows builds of its process table,
// as the unit tests use them: honest ones, cut short, and with lying fields.
// tests/fuzz/make_seeds.py runs it.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sim/SimPlatform.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Where the sim's block keeps things, with one process before "second".
const size_t kObject = 104;
const size_t kFirstInstance = kObject + 64 + 4 * 40;
const size_t kInstanceSize = 24 + 16 + 216;  // a name of up to seven characters
const size_t kSecond = kFirstInstance + 2 * kInstanceSize;

const uint8_t kCountersFromInput = 0x10;
const uint8_t kFirstRefuses = 0x20;

struct Seed {
    uint8_t flags;
    uint32_t sizeOnMoreData;
    std::string path;
    std::string counters;  // used when flags has kCountersFromInput
    Bytes block;
};

void AddText(Bytes& out, const std::string& text) {
    out.push_back(static_cast<uint8_t>(text.size()));
    out.push_back(static_cast<uint8_t>(text.size() >> 8));
    out.insert(out.end(), text.begin(), text.end());
}

bool Write(const std::string& folder, const std::string& name, const Seed& seed) {
    Bytes out{seed.flags};
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(seed.sizeOnMoreData >> (8 * i)));
    AddText(out, seed.path);
    if (seed.flags & kCountersFromInput) AddText(out, seed.counters);
    out.insert(out.end(), seed.block.begin(), seed.block.end());
    std::string path = folder + "/seed-" + name;
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    bool written = fwrite(out.data(), 1, out.size(), file) == out.size();
    return fclose(file) == 0 && written;
}

// The block of a machine running programs of these instance names (ids 8, 12, ...).
Bytes BlockOf(const std::vector<std::string>& names) {
    SimPlatform sim;
    for (const std::string& name : names) {
        SimPlatform::ProcessSpec spec;
        spec.path = "C:\\" + name + ".exe";
        spec.instanceName = name;
        sim.AddProcess(spec);
    }
    return sim.PerformanceDataBlock();
}

Bytes Patched(Bytes block, size_t at, uint32_t value) {
    memcpy(&block[at], &value, sizeof value);
    return block;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: perf_data_seeds CORPUS_FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    // The last name lacks its zero: it is never read.
    static const char kUnterminated[] = "6\0% Processor Time\0" "230\0Process\0" "784\0ID Process\0" "231\0process";
    const std::string counters(kUnterminated, sizeof kUnterminated - 1);
    const Bytes notepads = BlockOf({"notepad", "notepad2", "notepa"});
    const Bytes two = BlockOf({"first", "second"});
    std::vector<std::string> many;
    for (int i = 0; i < 300; ++i) many.push_back("filler" + std::to_string(i));
    Bytes badSignature = two;
    badSignature[2] = 'X';

    const struct {
        const char* name;
        Seed seed;
    } seeds[] = {
        {"notepads", {3, 0, "D:\\anywhere\\Notepad.exe", "", notepads}},
        {"first-refuses", {3 | kFirstRefuses, 0, "C:\\NOTEPAD.EXE", "", notepads}},
        {"idle", {3, 0, "C:\\Idle.exe", "", notepads}},
        {"short-path", {3, 0, "C:\\.e", "", notepads}},
        {"sixteen-and-seventeen", {2, 0, "C:\\ABCDEFGHIJKLMNOP.EXE", "", BlockOf({"ABCDEFGHIJKLMNOP", "ABCDEFGHIJKLMNOPQ"})}},
        {"three-hundred", {15, 0, "C:\\FILLER3.EXE", "", BlockOf(many)}},
        {"counters-unterminated", {2 | kCountersFromInput, 0, "C:\\first.exe", counters, two}},
        {"counters-no-id-counter",
         {2 | kCountersFromInput, 0, "C:\\first.exe", std::string("230\0Process\0" "785\0ID Process\0", 28), two}},
        {"bad-signature", {2, 0, "C:\\first.exe", "", badSignature}},
        {"cut-in-header", {2, 0, "C:\\first.exe", "", Bytes(two.begin(), two.begin() + 27)}},
        {"cut-in-object", {2, 0, "C:\\first.exe", "", Bytes(two.begin(), two.begin() + kObject + 40)}},
        {"cut-in-instance", {2, 0, "C:\\second.exe", "", Bytes(two.begin(), two.begin() + kSecond + 30)}},
        {"object-beyond", {2, 0, "C:\\first.exe", "", Patched(two, 24, 0xFFFFFFF0u)}},
        {"counters-beyond", {2, 0, "C:\\first.exe", "", Patched(two, kObject + 32, 0xFFFFFFFFu)}},
        {"no-instances", {2, 0, "C:\\second.exe", "", Patched(two, kObject + 40, 0xFFFFFFFFu)}},
        {"name-far-away", {2, 0, "C:\\second.exe", "", Patched(two, kSecond + 16, 0x7FFFFFFFu)}},
        {"counter-block-empty", {2, 0, "C:\\second.exe", "", Patched(two, kSecond + 40, 0)}},
        {"instance-without-length", {2, 0, "C:\\first.exe", "", Patched(two, kFirstInstance, 0)}},
    };
    for (const auto& seed : seeds) {
        if (!Write(folder, seed.name, seed.seed)) {
            fprintf(stderr, "perf_data_seeds: cannot write %s/seed-%s\n", folder.c_str(), seed.name);
            return 1;
        }
    }
    return 0;
}
