// Simulated processes and services.
#pragma once

#include "platform/Processes.h"

namespace simdetail {
struct SimState;
}

class SimProcesses : public Processes {
public:
    explicit SimProcesses(simdetail::SimState& state) : state_(state) {}

private:
    simdetail::SimState& state_;
};
