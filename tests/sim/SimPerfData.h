// The performance data of the simulated machine, in the system's published
// layout: a data block, the process object with its counter definitions, and
// one instance with its counter block per process. Private to tests/sim.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace simdetail {

struct SimState;

const uint32_t kProcessObjectIndex = 230;
const uint32_t kIdProcessCounterIndex = 784;

// Perflib\009's "Counters" list: index and name, alternately, each zero-ended.
std::string CounterNamesList();
// What a query of HKEY_PERFORMANCE_DATA for valueName answers: the process
// object for its index (or "Global"), a block without objects otherwise.
std::vector<uint8_t> BuildPerformanceData(const SimState& state, const std::string& valueName);

}  // namespace simdetail
