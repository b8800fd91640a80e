#include "engine/ScanServices.h"

ScanServices ActiveScanServices = {nullptr, nullptr, nullptr, nullptr, nullptr};
