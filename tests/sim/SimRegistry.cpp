// The simulated registry: one in-memory tree per root.
#include "sim/SimRegistry.h"

#include <algorithm>
#include <cstring>

#include "platform/host/Win32Answers.h"
#include "sim/SimPerfData.h"
#include "sim/SimState.h"

using namespace simdetail;

SimRegistry::SimRegistry(SimState& state) : state_(state) {
    for (RegKey root : {kHkeyClassesRoot, kHkeyCurrentUser, kHkeyLocalMachine, kHkeyUsers})
        state_.roots[root] = std::make_shared<RegNode>();
}

namespace {

std::shared_ptr<RegNode> WalkKeys(std::shared_ptr<RegNode> node, const std::string& path, bool create) {
    for (const std::string& part : SplitComponents(path)) {
        if (!node) return nullptr;
        auto child = node->Child(part);
        if (!child && create) {
            child = std::make_shared<RegNode>();
            child->name = part;
            node->children.push_back(child);
        }
        node = child;
    }
    return node;
}

void StoreValue(RegNode* node, const std::string& name, uint32_t type, const std::vector<uint8_t>& data) {
    if (RegValue* value = node->Value(name)) {
        value->type = type;
        value->data = data;
        return;
    }
    node->values.push_back({name, type, data});
}

}  // namespace

void SimRegistry::SetRegistryText(RegKey root, const std::string& keyPath, const std::string& name,
                                  const std::string& text, uint32_t type) {
    std::vector<uint8_t> data(text.begin(), text.end());
    // String types carry their terminating zero (two for a list); other types
    // keep exactly the bytes given.
    if (type == kRegSz || type == kRegExpandSz || type == kRegMultiSz) data.push_back(0);
    if (type == kRegMultiSz) data.push_back(0);
    SetRegistryBytes(root, keyPath, name, data, type);
}

void SimRegistry::SetRegistryBytes(RegKey root, const std::string& keyPath, const std::string& name,
                                   const std::vector<uint8_t>& bytes, uint32_t type) {
    auto node = WalkKeys(state_.Root(root), keyPath, true);
    if (node) StoreValue(node.get(), name, type, bytes);
}

bool SimRegistry::HasRegistryValue(RegKey root, const std::string& keyPath, const std::string& name) const {
    auto node = WalkKeys(state_.Root(root), keyPath, false);
    return node && node->Value(name) != nullptr;
}

bool SimRegistry::HasRegistryKey(RegKey root, const std::string& keyPath) const {
    return WalkKeys(state_.Root(root), keyPath, false) != nullptr;
}

std::vector<std::string> SimRegistry::RegistryValueNames(RegKey root, const std::string& keyPath) const {
    std::vector<std::string> names;
    auto node = WalkKeys(state_.Root(root), keyPath, false);
    if (node)
        for (const auto& value : node->values) names.push_back(value.name);
    return names;
}

void SimRegistry::SetPerformanceData(const std::vector<uint8_t>& block) {
    state_.performanceData = block;
    state_.performanceDataScripted = true;
}

void SimRegistry::PublishCounterNames() {
    std::string list = CounterNamesList();
    std::vector<uint8_t> bytes(list.begin(), list.end());
    bytes.push_back(0);  // the empty string that ends the list
    SetRegistryBytes(kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Perflib\\009",
                     "Counters", bytes, kRegMultiSz);
}

std::vector<uint8_t> SimRegistry::PerformanceDataBlock() const {
    return BuildPerformanceData(state_, std::to_string(kProcessObjectIndex));
}

void SimRegistry::SetPerformanceSizeOnMoreData(uint32_t size) {
    state_.performanceSizeScripted = true;
    state_.performanceSizeOnMoreData = size;
}

// --- registry -------------------------------------------------------------------

int32_t SimRegistry::KeyOpen(RegKey root, const char* subKey, uint32_t access, RegKey* key) {
    if (state_.Injected(FaultKind::RegistryOpen)) return kErrorAccessDenied;
    if (root == kHkeyPerformanceData) {
        *key = kHkeyPerformanceData;
        return kErrorSuccess;
    }
    OpenKey parent;
    if (int32_t error = state_.ResolveKey(root, &parent)) return error;
    std::string path = subKey ? subKey : "";
    if (!path.empty() && path[0] == '\\') return 161;  // ERROR_BAD_PATHNAME
    auto node = WalkKeys(parent.node, path, false);
    if (!node) return kErrorFileNotFound;
    *key = state_.nextKey;
    state_.nextKey += 4;
    state_.keys[*key] = {node, access};
    return kErrorSuccess;
}

int32_t SimRegistry::KeyCreate(RegKey root, const char* subKey, RegKey* key) {
    if (state_.Injected(FaultKind::RegistryOpen)) return kErrorAccessDenied;
    OpenKey parent;
    if (int32_t error = state_.ResolveKey(root, &parent)) return error;
    if (!state_.Allows(parent, kKeyCreateSubKey)) return kErrorAccessDenied;
    std::string path = subKey ? subKey : "";
    if (!path.empty() && path[0] == '\\') return 161;
    auto node = WalkKeys(parent.node, path, true);
    if (!node) return kErrorFileNotFound;
    *key = state_.nextKey;
    state_.nextKey += 4;
    state_.keys[*key] = {node, kKeyAllAccess};
    return kErrorSuccess;
}

int32_t SimRegistry::KeyClose(RegKey key) {
    if (key == kHkeyPerformanceData || state_.Root(key)) return kErrorSuccess;
    return state_.keys.erase(key) ? kErrorSuccess : kErrorInvalidHandle;
}

int32_t SimRegistry::KeyValueCount(RegKey key, uint32_t* count) {
    OpenKey open;
    if (int32_t error = state_.ResolveKey(key, &open)) return error;
    if (!state_.Allows(open, kKeyQueryValue)) return kErrorAccessDenied;
    *count = static_cast<uint32_t>(open.node->values.size());
    return kErrorSuccess;
}

int32_t SimRegistry::KeyEnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameLength) {
    OpenKey open;
    if (int32_t error = state_.ResolveKey(key, &open)) return error;
    if (!state_.Allows(open, kKeyQueryValue)) return kErrorAccessDenied;
    if (index >= open.node->values.size()) return kErrorNoMoreItems;
    const std::string& valueName = open.node->values[index].name;
    if (!name || !nameLength) return kErrorInvalidParameter;
    return AnswerValueName(valueName, name, nameLength);
}

int32_t SimRegistry::KeyQueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                                   uint32_t* size) {
    const std::vector<uint8_t>* bytes = nullptr;
    uint32_t valueType = kRegBinary;
    std::vector<uint8_t> performance;
    if (key == kHkeyPerformanceData) {
        performance = state_.performanceDataScripted ? state_.performanceData
                                                     : BuildPerformanceData(state_, name ? name : "");
        bytes = &performance;
    } else {
        OpenKey open;
        if (int32_t error = state_.ResolveKey(key, &open)) return error;
        if (!state_.Allows(open, kKeyQueryValue)) return kErrorAccessDenied;
        RegValue* value = open.node->Value(name ? name : "");
        if (!value) return kErrorFileNotFound;
        bytes = &value->data;
        valueType = value->type;
    }
    if (data && !size) return kErrorInvalidParameter;
    uint32_t length = static_cast<uint32_t>(bytes->size());
    uint32_t given = size ? *size : 0;
    int32_t answer = AnswerValueData(bytes->data(), length, valueType, type, data, size);
    // The performance data never tell the size they need: what they leave
    // in the size is not defined.
    if (answer == kErrorMoreData && key == kHkeyPerformanceData)
        *size = state_.performanceSizeScripted ? state_.performanceSizeOnMoreData : given;
    return answer;
}

int32_t SimRegistry::KeySetValue(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                                 uint32_t size) {
    if (state_.Injected(FaultKind::RegistrySet)) return kErrorAccessDenied;
    OpenKey open;
    if (int32_t error = state_.ResolveKey(key, &open)) return error;
    if (!state_.Allows(open, kKeySetValue)) return kErrorAccessDenied;
    std::vector<uint8_t> bytes;
    if (data && size) bytes.assign(data, data + size);
    StoreValue(open.node.get(), name ? name : "", type, bytes);
    return kErrorSuccess;
}

int32_t SimRegistry::KeyDeleteValue(RegKey key, const char* name) {
    if (state_.Injected(FaultKind::RegistryDelete)) return kErrorAccessDenied;
    OpenKey open;
    if (int32_t error = state_.ResolveKey(key, &open)) return error;
    if (!state_.Allows(open, kKeySetValue)) return kErrorAccessDenied;
    auto& values = open.node->values;
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (SameTextIgnoringCase(it->name, name ? name : "")) {
            values.erase(it);  // later values move up one index, as on Windows
            return kErrorSuccess;
        }
    }
    return kErrorFileNotFound;
}

int32_t SimRegistry::KeyDelete(RegKey root, const char* subKey) {
    if (state_.Injected(FaultKind::RegistryDelete)) return kErrorAccessDenied;
    OpenKey parent;
    if (int32_t error = state_.ResolveKey(root, &parent)) return error;
    std::vector<std::string> parts = SplitComponents(subKey ? subKey : "");
    if (parts.empty()) return kErrorAccessDenied;
    std::string last = parts.back();
    parts.pop_back();
    std::shared_ptr<RegNode> holder = parent.node;
    for (const std::string& part : parts) {
        holder = holder->Child(part);
        if (!holder) return kErrorFileNotFound;
    }
    auto target = holder->Child(last);
    if (!target) return kErrorFileNotFound;
    // NT refuses a key with sub-keys; the 9x family removes the whole tree.
    bool nineX = state_.version.platformId == 1 && !state_.versionFails;
    if (!target->children.empty() && !nineX) return kErrorAccessDenied;
    MarkDeleted(target.get());
    auto& siblings = holder->children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), target), siblings.end());
    return kErrorSuccess;
}
