#include "sim/SimPerfData.h"

#include <cstring>

#include "memory/PerfLayout.h"
#include "platform/LittleEndian.h"
#include "sim/SimState.h"

namespace simdetail {

namespace {

using namespace perf;

// Each instance's counters: room for all of kCounters.
const uint32_t kCounterBlockLength = 216;

struct CounterSpec {
    uint32_t nameIndex;
    const char* name;
    uint32_t size;
    uint32_t offset;  // in the counter block
};

// ID Process is not the first definition, as on the real systems.
const uint32_t kIdProcessCounterOffset = 40;
const CounterSpec kCounters[] = {
    {6, "% Processor Time", 8, 8},
    {684, "Elapsed Time", 8, 16},
    {kIdProcessCounterIndex, "ID Process", 4, kIdProcessCounterOffset},
    {1410, "Creating Process ID", 4, 44},
};

class Writer {
public:
    size_t Size() const { return bytes_.size(); }
    void Pad(size_t length) { bytes_.resize(bytes_.size() + length, 0); }
    void AlignTo8() { Pad((8 - bytes_.size() % 8) % 8); }
    void Put32(size_t at, uint32_t value) { WriteLe32(&bytes_[at], value); }
    void Add32(uint32_t value) {
        Pad(4);
        Put32(bytes_.size() - 4, value);
    }
    void AddWide(const std::string& text) {
        for (unsigned char c : text) {
            bytes_.push_back(c);
            bytes_.push_back(0);
        }
        Pad(2);
    }
    std::vector<uint8_t> Take() { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

struct Instance {
    uint32_t processId;
    std::string name;
};

void WriteDataBlockHeader(Writer& out) {
    out.Pad(kDataBlockSize);
    out.Put32(0, 'P' | ('E' << 16));  // the signature: four wide characters
    out.Put32(4, 'R' | ('F' << 16));
    out.Put32(kBlockLittleEndianAt, 1);
    out.Put32(kBlockVersionAt, 1);
    out.Put32(kBlockRevisionAt, 1);
    out.Put32(kBlockSystemNameOffsetAt, kDataBlockSize);
    out.AddWide("SIMPC");
    out.Put32(kBlockSystemNameLengthAt, static_cast<uint32_t>(out.Size() - kDataBlockSize));
    out.AlignTo8();
    out.Put32(kBlockHeaderLengthAt, static_cast<uint32_t>(out.Size()));
}

void WriteInstance(Writer& out, const Instance& instance) {
    size_t start = out.Size();
    out.Pad(kInstanceSize);
    out.Put32(start + kInstanceUniqueIdAt, 0xFFFFFFFFu);  // none
    out.Put32(start + kInstanceNameOffsetAt, kInstanceSize);
    out.AddWide(instance.name);
    out.Put32(start + kInstanceNameLengthAt, static_cast<uint32_t>((instance.name.size() + 1) * 2));
    out.AlignTo8();
    out.Put32(start + kInstanceByteLengthAt, static_cast<uint32_t>(out.Size() - start));
    size_t block = out.Size();
    out.Pad(kCounterBlockLength);
    out.Put32(block + kCounterBlockLengthAt, kCounterBlockLength);
    out.Put32(block + kIdProcessCounterOffset, instance.processId);
}

void WriteProcessObject(Writer& out, const std::vector<Instance>& instances) {
    size_t start = out.Size();
    out.Pad(kObjectSize);
    uint32_t counterCount = sizeof kCounters / sizeof kCounters[0];
    out.Put32(start + kObjectDefinitionLengthAt, kObjectSize + counterCount * kCounterDefinitionSize);
    out.Put32(start + kObjectHeaderLengthAt, kObjectSize);
    out.Put32(start + kObjectNameIndexAt, kProcessObjectIndex);
    out.Put32(start + kObjectHelpIndexAt, kProcessObjectIndex + 1);
    out.Put32(start + kObjectDetailLevelAt, 100);  // novice
    out.Put32(start + kObjectNumCountersAt, counterCount);
    out.Put32(start + kObjectNumInstancesAt, static_cast<uint32_t>(instances.size()));
    for (const CounterSpec& counter : kCounters) {
        size_t at = out.Size();
        out.Pad(kCounterDefinitionSize);
        out.Put32(at + kCounterByteLengthAt, kCounterDefinitionSize);
        out.Put32(at + kCounterNameIndexAt, counter.nameIndex);
        out.Put32(at + kCounterHelpIndexAt, counter.nameIndex + 1);
        out.Put32(at + kCounterSizeAt, counter.size);
        out.Put32(at + kCounterOffsetAt, counter.offset);
    }
    for (const Instance& instance : instances) WriteInstance(out, instance);
    out.Put32(start + kObjectTotalLengthAt, static_cast<uint32_t>(out.Size() - start));
}

bool NamesProcessObject(const std::string& valueName) {
    return valueName == std::to_string(kProcessObjectIndex) || SameTextIgnoringCase(valueName, "Global");
}

}  // namespace

std::string CounterNamesList() {
    std::string list;
    auto add = [&list](uint32_t index, const char* name) {
        list += std::to_string(index);
        list += '\0';
        list += name;
        list += '\0';
    };
    add(1, "1847");
    add(2, "System");
    add(4, "Memory");
    for (const CounterSpec& counter : kCounters) add(counter.nameIndex, counter.name);
    add(kProcessObjectIndex, "Process");
    add(238, "Processor");
    return list;
}

std::vector<uint8_t> BuildPerformanceData(const SimState& state, const std::string& valueName) {
    Writer out;
    WriteDataBlockHeader(out);
    if (NamesProcessObject(valueName)) {
        // The system lists the idle process first and a total last, both with id 0.
        std::vector<Instance> instances{{0, "Idle"}};
        for (const SimProcess& process : state.processes)
            if (!process.exited) instances.push_back({process.id, process.instanceName});
        instances.push_back({0, "_Total"});
        WriteProcessObject(out, instances);
        out.Put32(kBlockObjectCountAt, 1);
        out.Put32(kBlockDefaultObjectAt, kProcessObjectIndex);
    } else {
        out.Put32(kBlockDefaultObjectAt, 0xFFFFFFFFu);  // none
    }
    out.Put32(kBlockTotalLengthAt, static_cast<uint32_t>(out.Size()));
    return out.Take();
}

}  // namespace simdetail
