#include "offline/OfflineScan.h"

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/Shared.h"
#include "engine/ScanRun.h"
#include "engine/ScanServices.h"
#include "engine/WalkTree.h"
#include "memory/ProcessChecks.h"
#include "offline/OfflineConsole.h"
#include "offline/OfflineReport.h"
#include "offline/OfflineVolume.h"
#include "offline/ScanDrives.h"
#include "platform/ntfs/NtfsHiveFolder.h"
#include "platform/offline/OfflinePlatform.h"
#include "platform/offline/PosixHiveFolder.h"
#include "repair/Autostart.h"
#include "repair/Restart.h"
#include "repair/RestartDelete.h"
#include "repair/ServiceKeys.h"

namespace {

const char* const kHiveNames[] = {"SOFTWARE", "SYSTEM"};
const char kNothingChanged[] = "; nothing was changed";

typedef std::vector<std::unique_ptr<OfflineHive>> Hives;

// After every detection: the program's repairs, and then the service keys
// named after the file. On a running system the memory pass removes those
// keys when it cannot stop the service; here nothing runs, so every
// detection gets them removed.
int RepairOfflineDetection(const char* detectionName) {
    char service[kPathSize + 1];
    ServiceNameOf(Shared.CurrentFilePath, service, sizeof service);
    RepairAfterDetection(detectionName);
    if (service[0] != '\0') RemoveServiceKeys(service);
    return 1;
}

// No process runs from a volume that is not running.
void NoMemoryPass() {}
int NoProcessToTerminate(const char*) { return 0; }

const ScanServices OfflineScanServices = {
    NoMemoryPass, NoProcessToTerminate, RepairOfflineDetection, ScheduleDeleteAtRestart, RestartMachine,
};

// Files and folders the walk could not check, in the order met, each once.
class NotChecked {
public:
    void Add(const std::string& path) {
        if (seen_.insert(path).second) paths_.push_back(path);
    }
    const std::vector<std::string>& Paths() const { return paths_; }

private:
    std::vector<std::string> paths_;
    std::set<std::string> seen_;
};

NotChecked* ActiveNotChecked = nullptr;

void NoteTooLong(const char* folder, const char* name, bool isFolder) {
    if (ActiveNotChecked != nullptr) ActiveNotChecked->Add(std::string(folder) + name + (isFolder ? "\\" : ""));
}

void StartProcessState() {
    ClearProcessState();
    CopyText(Shared.ScanTarget, sizeof Shared.ScanTarget, kEveryFixedDrive);
    Shared.ActionCode = kActionDelete;
    Shared.MainWindowHandle = OfflineSession::kMainWindow;
}

const char* Meaning(int status) {
    switch (status) {
        case kExitNothingFound: return "nothing found";
        case kExitAllRemoved: return "everything found was removed";
        case kExitSomethingLeft: return "something found was left, or not everything could be checked";
        case kExitInterrupted: return "interrupted";
        default: return "the scan could not be completed";
    }
}

// One run of cordafix-offline, from the options to the exit status.
class OfflineRun {
public:
    OfflineRun(const OfflineOptions& options, FILE* out, FILE* err)
        : options_(options), console_(out, err), platform_(&console_) {}

    int Run(const std::function<void(OfflinePlatform&)>& beforeScan);

private:
    bool MapDrives();
    bool CheckVolume();
    bool MayChangeVolume();
    bool CanReport();
    void OpenHives();
    void Scan(const std::function<void(OfflinePlatform&)>& beforeScan);
    void SayHeader();
    void SayRegistryOutcome();
    void SayNotChecked();
    bool SomethingLeftInRegistry() const;
    int ExitStatus() const;
    bool AnyHiveNotUsed() const;
    void WriteReport(int status);
    // A refusal before anything changed: exit 3, or a warning in a dry run
    // (which changes nothing anyway); false when the run stops.
    bool Refuse(const std::string& message);

    const OfflineOptions& options_;
    OfflineConsole console_;
    ScanDrives drives_;  // before the platform, which uses their volumes
    OfflinePlatform platform_;
    VolumeLayout layout_;
    bool hasRegistry_ = false;
    PrivateFolder scratch_;
    std::unique_ptr<HiveFolder> hiveFolder_;
    Hives hives_;
    NotChecked notChecked_;
    size_t notReadBeforeScan_ = 0;
    std::string vanished_;
};

bool OfflineRun::MapDrives() {
    std::string error;
    if (!drives_.Map(options_, 'C', options_.volume, platform_, &error)) {
        console_.Warn(error + kNothingChanged);
        return false;
    }
    for (const auto& drive : options_.drives) {
        if (!drives_.Map(options_, drive.first, drive.second, platform_, &error)) {
            console_.Warn("--drive " + std::string(1, drive.first) + ": " + error + kNothingChanged);
            return false;
        }
    }
    return true;
}

bool OfflineRun::CheckVolume() {
    hasRegistry_ = InspectVolume(platform_.drives, &layout_);
    if (layout_.nineX) {
        console_.Warn(options_.volume + " holds Windows 95, 98 or Me, whose registry (SYSTEM.DAT, USER.DAT) is of "
                      "another format: this tool cleans volumes of the NT family only" + kNothingChanged);
        return false;
    }
    if (!hasRegistry_ && !options_.force) {
        console_.Warn(options_.volume + " has no Windows\\System32\\config folder: not a Windows system volume "
                      "(--force scans it all the same, without registry repair)" + kNothingChanged);
        return false;
    }
    if (!hasRegistry_)
        console_.Warn("no registry on " + options_.volume + ": autostart values and services are not repaired");
    platform_.files.SetWindowsDirectory(layout_.windowsPath);
    platform_.files.SetSystemDirectory(layout_.systemPath);
    return true;
}

bool OfflineRun::Refuse(const std::string& message) {
    if (!options_.dryRun) {
        console_.Warn(message + kNothingChanged);
        return false;
    }
    console_.Warn(message + " (this dry run goes on; a run that changes the volume stops here)");
    return true;
}

// A volume that must not be written: a hibernated Windows, or a read-only mount.
bool OfflineRun::MayChangeVolume() {
    std::string detail;
    Hibernation hibernation = CheckHibernation(platform_.files, &detail);
    if (hibernation == Hibernation::kHibernated &&
        !Refuse(options_.volume + " holds a hibernated Windows session (" + detail +
                ": hibernation or Fast Startup). When that Windows resumes it writes its saved state back over "
                "the disk, so changes made now would be lost or would damage the file system. Start that Windows "
                "and leave it with Restart (which shuts it down fully), or turn Fast Startup off, then scan "
                "again. Removing the hibernation file from here discards the saved session and, on Windows 10 "
                "and later, does not make the volume consistent"))
        return false;
    if (hibernation == Hibernation::kUnknown &&
        !Refuse("cannot tell whether Windows on " + options_.volume + " is hibernated (" + detail + ")"))
        return false;
    std::string readOnly = platform_.files.ReadOnlyDrives();
    if (!readOnly.empty() &&
        !Refuse("drive(s) " + readOnly + ": mounted read-only, so nothing found could be removed. Remount "
                "read-write (mount -o remount,rw FOLDER; ntfs-3g refuses that while Windows is hibernated), "
                "or use --dry-run to see what would be removed"))
        return false;
    return true;
}

bool OfflineRun::CanReport() {
    std::string error;
    if (options_.reportPath.empty() || CanWriteReport(options_.reportPath, platform_.files.DriveFolders(), &error))
        return true;
    console_.Warn(error + kNothingChanged);
    return false;
}

// A hive that cannot be used is left as it is; the files are cleaned all the same.
void OfflineRun::OpenHives() {
    std::string problem;
    std::string configPath = layout_.systemPath + "\\config";
    if (NtfsVolume* volume = drives_.VolumeOf('C')) {
        hiveFolder_.reset(new NtfsHiveFolder(&platform_.volumes, volume, configPath));
    } else {
        std::string configHost = platform_.files.HostPath(configPath);
        UniqueFd config = platform_.files.OpenFolder(configPath);
        if (!config.Valid()) problem = configHost + ": " + strerror(errno);
        hiveFolder_.reset(new PosixHiveFolder(std::move(config), configHost));
    }
    if (problem.empty()) scratch_.Make(platform_.files.DriveFolders(), &problem);
    for (const char* name : kHiveNames) {
        hives_.push_back(std::unique_ptr<OfflineHive>(
            new OfflineHive(name, hiveFolder_.get(), &scratch_, options_.dryRun)));
        OfflineHive& hive = *hives_.back();
        platform_.registry.Mount(&hive);
        std::string error = problem;
        if (problem.empty() && hive.Open(&error) && hive.CanWriteBeside(&error)) continue;
        hive.MarkNotUsed(error);
        console_.Warn("registry hive " + std::string(name) + " not used: " + error +
                      "; it is left as it is, and the repairs in it are not done");
    }
}

void OfflineRun::SayHeader() {
    console_.Say("%s", OfflineVersionLine().c_str());
    console_.Say("C: %s (Windows folder %s)%s", options_.volume.c_str(), layout_.windowsPath.c_str(),
                 drives_.HowRead('C'));
    for (const auto& drive : options_.drives)
        console_.Say("%c: %s%s", drive.first, drive.second.c_str(), drives_.HowRead(drive.first));
    for (const std::string& note : drives_.HibernationNotes()) console_.Warn(note);
    for (const auto& hive : hives_) {
        std::string state = HiveUseName(hive->Use());
        if (hive->Use() == HiveUse::kNotUsed) state += ": " + hive->NotUsedReason();
        if (hive->Use() == HiveUse::kRecovered) state = HiveRecoveryText(hive->Recovery());
        console_.Say("Registry hive %s: %s (%s)", hive->Name().c_str(), hive->Path().c_str(), state.c_str());
    }
    if (options_.dryRun) console_.Say("Dry run: nothing is changed; \"removed\" below means \"would be removed\".");
}

void OfflineRun::Scan(const std::function<void(OfflinePlatform&)>& beforeScan) {
    StartProcessState();
    LoadVolumeEnvironment(platform_.files, layout_);
    for (const auto& item : platform_.registry.NotRead())
        console_.Warn("not read: " + item.key + (item.value.empty() ? "" : " value \"" + item.value + "\"") + ": " +
                      item.error);
    notReadBeforeScan_ = platform_.registry.NotRead().size();
    SayHeader();
    platform_.files.onNotice = [this](const std::string& message) { console_.Warn(message); };
    platform_.files.onUnlistedEntry = [this](const std::string& folder, const char* name) {
        notChecked_.Add(folder + name);
    };
    platform_.volumes.onUnlistedEntry = platform_.files.onUnlistedEntry;
    ActiveNotChecked = &notChecked_;
    OnPathTooLong = NoteTooLong;
    if (beforeScan) beforeScan(platform_);
    ScanServices programServices = ActiveScanServices;
    ActiveScanServices = OfflineScanServices;
    ScanRun();
    ActiveScanServices = programServices;
    OnPathTooLong = nullptr;
    ActiveNotChecked = nullptr;
    vanished_ = platform_.files.VanishedDrives();
}

void OfflineRun::SayRegistryOutcome() {
    const char* removed = options_.dryRun ? "would be removed" : "removed";
    for (const auto& change : platform_.registry.Changes()) {
        if (!change.written)
            console_.Warn("not written: " + change.key + (change.isKey ? "" : " value \"" + change.value + "\"") +
                          ": " + change.error);
        else if (change.isKey)
            console_.Say("Registry key %s: %s", removed, change.key.c_str());
        else
            console_.Say("Registry value %s: %s \"%s\"", removed, change.key.c_str(), change.value.c_str());
    }
    const auto& notRead = platform_.registry.NotRead();
    for (size_t index = notReadBeforeScan_; index < notRead.size(); ++index)
        console_.Warn("not read, so not cleaned: " + notRead[index].key +
                      (notRead[index].value.empty() ? "" : " value \"" + notRead[index].value + "\"") + ": " +
                      notRead[index].error);
    for (const auto& hive : hives_) {
        if (!hive->BackupPath().empty()) console_.Say("Original hive kept as %s", hive->BackupPath().c_str());
        if (hive->Use() == HiveUse::kNotUsed && Shared.FilesInfected > 0)
            console_.Warn("the repairs in registry hive " + hive->Name() + " were not done: the hive was not used (" +
                          hive->NotUsedReason() + ")");
    }
}

void OfflineRun::SayNotChecked() {
    for (const std::string& path : notChecked_.Paths())
        console_.Say("Not checked (a path of 260 bytes or more, or a backslash in a name): %s", path.c_str());
    if (!notChecked_.Paths().empty())
        console_.Warn(std::to_string(notChecked_.Paths().size()) +
                      " file(s) or folder(s) could not be checked: no Windows path the program can use names them");
}

bool OfflineRun::SomethingLeftInRegistry() const {
    for (const auto& change : platform_.registry.Changes())
        if (!change.written) return true;
    return AnyHiveNotUsed() || platform_.registry.NotRead().size() > notReadBeforeScan_;
}

bool OfflineRun::AnyHiveNotUsed() const {
    for (const auto& hive : hives_)
        if (hive->Use() == HiveUse::kNotUsed) return true;
    return false;
}

int OfflineRun::ExitStatus() const {
    if (Shared.ScanCancelled != 0) return kExitInterrupted;
    bool written = false;
    for (const auto& change : platform_.registry.Changes()) written = written || change.written;
    bool changed = !options_.dryRun && (Shared.FilesRemoved + Shared.FilesRenamed > 0 || written);
    if (!vanished_.empty()) return changed ? kExitSomethingLeft : kExitCouldNotRun;
    // Whatever was found: what could not be checked may hold more, a file
    // or a hive's autostart values and services alike.
    if (!notChecked_.Paths().empty() || AnyHiveNotUsed()) return kExitSomethingLeft;
    if (Shared.FilesInfected == 0) return kExitNothingFound;
    if (options_.dryRun) return kExitSomethingLeft;
    bool left = Shared.FilesRemoved + Shared.FilesRenamed < Shared.FilesInfected || SomethingLeftInRegistry();
    return left ? kExitSomethingLeft : kExitAllRemoved;
}

void OfflineRun::WriteReport(int status) {
    OfflineReport report;
    report.volume = options_.volume;
    report.drives.push_back({'C', options_.volume});
    for (const auto& drive : options_.drives) report.drives.push_back(drive);
    report.dryRun = options_.dryRun;
    report.action = "delete";
    report.detections = console_.Detections();
    for (const auto& hive : hives_) {
        report.hives.push_back({hive->Name(), hive->Path(), hive->Use(), hive->NotUsedReason(), hive->Recovery()});
        if (!hive->BackupPath().empty()) report.hiveBackups.push_back(hive->BackupPath());
    }
    report.registryChanges = platform_.registry.Changes();
    report.registryNotRead = platform_.registry.NotRead();
    report.notChecked = notChecked_.Paths();
    report.messages = console_.Messages();
    report.filesScanned = Shared.FilesScanned;
    report.filesInfected = Shared.FilesInfected;
    report.filesRemoved = options_.dryRun ? 0 : Shared.FilesRemoved;
    report.filesRenamed = options_.dryRun ? 0 : Shared.FilesRenamed;
    report.interrupted = Shared.ScanCancelled != 0;
    report.vanishedDrives = vanished_;
    report.exitStatus = status;
    std::string error;
    if (!WriteOfflineReport(report, options_.reportPath, platform_.files.DriveFolders(), &error))
        console_.Warn(error);
}

int OfflineRun::Run(const std::function<void(OfflinePlatform&)>& beforeScan) {
    platform_.files.SetDryRun(options_.dryRun);
    platform_.volumes.SetDryRun(options_.dryRun);
    PlatformScope seam(platform_.Parts());
    if (!MapDrives() || !CheckVolume() || !MayChangeVolume() || !CanReport()) return kExitCouldNotRun;
    if (hasRegistry_) OpenHives();
    Scan(beforeScan);
    if (!vanished_.empty())
        console_.Warn("the folder of drive(s) " + vanished_ + ": vanished during the scan; the scan is incomplete");
    SayRegistryOutcome();
    SayNotChecked();
    // What the library holds is written back before the result is given.
    std::vector<std::string> notClosed;
    bool closed = drives_.Close(platform_, &notClosed);
    for (const std::string& error : notClosed) console_.Warn(error);
    int status = ExitStatus();
    if (!closed && status < kExitSomethingLeft) status = kExitSomethingLeft;
    console_.Say("Result: %s (exit status %d)", Meaning(status), status);
    if (!options_.reportPath.empty()) WriteReport(status);
    return status;
}

}  // namespace

int RunOfflineScan(const OfflineOptions& options, FILE* out, FILE* err,
                   const std::function<void(OfflinePlatform&)>& beforeScan) {
    OfflineRun run(options, out, err);
    return run.Run(beforeScan);
}
