// The restart-time rename script rewrite over any existing script: the input
// is the script's whole content (an empty input: no script at all). Adding an
// entry must succeed, leave the entry in the script and no work files behind.
#include <cstdint>
#include <string>

#include "common/Shared.h"
#include "repair/RestartDelete.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

const char kScript[] = "C:\\WINDOWS\\wininit.ini";
const char kSource[] = "C:\\PROGRA~1\\DROVAK~1.EXE";
const char kEntry[] = "NUL=C:\\PROGRA~1\\DROVAK~1.EXE\r\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryDiskSim& sim = FuzzSim();
    sim.SetVersion(1, 4, 10);  // a 9x system, which keeps the script
    ClearProcessState();
    sim.Clear();
    if (size > 0) sim.PutFile(kScript, data, size);

    FUZZ_CHECK(AddRenameScriptEntry("NUL", kSource));
    std::string script = sim.Content(kScript);
    FUZZ_CHECK(script.find(kEntry) != std::string::npos);
    FUZZ_CHECK(!sim.Has("C:\\WINDOWS\\wininit.$$n") && !sim.Has("C:\\WINDOWS\\wininit.$$o"));
    FUZZ_CHECK(sim.OpenCount() == 0);
    return 0;
}
