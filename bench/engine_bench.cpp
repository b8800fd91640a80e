// The engine's scan of a host folder, timed: the folder is drive D: of the
// simulated Windows and the scan run walks every fixed drive, as the program
// does after SCAN, with the action "leave alone" so the samples stay.
//
//   bench_engine DIR REPEATS [FOUND]
//
// Prints "files=N seconds=S infected=I lines=L statuses=T" for the fastest of
// REPEATS runs; FOUND, when given, receives the path of each detection of the
// last run (host paths, one a line).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/Shared.h"
#include "engine/ScanRun.h"
#include "engine/ScanServices.h"
#include "platform/sim/SimPlatform.h"

namespace {

const int32_t kActionLeaveAlone = 103;
const char kLeftAloneSuffix[] = " not disinfected as per user's selection";

// A main window that takes every line and status text and only counts them,
// so the run costs what the engine costs, not what a list of strings costs.
class CountingSim : public SimPlatform {
public:
    long lines = 0;
    long statuses = 0;
    FILE* found = nullptr;

    intptr_t SendToWindow(uintptr_t window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        if (window != mainWindow) return SimPlatform::SendToWindow(window, message, wParam, lParam);
        if (message == kWmSetRedraw) {
            ++lines;
            if (found != nullptr) NoteDetection();
        } else if (message == kWmEnable) {
            ++statuses;
        }
        return 0;
    }

private:
    // A detection line is "<path>     <name> not disinfected as per user's selection".
    void NoteDetection() {
        if (strstr(LogLine, kLeftAloneSuffix) == nullptr) return;
        const char* gap = strstr(LogLine, "     ");
        if (gap == nullptr) return;
        std::string windowsPath(LogLine, static_cast<size_t>(gap - LogLine));
        fprintf(found, "%s\n", HostPath(windowsPath).c_str());
    }
};

void NoMemoryPass() {}
int NoRestart() { return 0; }

double TimedScan(CountingSim* sim) {
    ClearProcessState();
    sim->lines = sim->statuses = 0;
    CopyText(ScanTarget, sizeof ScanTarget, "!:");
    MainWindowHandle = sim->mainWindow;
    ActionCode = kActionLeaveAlone;
    auto start = std::chrono::steady_clock::now();
    ScanRun();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        fprintf(stderr, "usage: %s DIR REPEATS [FOUND]\n", argv[0]);
        return 2;
    }
    int repeats = atoi(argv[2]);
    if (repeats < 1) repeats = 1;

    CountingSim sim;
    sim.MapDrive('D', argv[1]);
    sim.SetVersion(2, 5, 1);  // an NT 5.1 system: the platform the program is mostly run on
    InstallPlatform(&sim);
    // The bench times the file scan; the memory pass has no processes to look
    // at on the simulated Windows, and nothing here may restart anything.
    ActiveScanServices = ProgramScanServices;
    ActiveScanServices.runMemoryPass = NoMemoryPass;
    ActiveScanServices.restartMachine = NoRestart;

    double best = -1;
    for (int run = 0; run < repeats; ++run) {
        if (run == repeats - 1 && argc == 4) {
            sim.found = fopen(argv[3], "w");
            if (sim.found == nullptr) {
                perror(argv[3]);
                return 1;
            }
        }
        double seconds = TimedScan(&sim);
        if (best < 0 || seconds < best) best = seconds;
    }
    if (sim.found != nullptr) fclose(sim.found);
    printf("files=%d seconds=%.6f infected=%d lines=%ld statuses=%ld\n", FilesScanned, best, FilesInfected,
           sim.lines, sim.statuses);
    return 0;
}
