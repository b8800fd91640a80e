#include "platform/Platform.h"

namespace {
Platform installed = {nullptr, nullptr, nullptr, nullptr};
}

FileSystem& SysFiles() { return *installed.files; }
Registry& SysRegistry() { return *installed.registry; }
Processes& SysProcesses() { return *installed.processes; }
Session& SysSession() { return *installed.session; }

PlatformScope::PlatformScope(const Platform& platform) : previous_(installed) { installed = platform; }

PlatformScope::~PlatformScope() { installed = previous_; }
