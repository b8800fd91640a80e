#include "memory/ServiceStop.h"

#include "common/Shared.h"

namespace {

const uint32_t kPollMs = 1000;
const uint32_t kShortestWaitMs = 30000;
const uint32_t kLongestWaitMs = 120000;

// Polls while the service reports that it is stopping; status keeps the last
// answer received (the control's when no query succeeds).
void WaitWhileStopping(ServiceHandle service, ServiceStatus* status) {
    uint32_t waited = 0;
    ServiceStatus latest = *status;
    while (SysProcesses().ServiceQueryStatus(service, &latest)) {
        *status = latest;
        if (status->currentState != kServiceStopPending) return;
        // A service that never leaves this state would hold the program here for good.
        if (waited >= StopWaitLimitMs(status->waitHint)) return;
        SysSession().SleepFor(kPollMs);
        waited += kPollMs;
    }
}

int StopOpenService(ServiceHandle service) {
    ServiceStatus status = {0, 0, 0};
    if (!SysProcesses().ServiceControl(service, kServiceControlStop, &status)) return 0;
    WaitWhileStopping(service, &status);
    return status.currentState == kServiceStopped ? 1 : 0;
}

}  // namespace

uint32_t StopWaitLimitMs(uint32_t waitHintMs) {
    if (waitHintMs < kShortestWaitMs) return kShortestWaitMs;
    return waitHintMs > kLongestWaitMs ? kLongestWaitMs : waitHintMs;
}

int StopNamedService(const char* serviceName) {
    if (serviceName == nullptr || serviceName[0] == '\0') return 0;  // no service has an empty name
    ServiceHandle manager = SysProcesses().ServiceManagerOpen(kScManagerAllAccess);
    if (manager == 0) return 0;
    int stopped = 0;
    ServiceHandle service = SysProcesses().ServiceOpen(manager, serviceName, kScManagerAllAccess);
    if (service != 0) {
        stopped = StopOpenService(service);
        SysProcesses().ServiceClose(service);
    }
    SysProcesses().ServiceClose(manager);
    return stopped;
}
