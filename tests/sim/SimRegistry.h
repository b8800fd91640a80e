// The simulated registry: an in-memory tree per root, with NT's access
// checks and key-deletion rules (the 9x family's where the version says so),
// and a scripted performance-data answer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace simdetail {
struct SimState;
}

class SimRegistry : public Registry {
public:
    explicit SimRegistry(simdetail::SimState& state);

    // --- set-up and inspection used by the tests ------------------------------
    // Keys are created on the way. SetRegistryText stores the text with its
    // terminating zero for string types (REG_SZ, REG_EXPAND_SZ; two zeros for
    // REG_MULTI_SZ) and exactly the text's bytes for any other type.
    void SetRegistryText(RegKey root, const std::string& keyPath, const std::string& name,
                         const std::string& text, uint32_t type = kRegSz);
    void SetRegistryBytes(RegKey root, const std::string& keyPath, const std::string& name,
                          const std::vector<uint8_t>& bytes, uint32_t type = kRegBinary);
    bool HasRegistryValue(RegKey root, const std::string& keyPath, const std::string& name) const;
    bool HasRegistryKey(RegKey root, const std::string& keyPath) const;
    std::vector<std::string> RegistryValueNames(RegKey root, const std::string& keyPath) const;
    // Performance data (HKEY_PERFORMANCE_DATA) answered as this raw block.
    // Without one, the process table is answered in the system's layout.
    void SetPerformanceData(const std::vector<uint8_t>& block);
    // Writes Perflib\009's "Counters" list, whose indexes the performance data
    // uses: the process object is 230 and its ID Process counter 784.
    void PublishCounterNames();
    // The performance data the process table gives for the process object now.
    std::vector<uint8_t> PerformanceDataBlock() const;
    // Every ERROR_MORE_DATA answer of the performance data leaves this in the
    // size argument (Windows leaves no defined value there; by default the sim
    // leaves the size passed in).
    void SetPerformanceSizeOnMoreData(uint32_t size);

    // --- Registry -----------------------------------------------------------
    int32_t KeyOpen(RegKey root, const char* subKey, uint32_t access, RegKey* key) override;
    int32_t KeyCreate(RegKey root, const char* subKey, RegKey* key) override;
    int32_t KeyClose(RegKey key) override;
    int32_t KeyValueCount(RegKey key, uint32_t* count) override;
    int32_t KeyEnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameLength) override;
    int32_t KeyQueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                          uint32_t* size) override;
    int32_t KeySetValue(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                        uint32_t size) override;
    int32_t KeyDeleteValue(RegKey key, const char* name) override;
    int32_t KeyDelete(RegKey root, const char* subKey) override;

private:
    simdetail::SimState& state_;
};
