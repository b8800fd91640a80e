#include "platform/Platform.h"

namespace {
Platform installed = {nullptr, nullptr, nullptr, nullptr};
}

FileSystem& SysFiles() { return *installed.files; }
Registry& SysRegistry() { return *installed.registry; }
Processes& SysProcesses() { return *installed.processes; }
Session& SysSession() { return *installed.session; }

void InstallPlatform(const Platform& platform) { installed = platform; }
