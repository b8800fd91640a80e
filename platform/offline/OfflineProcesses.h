// Processes and services of a Windows volume that is not running: there are
// none. Every listing comes back empty or failed and nothing can be
// terminated or stopped, so the memory pass finds nothing.
#pragma once

#include "platform/Processes.h"

class OfflineProcesses : public Processes {};
