// The performance-data reader of the memory pass (termination by instance
// name) over any counter names and any data block. The input: a flags byte
// (bits 0-3: how many processes run, with ids 8, 12, 16, ...; bit 4: the
// counter names come from the input, else they are the system's; bit 5: the
// first process refuses termination), the size a "more data" answer leaves,
// the infected file's path, the counter names when bit 4 is set, and then
// the data block. The reading is done twice: directly on exact-size copies,
// so that any read past the end is caught, and through the termination, which
// must end exactly the running processes of the instances whose names begin
// with the file's name.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/Shared.h"
#include "memory/PerfData.h"
#include "memory/ProcessKill.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

const char kPerflib[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Perflib\\009";

using Bytes = std::vector<uint8_t>;

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

// The name the termination looks for: the path's file name without its last
// four characters; empty when nothing can match.
std::string TargetName(const std::string& path) {
    if (path.size() <= 4 || path.size() >= 260) return "";
    std::string cut = Upper(path.substr(0, path.size() - 4));
    size_t slash = cut.rfind('\\');
    return slash == std::string::npos ? cut : cut.substr(slash + 1);
}

bool BeginsWith(const char* name, const std::string& target) {
    return !target.empty() && strlen(name) >= target.size() && Upper(std::string(name, target.size())) == target;
}

// The name stands in the block as wide characters (those above 0xFF read "?").
bool NameInBlock(const Bytes& block, const char* name) {
    size_t length = strlen(name);
    for (size_t at = 0; at + 2 * length <= block.size(); ++at) {
        size_t i = 0;
        for (; i < length; ++i) {
            unsigned wide = block[at + 2 * i] | (block[at + 2 * i + 1] << 8);
            unsigned char c = static_cast<unsigned char>(name[i]);
            if (wide != c && !(c == '?' && wide > 0xFF)) break;
        }
        if (i == length) return true;
    }
    return false;
}

// The 32-bit value stands in the block, at any offset.
bool ValueInBlock(const Bytes& block, uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return std::search(block.begin(), block.end(), bytes, bytes + 4) != block.end();
}

// The index text found for "process" stands right before such a name.
bool IndexNamesProcess(const Bytes& list, const char* index) {
    std::string lower = Lower(std::string(list.begin(), list.end()));
    std::string wanted = Lower(std::string(index) + '\0' + "process" + '\0');
    size_t at = lower.find(wanted);
    while (at != std::string::npos && at != 0 && lower[at - 1] != '\0') at = lower.find(wanted, at + 1);
    return at != std::string::npos;
}

// The entries the reader takes from the block, each checked against it; the
// ids of those whose names begin with target.
std::set<uint32_t> MatchingIds(const Bytes& list, const Bytes& block, const std::string& target) {
    std::set<uint32_t> ids;
    char index[32] = "";
    uint32_t idProcess = 0;
    if (!FindProcessCounterIndexes(reinterpret_cast<const char*>(list.data()), list.size(), index, sizeof index,
                                   &idProcess))
        return ids;
    FUZZ_CHECK(memchr(index, '\0', sizeof index) != nullptr && IndexNamesProcess(list, index));
    std::unique_ptr<PerfProcessEntry[]> entries(new PerfProcessEntry[kPerfEntriesUsed]);
    int count = ReadPerfProcesses(block.data(), block.size(), idProcess, entries.get(), kPerfEntriesUsed);
    FUZZ_CHECK(count >= -1 && count <= kPerfEntriesUsed);
    // The entries that can end a process are checked against the block.
    std::set<std::string> namesSeen;
    for (int i = 0; i < count; ++i) {
        const PerfProcessEntry& entry = entries[i];
        FUZZ_CHECK(memchr(entry.name, '\0', sizeof entry.name) != nullptr);
        FUZZ_CHECK(entry.processId != 0);
        if (!BeginsWith(entry.name, target)) continue;
        if (strcmp(entry.name, "unknown") != 0 && namesSeen.insert(entry.name).second)
            FUZZ_CHECK(NameInBlock(block, entry.name));
        if (entry.processId != kNoProcessId && ids.insert(entry.processId).second)
            FUZZ_CHECK(ValueInBlock(block, entry.processId));
    }
    return ids;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryDiskSim& sim = FreshFuzzSim();
    sim.ClearProcesses();
    sim.terminated.clear();
    sim.sleeps.clear();
    sim.SetVersion(2, 4, 0);  // NT 4 ends programs through the performance data

    FuzzInput input(data, size);
    uint8_t flags = input.Byte();
    sim.SetPerformanceSizeOnMoreData(input.U32());
    std::string path = input.Text(300).c_str();
    Bytes list;
    if (flags & 0x10) {
        std::string names = input.Text(4096);
        list.assign(names.begin(), names.end());
        sim.SetRegistryBytes(kHkeyLocalMachine, kPerflib, "Counters", list, kRegMultiSz);
    } else {
        sim.PublishCounterNames();
        uint32_t type = 0, length = 0;
        RegKey key;
        FUZZ_CHECK(sim.KeyOpen(kHkeyLocalMachine, kPerflib, kKeyRead, &key) == kErrorSuccess);
        sim.KeyQueryValue(key, "Counters", &type, nullptr, &length);
        list.resize(length);
        sim.KeyQueryValue(key, "Counters", &type, list.data(), &length);
        sim.KeyClose(key);
    }
    Bytes block(input.Rest(), input.Rest() + input.Remaining());
    sim.SetPerformanceData(block);

    std::set<uint32_t> willEnd;
    int running = flags & 0x0F;
    for (int i = 0; i < running; ++i) {
        SimPlatform::ProcessSpec spec;
        spec.path = "C:\\P" + std::to_string(i) + ".EXE";
        spec.refusesTermination = i == 0 && (flags & 0x20) != 0;
        uint32_t id = sim.AddProcess(spec);
        if (!spec.refusesTermination) willEnd.insert(id);
    }
    std::set<uint32_t> matching = MatchingIds(list, block, TargetName(path));

    int result = KillByNamePerfData(path.c_str());

    std::set<uint32_t> ended(sim.terminated.begin(), sim.terminated.end());
    FUZZ_CHECK(ended.size() == sim.terminated.size());
    for (uint32_t id : willEnd) FUZZ_CHECK(ended.count(id) == matching.count(id));
    for (uint32_t id : ended) FUZZ_CHECK(willEnd.count(id) != 0 && matching.count(id) != 0);
    FUZZ_CHECK(result == (ended.empty() ? 0 : 1));
    FUZZ_CHECK(sim.OpenProcessHandles() == 0 && sim.FailedCloses() == 0);
    return 0;
}
