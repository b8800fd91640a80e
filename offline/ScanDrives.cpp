#include "offline/ScanDrives.h"

#include <sys/stat.h>

#include "platform/ntfs/NtfsVolume.h"
#include "platform/offline/OfflinePlatform.h"

namespace {

int PartitionOf(const OfflineOptions& options, char letter) {
    auto found = options.partitions.find(letter);
    return found == options.partitions.end() ? 0 : found->second;
}

}  // namespace

ScanDrives::ScanDrives() {}

ScanDrives::~ScanDrives() {}

// A folder maps as it is; a device or an image is opened through the library.
bool ScanDrives::Map(const OfflineOptions& options, char letter, const std::string& path, OfflinePlatform& platform,
                     std::string* error) {
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        if (PartitionOf(options, letter) == 0) return platform.files.MapDrive(letter, path, error);
        *error = path + ": a folder, not a whole disk: --partition does not apply";
        return false;
    }
    std::unique_ptr<NtfsVolume> volume(new NtfsVolume);
    if (!volume->Open(path, PartitionOf(options, letter), !options.dryRun, error)) return false;
    platform.volumes.MapDrive(letter, volume.get());
    volumes_.emplace_back(letter, std::move(volume));
    return true;
}

bool ScanDrives::Close(OfflinePlatform& platform, std::vector<std::string>* errors) {
    platform.volumes.UnmapAll();
    bool closed = true;
    for (auto& volume : volumes_) {
        std::string error;
        if (!volume.second->Close(&error)) {
            errors->push_back(error);
            closed = false;
        }
    }
    return closed;
}

NtfsVolume* ScanDrives::VolumeOf(char letter) const {
    for (const auto& volume : volumes_)
        if (volume.first == letter) return volume.second.get();
    return nullptr;
}

const char* ScanDrives::HowRead(char letter) const {
    return VolumeOf(letter) != nullptr ? ", NTFS read in this program (alternate data streams are not scanned)" : "";
}

std::vector<std::string> ScanDrives::HibernationNotes() const {
    std::vector<std::string> notes;
    for (const auto& volume : volumes_)
        if (volume.second->Hibernated())
            notes.push_back(volume.second->Name() +
                            ": Windows is hibernated on this volume (hibernation or Fast Startup); it can be "
                            "scanned, but not cleaned, until that Windows is shut down fully");
    return notes;
}
