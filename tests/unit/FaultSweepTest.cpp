// Whole scans on a machine where one platform call fails: for each kind of
// call, the scan is run once for every call of that kind a clean scan makes,
// with just that call failing. Whatever fails, a file that did not match
// stays as it was, the rename script is the old one or the complete new one,
// only the matching autostart values go, only the infected program's process
// ends, no descriptor stays open, and the statistics block still comes.
//
// The test command runs a sample of the failure points; with
// CORDAFIX_FAULT_SWEEP=full every point is run and the figures are printed
// (tools/fault_sweep.sh).
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/ScanRun.h"
#include "repair/HostsCheck.h"
#include "unit/ScanTestSupport.h"

namespace {

const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunServices[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices";
const char kScript[] = "C:\\WINDOWS\\wininit.ini";
const std::string kOldScript = "[rename]\r\nNUL=C:\\OLD.EXE\r\n[other]\r\nkey=value\r\n";

struct RegistryValue {
    const char* key;
    const char* name;
    const char* data;
    bool matches;  // points at an infected file
};

const RegistryValue kValues[] = {
    {kRun, "BadLoader", "C:\\bad.exe /s", true},
    {kRun, "Good", "C:\\good.exe", false},
    {kRunServices, "RunSvc", "\"C:\\run.exe\"", true},
    {kRunServices, "Other", "C:\\other\\bad.exe", false},
};

struct FileSpec {
    std::string path;
    std::string bytes;
    bool matches;
};

std::string Bytes(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string InfectedHosts() {
    UnscramblePatterns();
    return "begin 644 x.exe\r\n" + std::string(reinterpret_cast<const char*>(AttachmentTable[0].pattern), 100) +
           "\r\nend\r\n";
}

// The machine of one scan: on the 9x family a running infected program, a
// held infected file that goes into the rename script (an existing one or a
// new one), an infected hosts file; on NT the held file goes to the delayed
// deletions.
struct Scenario {
    const char* name;
    bool nineX;
    bool hasScript;  // a rename script is there before the scan

    std::vector<FileSpec> Files() const {
        std::string infected = Bytes(scantest::SampleFile(0)), clean = Bytes(scantest::SampleFile(-1));
        std::vector<FileSpec> files = {
            {"C:\\bad.exe", infected, true},
            {"C:\\held.exe", infected, true},
            {"C:\\good.exe", clean, false},
            {"C:\\notes.txt", "plain text\r\n", false},
            {"C:\\other\\bad.exe", clean, false},
            {nineX ? "C:\\WINDOWS\\hosts" : "C:\\WINDOWS\\SYSTEM32\\drivers\\etc\\hosts", InfectedHosts(), true},
        };
        if (nineX) {
            files.push_back({"C:\\run.exe", infected, true});
            if (hasScript) files.push_back({kScript, kOldScript, false});  // checked on its own
        }
        return files;
    }

    void SetUp(SimPlatform& sim) const {
        sim.AddDrive('C');
        if (nineX) sim.SetVersion(1, 4, 10);
        else sim.SetVersion(2, 5, 1);
        sim.MakeFolder("C:\\WINDOWS\\TEMP");
        for (const FileSpec& file : Files()) sim.WriteFile(file.path, file.bytes);
        for (const RegistryValue& value : kValues)
            sim.SetRegistryText(kHkeyLocalMachine, value.key, value.name, value.data);
        sim.LockFile("C:\\held.exe");
        if (nineX) sim.AddProcess("C:\\run.exe");
        sim.AddProcess("C:\\good.exe");
    }
};

// Runs one scan on a fresh machine, the nth call of kind failing (n = 0:
// none); answers the rule breaks seen, and the calls of each kind made.
struct Outcome {
    std::vector<std::string> violations;
    int calls[static_cast<int>(FaultKind::Count)];
    std::string script;
};

// The old script (or none), or the old one with whole entries for infected
// files added last into its rename section (or a new script of such entries);
// lines copied from an earlier rewrite end in LF.
bool ScriptIsSound(bool exists, const std::string& script, bool hadScript, const std::vector<FileSpec>& files) {
    if (!exists) return !hadScript;
    if (hadScript && script == kOldScript) return true;
    std::string head = "[rename]\r\n", tail;
    if (hadScript) {
        head = "[rename]\nNUL=C:\\OLD.EXE\n";
        tail = "[other]\nkey=value\n";
    } else if (script.compare(0, 9, "[rename]\n") == 0) {
        head = "[rename]\n";
    }
    if (script.size() <= head.size() + tail.size() || script.compare(0, head.size(), head) != 0 ||
        script.compare(script.size() - tail.size(), tail.size(), tail) != 0)
        return false;
    std::string entries = script.substr(head.size(), script.size() - head.size() - tail.size());
    for (size_t at = 0; at < entries.size();) {
        size_t end = entries.find('\n', at);
        if (end == std::string::npos) return false;
        std::string line = entries.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        bool known = false;
        for (const FileSpec& file : files) known = known || (file.matches && line == "NUL=" + file.path);
        if (!known) return false;
        at = end + 1;
    }
    return true;
}

void Check(bool holds, const std::string& what, Outcome* outcome) {
    if (!holds) outcome->violations.push_back(what);
}

void CheckStatistics(const SimPlatform& sim, Outcome* outcome) {
    const std::vector<std::string>& lines = sim.logLines;
    size_t at = 0;
    while (at < lines.size() && lines[at] != "Scanning statistics") ++at;
    Check(at + 5 == lines.size() && lines[at + 2].find("Total files scanned") == 0 &&
              lines[at + 4].find("Total files removed") == 0,
          "no statistics block at the end", outcome);
    Check(!sim.statusTexts.empty() && sim.statusTexts.back() == "Scanning completed", "no final status", outcome);
}

// The program's own memory and repair steps, with the test's detection table.
void UseProgramServices() {
    ActiveSignatureTable = scantest::TestTable();
    ActiveScanServices = ProgramScanServices;
    ActiveFileCheckerList = FileCheckerList;
    memset(ProgramFilesPattern, 0, sizeof ProgramFilesPattern);
    ProgramFilesPending = 0;
    ProgramFilesVisited = 0;
}

Outcome RunScan(const Scenario& scenario, FaultKind kind, int n) {
    ClearProcessState();
    UseProgramServices();
    std::unique_ptr<SimPlatform> owned(new SimPlatform);
    SimPlatform& sim = *owned;
    InstallPlatform(sim.Parts());
    MainWindowHandle = sim.mainWindow;
    scenario.SetUp(sim);
    sim.FailNth(kind, n);
    strcpy(ScanTarget, "!:");
    ActionCode = 100;

    ScanRun();

    Outcome outcome;
    for (int k = 0; k < static_cast<int>(FaultKind::Count); ++k) outcome.calls[k] = sim.CallCount(FaultKind(k));
    for (const FileSpec& file : scenario.Files()) {
        if (file.matches || file.path == kScript) continue;
        Check(sim.Exists(file.path) && sim.ReadFile(file.path) == file.bytes, file.path + " changed or gone",
              &outcome);
    }
    if (scenario.nineX) {
        outcome.script = sim.ReadFile(kScript);
        Check(ScriptIsSound(sim.Exists(kScript), outcome.script, scenario.hasScript, scenario.Files()),
              "the rename script is neither the old one nor the old one with whole entries", &outcome);
    }
    for (const RegistryValue& value : kValues)
        if (!value.matches)
            Check(sim.HasRegistryValue(kHkeyLocalMachine, value.key, value.name),
                  std::string("the value ") + value.name + " is gone", &outcome);
    Check(sim.RegistryValueNames(kHkeyLocalMachine, kRun).size() + sim.RegistryValueNames(kHkeyLocalMachine, kRunServices).size() <= 4,
          "registry values were added", &outcome);
    for (uint32_t id : sim.terminated)
        Check(id == 8 && scenario.nineX, "a process of a clean file was ended", &outcome);
    Check(sim.OpenDescriptorCount() == 0, "a descriptor stays open", &outcome);
    uint64_t slept = 0;
    for (uint32_t ms : sim.sleeps) slept += ms;
    Check(slept < 60000, "the scan waited a minute or more", &outcome);
    CheckStatistics(sim, &outcome);
    ClearProcessState();
    return outcome;
}

struct Figures {
    int runs = 0;
    int points = 0;
    int violations = 0;
};

// Sweeps every kind; a stride above 1 takes every stride-th call (the first
// and the last always).
Figures Sweep(const Scenario& scenario, int stride, bool print) {
    Figures figures;
    Outcome clean = RunScan(scenario, FaultKind::Open, 0);
    EXPECT_TRUE(clean.violations.empty()) << "without faults: " << clean.violations[0];
    // The held file's entry goes last into the rename section; copied lines end in LF.
    if (scenario.nineX) {
        EXPECT_EQ(scenario.hasScript ? "[rename]\nNUL=C:\\OLD.EXE\nNUL=C:\\held.exe\r\n[other]\nkey=value\n"
                                     : "[rename]\r\nNUL=C:\\held.exe\r\n",
                  clean.script);
    }
    ++figures.runs;
    for (int k = 0; k < static_cast<int>(FaultKind::Count); ++k) {
        FaultKind kind = FaultKind(k);
        int total = clean.calls[k], broken = 0;
        for (int n = 1; n <= total; ++n) {
            if (stride > 1 && n != total && (n - 1) % stride != 0) continue;
            Outcome outcome = RunScan(scenario, kind, n);
            ++figures.runs;
            ++figures.points;
            for (const std::string& violation : outcome.violations) {
                ADD_FAILURE() << FaultKindName(kind) << " call " << n << " of " << total << " failing: " << violation;
                ++broken;
            }
        }
        figures.violations += broken;
        if (print) printf("  %-16s calls %4d  violations %d\n", FaultKindName(kind), total, broken);
    }
    return figures;
}

bool FullSweep() {
    const char* mode = getenv("CORDAFIX_FAULT_SWEEP");
    return mode != nullptr && std::string(mode) == "full";
}

class FaultSweepTest : public ::testing::TestWithParam<Scenario> {
protected:
    void TearDown() override {
        ActiveSignatureTable = SignatureTable;
        ActiveScanServices = ProgramScanServices;
        ActiveFileCheckerList = FileCheckerList;
        ClearProcessState();
    }
};

TEST_P(FaultSweepTest, EveryFailingCallLeavesTheMachineSound) {
    const Scenario& scenario = GetParam();
    bool full = FullSweep();
    if (full) printf("%s scan:\n", scenario.name);
    Figures figures = Sweep(scenario, full ? 1 : 7, full);
    printf("%s fault sweep: runs %d, failure points %d, violations %d\n", scenario.name,
           figures.runs, figures.points, figures.violations);
    EXPECT_GT(figures.points, 20);
}

// The leave-alone action (/nofix) finds each infected file once and changes
// nothing: no write, delete, move, copy, attribute or registry change, no
// program ended (an infected one runs) and no end after the memory pass.
TEST_P(FaultSweepTest, LeavingInfectedFilesAloneChangesNothing) {
    UseProgramServices();
    std::unique_ptr<SimPlatform> sim(new SimPlatform);
    InstallPlatform(sim->Parts());
    MainWindowHandle = sim->mainWindow;
    GetParam().SetUp(*sim);
    sim->AddProcess("C:\\bad.exe");
    strcpy(ScanTarget, "!:");
    ActionCode = kActionLeave;
    ScanRun();
    for (FaultKind kind : {FaultKind::Write, FaultKind::Delete, FaultKind::Move, FaultKind::Copy,
                           FaultKind::AttributeSet, FaultKind::RegistrySet, FaultKind::RegistryDelete})
        EXPECT_EQ(0, sim->CallCount(kind)) << FaultKindName(kind);
    EXPECT_TRUE(sim->terminated.empty() && sim->endedWith == -1 && FilesRemoved == 0);
    int infected = 0;
    for (const FileSpec& file : GetParam().Files()) infected += file.matches ? 1 : 0;
    EXPECT_EQ(infected, FilesInfected);
}

INSTANTIATE_TEST_SUITE_P(Machines, FaultSweepTest,
                         ::testing::Values(Scenario{"NineX", true, true}, Scenario{"NineXWithoutScript", true, false},
                                           Scenario{"Nt", false, false}),
                         [](const ::testing::TestParamInfo<Scenario>& machine) { return std::string(machine.param.name); });

}  // namespace
