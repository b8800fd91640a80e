// The drives a scan's options name: folders of this system, or NTFS devices
// and images opened through the library, held open here until Close.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "offline/OfflineOptions.h"

class NtfsVolume;
class OfflinePlatform;

class ScanDrives {
public:
    ScanDrives();
    ~ScanDrives();
    ScanDrives(const ScanDrives&) = delete;
    ScanDrives& operator=(const ScanDrives&) = delete;

    // Maps a drive letter on the platform to the folder, device or image at
    // path; false with a message when it cannot be used. A device or image is
    // opened for writing unless the run is a dry run.
    bool Map(const OfflineOptions& options, char letter, const std::string& path, OfflinePlatform& platform,
             std::string* error);
    // Writes back and closes the volumes (the platform lets go of them
    // first); false with a message for each that could not be closed whole.
    bool Close(OfflinePlatform& platform, std::vector<std::string>* errors);

    // The volume of a drive letter; null for a folder.
    NtfsVolume* VolumeOf(char letter) const;
    // ", NTFS read in this program (...)" for a volume's drive, for the header.
    const char* HowRead(char letter) const;
    // A word for each volume that is only read because Windows is hibernated on it.
    std::vector<std::string> HibernationNotes() const;

private:
    std::vector<std::pair<char, std::unique_ptr<NtfsVolume>>> volumes_;
};
