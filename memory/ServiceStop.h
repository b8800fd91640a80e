// Stopping a service by name through the service control manager.
#pragma once

#include <cstdint>

// Sends the stop control and waits, polling once a second, while the service
// reports that it is stopping. 1 when it ends up stopped; 0 when the manager
// or the service cannot be opened, the control is refused, the service
// settles in another state, or it is still stopping after StopWaitLimitMs.
int StopNamedService(const char* serviceName);

// How long the stop is waited for: the service's own wait hint, but never
// less than 30 seconds nor more than 120.
uint32_t StopWaitLimitMs(uint32_t waitHintMs);
