// The restart-time rename script rewrite over any existing script: the input
// is the script's whole content (an empty input: no script at all). Adding an
// entry must succeed and leave no work files behind, and the new script must
// be the old one with the entry at the start of a line: every old byte in its
// order (0x1A and NUL are bytes like any other), only CR LF read as LF, and at
// the end a line end and a rename header added where they were missing.
#include <cstdint>
#include <string>

#include "common/Shared.h"
#include "repair/RestartDelete.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

const char kScript[] = "C:\\WINDOWS\\wininit.ini";
const char kSource[] = "C:\\PROGRA~1\\DROVAK~1.EXE";
const char kEntry[] = "NUL=C:\\PROGRA~1\\DROVAK~1.EXE\r\n";

// The old script as the rewrite copies it.
std::string AsCopied(const std::string& old) {
    std::string copied;
    for (size_t i = 0; i < old.size(); ++i)
        if (!(old[i] == '\r' && i + 1 < old.size() && old[i + 1] == '\n')) copied += old[i];
    return copied;
}

bool KeepsEveryByte(const std::string& script, const std::string& old) {
    const std::string copied = AsCopied(old);
    const std::string entry = kEntry;
    const std::string closed = copied.empty() || copied.back() == '\n' ? copied : copied + "\r\n";
    for (size_t at = script.find(entry); at != std::string::npos; at = script.find(entry, at + 1)) {
        if (at != 0 && script[at - 1] != '\n') continue;
        std::string before = script.substr(0, at), after = script.substr(at + entry.size());
        if (before + after == copied) return true;
        if (after.empty() && (before == closed || before == closed + "[rename]\r\n")) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryDiskSim& sim = FreshFuzzSim();
    sim.SetVersion(1, 4, 10);  // a 9x system, which keeps the script
    if (size > 0) sim.PutFile(kScript, data, size);

    FUZZ_CHECK(AddRenameScriptEntry("NUL", kSource));
    std::string script = sim.Content(kScript);
    FUZZ_CHECK(KeepsEveryByte(script, std::string(reinterpret_cast<const char*>(data), size)));
    FUZZ_CHECK(!sim.Has("C:\\WINDOWS\\wininit.$$n") && !sim.Has("C:\\WINDOWS\\wininit.$$o"));
    FUZZ_CHECK(sim.OpenCount() == 0);
    return 0;
}
