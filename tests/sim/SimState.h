// State shared by the simulated Windows' concerns, and the small text helpers
// they all use. Private to tests/sim.
#pragma once

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/host/WindowsNames.h"
#include "sim/SimFaults.h"

namespace simdetail {

const uint32_t kKeySetValue = 0x0002;
const uint32_t kKeyCreateSubKey = 0x0004;
const uint32_t kKeyQueryValue = 0x0001;

inline bool IsSeparator(char c) { return c == '\\' || c == '/'; }

inline std::vector<std::string> SplitComponents(const std::string& rest) { return SplitNames(rest, "\\/"); }

struct RegValue {
    std::string name;
    uint32_t type;
    std::vector<uint8_t> data;
};

struct RegNode {
    std::string name;
    std::vector<std::shared_ptr<RegNode>> children;
    std::vector<RegValue> values;
    bool deleted = false;

    std::shared_ptr<RegNode> Child(const std::string& childName) const {
        for (const auto& child : children)
            if (SameTextIgnoringCase(child->name, childName)) return child;
        return nullptr;
    }
    RegValue* Value(const std::string& valueName) {
        for (auto& value : values)
            if (SameTextIgnoringCase(value.name, valueName)) return &value;
        return nullptr;
    }
};

inline void MarkDeleted(RegNode* node) {
    node->deleted = true;
    for (auto& child : node->children) MarkDeleted(child.get());
}

struct OpenKey {
    std::shared_ptr<RegNode> node;
    uint32_t access;
};

struct Search {
    std::vector<FindEntry> entries;
    size_t next = 0;
    std::string pattern;
};

struct Drive {
    std::string host;
    uint32_t type = kDriveNoRootDir;
};

// One process of the simulated machine.
struct SimProcess {
    uint32_t id = 0;
    std::string path;          // its program file's full path
    std::string instanceName;  // its name in the performance data
    bool needsDebugPrivilege = false;  // opening it is refused until that privilege is on
    bool refusesTermination = false;   // opening it for termination is refused
    int resistsTerminations = 0;       // terminations that fail before one succeeds
    bool exited = false;               // its object lives on while a handle refers to it
};

// A process or snapshot handle (tokens are kept apart).
struct KernelObject {
    bool isSnapshot = false;
    uint32_t processId = 0;  // a process handle's process
    uint32_t access = 0;
    std::vector<ToolhelpEntry> entries;  // a snapshot's processes
    size_t next = 0;
};

struct SimService {
    std::string name;
    uint32_t state = kServiceRunning;
    // The states it reports after a stop request: the control's answer
    // first, then one per status query; the last one stays.
    std::vector<uint32_t> afterStop;
    size_t reported = 0;
    uint32_t waitHint = 0;
    bool acceptsStop = true;
    int stopRequests = 0;
};

struct ServiceHandleEntry {
    bool isManager = false;
    std::string service;
};

struct SimState {
    Drive drives[26];
    std::map<std::string, uint32_t> attributes;  // host path -> HIDDEN/SYSTEM/ARCHIVE (+READONLY for folders)
    std::set<std::string> locked;
    std::set<std::string> deniedAttributes;
    std::set<std::string> deniedListing;
    bool shortNames = true;  // false: the file system keeps no 8.3 names
    // host folder -> (name -> the short name it was given)
    std::map<std::string, std::map<std::string, std::string>> givenShortNames;
    std::map<SearchHandle, Search> searches;
    SearchHandle nextSearch = 0x100;
    // Open descriptors, all binary: the cleaner opens none in text mode.
    std::set<int> descriptors;

    OsVersion version = {2, 5, 1, 2600};
    bool versionFails = false;
    std::string windowsDirectory = "C:\\WINDOWS";
    std::string systemDirectory = "C:\\WINDOWS\\SYSTEM32";
    std::string tempPath = "C:\\WINDOWS\\TEMP\\";
    std::map<std::string, std::pair<std::string, std::string>> environment;  // upper name -> (name, value)

    std::map<RegKey, std::shared_ptr<RegNode>> roots;
    std::map<RegKey, OpenKey> keys;
    RegKey nextKey = 0x1000;
    std::vector<uint8_t> performanceData;

    std::deque<QueuedMessage> queue;
    std::multimap<int, std::function<void()>> peekActions;
    std::deque<int> answers;

    std::set<TokenHandle> tokens;
    TokenHandle nextToken = 0x3000;
    uint32_t lastError = 0;
    bool debugPrivilegeOn = false;
    int failedCloses = 0;  // CloseHandle on a handle that is not open (closed twice, say)

    std::vector<SimProcess> processes;
    std::map<uintptr_t, KernelObject> kernelObjects;
    uintptr_t nextKernelObject = 0x5000;
    std::set<std::string> missingLibraries;  // upper-case names
    std::set<std::string> missingFunctions;
    std::vector<SimService> services;
    std::map<ServiceHandle, ServiceHandleEntry> serviceHandles;
    ServiceHandle nextServiceHandle = 0x6000;
    bool performanceDataScripted = false;  // SetPerformanceData gave the answer
    bool performanceSizeScripted = false;  // an ERROR_MORE_DATA answer sets the size below
    uint32_t performanceSizeOnMoreData = 0;
    SimFaults faults;

    // Counts a call of this kind; when it is the one to fail, the system's
    // error is left as the last error and true is answered.
    bool Injected(FaultKind kind) {
        if (!faults.Fails(kind)) return false;
        lastError = kErrorAccessDenied;
        errno = EACCES;
        return true;
    }

    SimProcess* Process(uint32_t id) {
        for (auto& process : processes)
            if (process.id == id) return &process;
        return nullptr;
    }
    SimService* Service(const std::string& name) {
        for (auto& service : services)
            if (SameTextIgnoringCase(service.name, name)) return &service;
        return nullptr;
    }
    bool NineX() const { return version.platformId == 1 && !versionFails; }

    std::shared_ptr<RegNode> Root(RegKey key) {
        auto found = roots.find(key);
        return found == roots.end() ? nullptr : found->second;
    }

    // Access masks are checked on the NT family only; the 9x registry has no security.
    bool Allows(const OpenKey& key, uint32_t right) const {
        bool nineX = version.platformId == 1 && !versionFails;
        return nineX || (key.access & right) != 0;
    }

    // A root or an open handle; a handle whose key was deleted meanwhile
    // answers ERROR_KEY_DELETED, as on Windows.
    int32_t ResolveKey(RegKey key, OpenKey* out) {
        if (auto root = Root(key)) {
            *out = {root, kKeyAllAccess};
            return kErrorSuccess;
        }
        auto found = keys.find(key);
        if (found == keys.end()) return kErrorInvalidHandle;
        if (found->second.node->deleted) return kErrorKeyDeleted;
        *out = found->second;
        return kErrorSuccess;
    }

    // Why MoveFileExA would refuse to move source to target (0 when it would not).
    int32_t MoveRefusal(const std::string& source, const std::string& target, bool replace) const;
};

}  // namespace simdetail
