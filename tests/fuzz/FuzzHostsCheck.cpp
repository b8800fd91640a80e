// The hosts-file check over any file's bytes. The first 8 input bytes choose
// the action and a second record beside the built-in one (fixed position or
// whole-region search, head or tail, its position, pattern length and size
// rule), the rest is the hosts file. Only files that begin with "begin" may
// match, a match is counted once, and the file is never written.
#include <cstdint>
#include <cstring>
#include <string>

#include "common/Shared.h"
#include "repair/HostsCheck.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

const char kPath[] = "C:\\WINDOWS\\SYSTEM32\\drivers\\etc\\hosts";
const size_t kControlSize = 8;

bool BeginsWithBegin(const uint8_t* bytes, size_t size) {
    static const char kWord[] = "begin";
    if (size < 5) return false;
    for (int i = 0; i < 5; ++i) {
        uint8_t c = bytes[i] >= 'A' && bytes[i] <= 'Z' ? static_cast<uint8_t>(bytes[i] - 'A' + 'a') : bytes[i];
        if (c != kWord[i]) return false;
    }
    return true;
}

void MakeTable(FuzzInput* control, AttachmentRecord* table) {
    table[0] = AttachmentTable[0];
    table[1] = AttachmentTable[0];
    AttachmentRecord& variant = table[1];
    variant.searchMode = static_cast<int16_t>(control->Byte() % 3);  // 1 searches, 0 and 2 compare at position
    variant.region = static_cast<int16_t>(control->Byte() % 4);       // 2 and 3 are no region
    variant.position = static_cast<int16_t>(control->U16());
    variant.patternLength = static_cast<uint16_t>(control->Byte() % 128);  // above 100 is refused
    variant.sizeRule = static_cast<int16_t>(kSizeRuleEqual + control->Byte() % 3);  // equal, near, none
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryDiskSim& sim = FreshFuzzSim();
    UnscramblePatterns();  // only the first call changes the table
    sim.logLines.clear();
    Shared.MainWindowHandle = sim.mainWindow;
    FuzzInput control(data, size < kControlSize ? size : kControlSize);
    uint8_t choice = control.Byte();
    Shared.ActionCode = 100 + choice % 5;  // delete, rename, delete, leave alone, none
    AttachmentRecord table[2];
    MakeTable(&control, table);
    ActiveAttachmentTable = table;
    ActiveAttachmentCount = (choice & 0x40) != 0 ? 2 : 1;

    const uint8_t* file = data + (size < kControlSize ? size : kControlSize);
    size_t fileSize = size - static_cast<size_t>(file - data);
    sim.PutFile(kPath, file, fileSize);
    sim.refuseChanges = (choice & 0x80) != 0;
    int matched = CheckAndCleanEncodedFile(kPath);

    FUZZ_CHECK(sim.OpenCount() == 0);
    FUZZ_CHECK(matched == 0 || matched == 1);
    FUZZ_CHECK(Shared.FilesInfected == matched);
    if (matched) FUZZ_CHECK(BeginsWithBegin(file, fileSize));
    // One line for every outcome of a match but the unknown action; none without.
    bool disposes = matched && Shared.ActionCode <= 102;
    FUZZ_CHECK(sim.logLines.size() == (matched && Shared.ActionCode != 104 ? 1u : 0u));
    FUZZ_CHECK(sim.changes == (disposes ? 1 : 0));
    FUZZ_CHECK(Shared.FilesRemoved + Shared.FilesRenamed <= 1);
    if (sim.refuseChanges) FUZZ_CHECK(Shared.FilesRemoved + Shared.FilesRenamed == 0);
    if (disposes && Shared.ActionCode != 101 && !sim.refuseChanges)
        FUZZ_CHECK(Shared.FilesRemoved == 1 && !sim.Has(kPath));
    // The file itself is never rewritten: it is there as it was, or gone.
    FUZZ_CHECK(!sim.Has(kPath) || sim.Content(kPath) == std::string(reinterpret_cast<const char*>(file), fileSize));

    ActiveAttachmentTable = AttachmentTable;
    ActiveAttachmentCount = kAttachmentTableSize;
    return 0;
}
