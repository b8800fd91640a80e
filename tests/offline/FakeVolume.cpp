#include "offline/FakeVolume.h"

#include <hivex.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "offline/EmptyHive.h"
#include "platform/host/WindowsNames.h"

namespace fs = std::filesystem;

namespace {

// The node at keyPath, made on the way when create is set; 0 when missing.
hive_node_h Walk(hive_h* hive, const std::string& keyPath, bool create) {
    hive_node_h node = hivex_root(hive);
    for (const std::string& part : SplitNames(keyPath, "\\")) {
        hive_node_h child = hivex_node_get_child(hive, node, part.c_str());
        if (child == 0 && create) child = hivex_node_add_child(hive, node, part.c_str());
        if (child == 0) return 0;
        node = child;
    }
    return node;
}

// UTF-8 text (up to three-byte sequences) as the UTF-16LE of NT hives, zero-ended.
std::string Utf16(const std::string& text) {
    std::string wide;
    for (size_t i = 0; i <= text.size(); ++i) {
        unsigned code = static_cast<unsigned char>(i < text.size() ? text[i] : 0);
        int extra = code >= 0xE0 ? 2 : code >= 0xC0 ? 1 : 0;
        code &= extra == 2 ? 0x0F : extra == 1 ? 0x1F : 0xFF;
        for (int k = 0; k < extra && i + 1 < text.size(); ++k) code = (code << 6) | (text[++i] & 0x3F);
        wide += static_cast<char>(code & 0xFF);
        wide += static_cast<char>(code >> 8);
    }
    return wide;
}

bool Change(const std::string& path, const std::string& keyPath, const hive_set_value* value) {
    hive_h* hive = hivex_open(path.c_str(), HIVEX_OPEN_WRITE);
    if (hive == nullptr) return false;
    hive_node_h node = Walk(hive, keyPath, true);
    bool ok = node != 0 && (value == nullptr || hivex_node_set_value(hive, node, value, 0) == 0) &&
              hivex_commit(hive, nullptr, 0) == 0;
    hivex_close(hive);
    return ok;
}

}  // namespace

FakeVolume::FakeVolume(const std::string& configFolder) : configFolder_(configFolder) {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/cordafix-volume-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data())) root_ = buffer.data();
    Populate();
}

FakeVolume::FakeVolume(const std::string& root, const std::string& configFolder)
    : root_(root), configFolder_(configFolder), owned_(false) {
    Populate();
}

void FakeVolume::Populate() {
    fs::create_directories(Host(configFolder_));
    WriteEmptyHive(HivePath("SOFTWARE"));
    WriteEmptyHive(HivePath("SYSTEM"));
}

FakeVolume::~FakeVolume() {
    std::error_code ignored;
    if (owned_ && !root_.empty()) fs::remove_all(root_, ignored);
}

bool FakeVolume::WriteFile(const std::string& relative, const std::string& text) {
    return WriteFile(relative, std::vector<uint8_t>(text.begin(), text.end()));
}

bool FakeVolume::WriteFile(const std::string& relative, const std::vector<uint8_t>& bytes) {
    std::error_code ignored;
    fs::create_directories(fs::path(Host(relative)).parent_path(), ignored);
    FILE* file = fopen(Host(relative).c_str(), "wb");
    if (file == nullptr) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && ok;
}

bool FakeVolume::Exists(const std::string& relative) const {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(Host(relative), ignored));
}

bool FakeVolume::SetText(const char* hive, const std::string& keyPath, const std::string& name,
                         const std::string& text, int type) {
    std::string data = Utf16(text);
    hive_set_value value = {const_cast<char*>(name.c_str()), static_cast<hive_type>(type), data.size(), &data[0]};
    return Change(HivePath(hive), keyPath, &value);
}

bool FakeVolume::SetDword(const char* hive, const std::string& keyPath, const std::string& name, uint32_t number) {
    char data[4] = {static_cast<char>(number), static_cast<char>(number >> 8), static_cast<char>(number >> 16),
                    static_cast<char>(number >> 24)};
    hive_set_value value = {const_cast<char*>(name.c_str()), hive_t_REG_DWORD, sizeof data, data};
    return Change(HivePath(hive), keyPath, &value);
}

bool FakeVolume::AddKey(const char* hive, const std::string& keyPath) {
    return Change(HivePath(hive), keyPath, nullptr);
}

bool FakeVolume::HasKey(const char* hive, const std::string& keyPath) const {
    hive_h* handle = hivex_open(HivePath(hive).c_str(), 0);
    if (handle == nullptr) return false;
    bool found = Walk(handle, keyPath, false) != 0;
    hivex_close(handle);
    return found;
}

bool FakeVolume::HasValue(const char* hive, const std::string& keyPath, const std::string& name) const {
    hive_h* handle = hivex_open(HivePath(hive).c_str(), 0);
    if (handle == nullptr) return false;
    hive_node_h node = Walk(handle, keyPath, false);
    bool found = node != 0 && hivex_node_get_value(handle, node, name.c_str()) != 0;
    hivex_close(handle);
    return found;
}

uint64_t HashFile(const std::string& path) {
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) return 0;
    uint64_t hash = 1469598103934665603ull;
    int c;
    while ((c = fgetc(file)) != EOF) hash = (hash ^ static_cast<uint8_t>(c)) * 1099511628211ull;
    fclose(file);
    return hash;
}

std::map<std::string, uint64_t> FakeVolume::Hashes() const {
    std::map<std::string, uint64_t> hashes;
    for (const auto& entry : fs::recursive_directory_iterator(root_)) {
        if (!entry.is_regular_file()) continue;
        hashes[fs::relative(entry.path(), root_).string()] = HashFile(entry.path().string());
    }
    return hashes;
}
