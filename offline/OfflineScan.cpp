#include "offline/OfflineScan.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/Shared.h"
#include "engine/ScanRun.h"
#include "engine/ScanServices.h"
#include "engine/WalkTree.h"
#include "offline/OfflineConsole.h"
#include "offline/OfflineReport.h"
#include "offline/OfflineVolume.h"
#include "platform/offline/OfflinePlatform.h"
#include "repair/Autostart.h"
#include "repair/ServiceKeys.h"

namespace {

const char* const kHiveNames[] = {"SOFTWARE", "SYSTEM"};
const char kNothingChanged[] = "; nothing was changed";

typedef std::vector<std::unique_ptr<OfflineHive>> Hives;

// The service registered under an infected program's name: its file name
// without folder and extension (abc for C:\Windows\System32\abc.exe).
void ServiceNameOf(const char* path, char* name, size_t size) {
    const char* slash = strrchr(path, '\\');
    CopyText(name, size, slash ? slash + 1 : path);
    char* dot = strrchr(name, '.');
    if (dot != nullptr) *dot = '\0';
}

// After every detection: the program's repairs, and then the service keys
// named after the file. On a running system the memory pass removes those
// keys when it cannot stop the service; here nothing runs, so every
// detection gets them removed.
int RepairOfflineDetection(const char* detectionName) {
    char service[kPathSize + 1];
    ServiceNameOf(CurrentFilePath, service, sizeof service);
    RepairAfterDetection(detectionName);
    if (service[0] != '\0') RemoveServiceKeys(service);
    return 1;
}

// No process runs from a volume that is not running.
void NoMemoryPass() {}
int NoProcessToTerminate(const char*) { return 0; }

ScanServices OfflineScanServices() {
    ScanServices services = ProgramScanServices;
    services.runMemoryPass = NoMemoryPass;
    services.killProcessOfFile = NoProcessToTerminate;
    services.repairAfterDetection = RepairOfflineDetection;
    return services;
}

bool MapDrives(const OfflineOptions& options, OfflinePlatform& platform, OfflineConsole& console) {
    std::string error;
    if (!platform.files.MapDrive('C', options.volume, &error)) {
        console.Warn(error + kNothingChanged);
        return false;
    }
    for (const auto& drive : options.drives) {
        if (!platform.files.MapDrive(drive.first, drive.second, &error)) {
            console.Warn(error + kNothingChanged);
            return false;
        }
    }
    return true;
}

bool CheckVolume(const OfflineOptions& options, OfflinePlatform& platform, OfflineConsole& console,
                 VolumeLayout* layout, bool* hasRegistry) {
    *hasRegistry = InspectVolume(platform.files, layout);
    if (layout->nineX) {
        console.Warn(options.volume + " holds Windows 95, 98 or Me, whose registry (SYSTEM.DAT, USER.DAT) is of "
                     "another format: this tool cleans volumes of the NT family only" + kNothingChanged);
        return false;
    }
    if (!*hasRegistry && !options.force) {
        console.Warn(options.volume + " has no Windows\\System32\\config folder: not a Windows system volume "
                     "(--force scans it all the same, without registry repair)" + kNothingChanged);
        return false;
    }
    if (!*hasRegistry) console.Warn("no registry on " + options.volume + ": autostart values and services are not repaired");
    platform.files.SetWindowsDirectory(layout->windowsPath);
    platform.files.SetSystemDirectory(layout->systemPath);
    return true;
}

bool OpenHives(const OfflineOptions& options, const VolumeLayout& layout, OfflinePlatform& platform,
               OfflineConsole& console, Hives* hives) {
    for (const char* name : kHiveNames) {
        std::string path = platform.files.HostPath(layout.systemPath + "\\config\\" + name);
        hives->push_back(std::unique_ptr<OfflineHive>(new OfflineHive(name, path, options.dryRun)));
        std::string error;
        if (!hives->back()->Open(&error)) {
            console.Warn(error + kNothingChanged);
            return false;
        }
        if (!hives->back()->CanWriteBeside(&error)) {
            console.Warn(error + kNothingChanged + " (--dry-run reads the volume without changing it)");
            return false;
        }
        platform.registry.Mount(hives->back().get());
    }
    return true;
}

void StartProcessState() {
    ClearProcessState();
    ProgramFilesPending = 0;
    ProgramFilesVisited = 0;
    CopyText(ScanTarget, sizeof ScanTarget, kEveryFixedDrive);
    ActionCode = kActionDelete;
    MainWindowHandle = OfflineSession::kMainWindow;
}

void SayHeader(const OfflineOptions& options, const VolumeLayout& layout, const Hives& hives,
               OfflineConsole& console) {
    console.Say("%s", OfflineVersionLine().c_str());
    console.Say("C: %s (Windows folder %s)", options.volume.c_str(), layout.windowsPath.c_str());
    for (const auto& drive : options.drives) console.Say("%c: %s", drive.first, drive.second.c_str());
    for (const auto& hive : hives)
        console.Say("Registry hive %s: %s (%s)", hive->Name().c_str(), hive->Path().c_str(),
                    HiveStateText(hive->State()).c_str());
    if (options.dryRun) console.Say("Dry run: nothing is changed; \"removed\" below means \"would be removed\".");
}

bool SomethingWritten(const OfflineRegistry& registry) {
    for (const auto& change : registry.Changes())
        if (change.written) return true;
    return false;
}

bool SomethingNotWritten(const OfflineRegistry& registry) {
    for (const auto& change : registry.Changes())
        if (!change.written) return true;
    return false;
}

int ExitStatusOf(const OfflineOptions& options, const OfflinePlatform& platform, const std::string& vanished) {
    if (ScanCancelled != 0) return kExitInterrupted;
    bool changed = !options.dryRun && (FilesRemoved + FilesRenamed > 0 || SomethingWritten(platform.registry));
    if (!vanished.empty()) return changed ? kExitSomethingLeft : kExitCouldNotRun;
    if (FilesInfected == 0) return kExitNothingFound;
    if (options.dryRun) return kExitSomethingLeft;
    bool left = FilesRemoved + FilesRenamed < FilesInfected || SomethingNotWritten(platform.registry);
    return left ? kExitSomethingLeft : kExitAllRemoved;
}

void SayRegistryChanges(const OfflineOptions& options, const OfflinePlatform& platform, const Hives& hives,
                        OfflineConsole& console) {
    const char* removed = options.dryRun ? "would be removed" : "removed";
    for (const auto& change : platform.registry.Changes()) {
        if (!change.written)
            console.Warn("not written: " + change.key + (change.isKey ? "" : " value \"" + change.value + "\"") +
                         ": " + change.error);
        else if (change.isKey)
            console.Say("Registry key %s: %s", removed, change.key.c_str());
        else
            console.Say("Registry value %s: %s \"%s\"", removed, change.key.c_str(), change.value.c_str());
    }
    for (const auto& hive : hives)
        if (!hive->BackupPath().empty()) console.Say("Original hive kept as %s", hive->BackupPath().c_str());
}

const char* Meaning(int status) {
    switch (status) {
        case kExitNothingFound: return "nothing found";
        case kExitAllRemoved: return "everything found was removed";
        case kExitSomethingLeft: return "something found was left";
        case kExitInterrupted: return "interrupted";
        default: return "the scan could not be completed";
    }
}

void WriteReport(const OfflineOptions& options, const OfflinePlatform& platform, const Hives& hives,
                 const std::string& vanished, int status, OfflineConsole& console) {
    OfflineReport report;
    report.volume = options.volume;
    report.drives.push_back({'C', options.volume});
    for (const auto& drive : options.drives) report.drives.push_back(drive);
    report.dryRun = options.dryRun;
    report.action = "delete";
    report.detections = console.Detections();
    report.registryChanges = platform.registry.Changes();
    for (const auto& hive : hives) {
        HiveOutcome outcome = {hive->Name(), hive->Path(), hive->State()};
        report.hives.push_back(outcome);
        if (!hive->BackupPath().empty()) report.hiveBackups.push_back(hive->BackupPath());
    }
    report.messages = console.Messages();
    report.filesScanned = FilesScanned;
    report.filesInfected = FilesInfected;
    report.filesRemoved = options.dryRun ? 0 : FilesRemoved;
    report.filesRenamed = options.dryRun ? 0 : FilesRenamed;
    report.interrupted = ScanCancelled != 0;
    report.vanishedDrives = vanished;
    report.exitStatus = status;
    std::string error;
    if (!WriteOfflineReport(report, options.reportPath, &error)) console.Warn(error);
}

}  // namespace

int RunOfflineScan(const OfflineOptions& options, FILE* out, FILE* err,
                   const std::function<void(OfflinePlatform&)>& beforeScan) {
    OfflineConsole console(out, err);
    Hives hives;
    OfflinePlatform platform(&console);
    platform.files.SetDryRun(options.dryRun);
    InstallPlatform(platform.Parts());
    VolumeLayout layout;
    bool hasRegistry = false;
    std::string error;
    if (!MapDrives(options, platform, console) ||
        !CheckVolume(options, platform, console, &layout, &hasRegistry) ||
        (hasRegistry && !OpenHives(options, layout, platform, console, &hives)))
        return kExitCouldNotRun;
    if (!options.reportPath.empty() && !CanWriteReport(options.reportPath, &error)) {
        console.Warn(error + kNothingChanged);
        return kExitCouldNotRun;
    }

    StartProcessState();
    LoadVolumeEnvironment(platform.files, layout);
    SayHeader(options, layout, hives, console);
    if (beforeScan) beforeScan(platform);
    ScanServices programServices = ActiveScanServices;
    ActiveScanServices = OfflineScanServices();
    ScanRun();
    ActiveScanServices = programServices;

    std::string vanished = platform.files.VanishedDrives();
    if (!vanished.empty())
        console.Warn("the folder of drive(s) " + vanished + ": vanished during the scan; the scan is incomplete");
    SayRegistryChanges(options, platform, hives, console);
    int status = ExitStatusOf(options, platform, vanished);
    console.Say("Result: %s (exit status %d)", Meaning(status), status);
    if (!options.reportPath.empty()) WriteReport(options, platform, hives, vanished, status, console);
    return status;
}
