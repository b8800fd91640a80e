// The autostart cleanup over any Run and RunServices values: the input gives
// the infected file's path, the remembered value name, four environment
// variables, and then values one after another (key, type, name of up to
// 16,400 characters, data of up to 4,000 bytes). After the repair step only
// values that could launch the file (their data, or their data with the
// variables expanded, hold the file's name) or that carry the remembered name
// may be gone, and each one gone has its log line.
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/Shared.h"
#include "repair/Autostart.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

const char* const kKeys[] = {kRunKeyPath, kRunServicesKeyPath};
const char* const kVariables[] = {"SystemRoot", "windir", "ProgramFiles", "A"};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

struct Value {
    int key;
    std::string name;
    std::string data;
};

// The data as the cleanup reads them: text up to the first zero byte.
std::string AsText(const std::vector<uint8_t>& bytes) {
    std::string text(bytes.begin(), bytes.end());
    return text.c_str();
}

std::string Expanded(const std::string& text) {
    uint32_t needed = FuzzSim().ExpandEnvironment(text.c_str(), nullptr, 0);
    std::vector<char> buffer(needed + 1, '\0');
    FuzzSim().ExpandEnvironment(text.c_str(), buffer.data(), needed);
    return buffer.data();
}

// Values are read back, not taken from the input: a later value of the same
// name replaces an earlier one.
std::vector<Value> Values() {
    std::vector<Value> values;
    for (int key = 0; key < 2; ++key) {
        RegKey handle;
        if (FuzzSim().KeyOpen(kHkeyLocalMachine, kKeys[key], kKeyRead, &handle) != kErrorSuccess) continue;
        for (const std::string& name : FuzzSim().RegistryValueNames(kHkeyLocalMachine, kKeys[key])) {
            uint32_t type = 0, size = 0;
            FuzzSim().KeyQueryValue(handle, name.c_str(), &type, nullptr, &size);
            std::vector<uint8_t> data(size);
            FuzzSim().KeyQueryValue(handle, name.c_str(), &type, data.data(), &size);
            values.push_back({key, name, AsText(data)});
        }
        FuzzSim().KeyClose(handle);
    }
    return values;
}

bool StillThere(const Value& value) {
    return FuzzSim().HasRegistryValue(kHkeyLocalMachine, kKeys[value.key], value.name);
}

bool MayLaunch(const Value& value, const std::string& fileName) {
    if (fileName.empty()) return false;
    return Lower(value.data).find(fileName) != std::string::npos ||
           Lower(Expanded(value.data)).find(fileName) != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryDiskSim& sim = FuzzSim();
    ClearProcessState();
    sim.logLines.clear();
    Shared.MainWindowHandle = sim.mainWindow;
    for (const char* key : kKeys) sim.KeyDelete(kHkeyLocalMachine, key);

    FuzzInput input(data, size);
    std::string path = input.Text(sizeof Shared.CurrentFilePath - 1);
    memcpy(Shared.CurrentFilePath, path.c_str(), strlen(path.c_str()));
    size_t rememberedSize = sizeof Shared.RememberedRunValue;
    CopyText(Shared.RememberedRunValue, rememberedSize, input.Text(rememberedSize - 1).c_str());
    for (const char* variable : kVariables) sim.SetEnvironment(variable, input.Text(300).c_str());
    while (!input.Empty()) {
        int key = input.Byte() & 1;
        uint32_t type = input.Byte();
        std::string name = input.Text(16400).c_str();  // the ANSI calls take names up to a zero
        std::string bytes = input.Text(4000);
        sim.SetRegistryBytes(kHkeyLocalMachine, kKeys[key], name, std::vector<uint8_t>(bytes.begin(), bytes.end()),
                             type);
    }

    std::vector<Value> before = Values();
    std::string lowerPath = Lower(Shared.CurrentFilePath);
    size_t slash = lowerPath.rfind('\\');
    std::string fileName = slash == std::string::npos ? "" : lowerPath.substr(slash + 1);
    std::string remembered = Lower(Shared.RememberedRunValue);

    RepairAfterDetection("W32/Drovak.Zg.Trojan");

    size_t gone = 0;
    for (const Value& value : before) {
        if (StillThere(value)) continue;
        ++gone;
        bool rememberedName = !remembered.empty() && Lower(value.name) == remembered;
        // A launching value goes whatever the length of its name.
        FUZZ_CHECK(rememberedName || MayLaunch(value, fileName));
    }
    FUZZ_CHECK(sim.logLines.size() == gone);
    FUZZ_CHECK(sim.OpenCount() == 0 && sim.changes == 0);
    return 0;
}
