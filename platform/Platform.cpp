#include "platform/Platform.h"

namespace {
Platform* installed = nullptr;
}

Platform& Sys() { return *installed; }

void InstallPlatform(Platform* platform) { installed = platform; }
