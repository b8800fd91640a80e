// A Windows system volume in a temporary folder, as a rescue system would
// mount it: folders, files, and the SOFTWARE and SYSTEM hives, filled and
// read back through hivex.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class FakeVolume {
public:
    // configFolder: the hives' folder as named on the disk.
    explicit FakeVolume(const std::string& configFolder = "Windows/System32/config");
    // The same in a folder that exists already (a mounted image), left in place at the end.
    FakeVolume(const std::string& root, const std::string& configFolder);
    ~FakeVolume();
    FakeVolume(const FakeVolume&) = delete;
    FakeVolume& operator=(const FakeVolume&) = delete;

    const std::string& Root() const { return root_; }
    std::string Host(const std::string& relative) const { return root_ + "/" + relative; }
    std::string HivePath(const char* name) const { return Host(configFolder_ + "/" + name); }

    bool WriteFile(const std::string& relative, const std::vector<uint8_t>& bytes);
    bool WriteFile(const std::string& relative, const std::string& text);
    bool Exists(const std::string& relative) const;

    // Registry (hive "SOFTWARE" or "SYSTEM", key path below its root).
    bool SetText(const char* hive, const std::string& keyPath, const std::string& name, const std::string& text,
                 int type = 1);
    bool SetDword(const char* hive, const std::string& keyPath, const std::string& name, uint32_t value);
    bool AddKey(const char* hive, const std::string& keyPath);
    bool HasKey(const char* hive, const std::string& keyPath) const;
    bool HasValue(const char* hive, const std::string& keyPath, const std::string& name) const;

    // A hash of every file below the root, by relative path.
    std::map<std::string, uint64_t> Hashes() const;

private:
    void Populate();

    std::string root_;
    std::string configFolder_;
    bool owned_ = true;
};

// FNV-1a of a file's bytes; 0 for a file that cannot be read.
uint64_t HashFile(const std::string& path);
