// What a Windows volume holds: which Windows, where its registry lives, and
// the environment its registry values are written against.
#pragma once

#include <string>

class FileSystem;
class OfflineFileSystem;

struct VolumeLayout {
    std::string windowsPath;  // "C:\WINDOWS", as named on the volume
    std::string systemPath;   // "C:\WINDOWS\system32"
    bool nineX = false;       // Windows 95, 98 or Me: SYSTEM.DAT and no config folder
};

// Looks for the Windows folder (Windows, or WINNT on NT 4 and 2000) on drive
// C: of files; false when the volume has none with System32\config.
bool InspectVolume(FileSystem& files, VolumeLayout* layout);

// Gives files the variables that values on this volume may use: SystemRoot,
// windir and SystemDrive, the machine's environment from the current control
// set, and the program folders, all read from the volume's own registry
// through the installed platform.
void LoadVolumeEnvironment(OfflineFileSystem& files, const VolumeLayout& layout);

// What the volume's hiberfil.sys says about the Windows that wrote it.
enum class Hibernation {
    kNone,        // no file, an empty or zeroed one, or one already resumed ("wake")
    kHibernated,  // "hibr", "HIBR" or "RSTR": a saved session Windows resumes (or was resuming)
    kUnknown,     // a hiberfil.sys that cannot be read
};
Hibernation CheckHibernation(OfflineFileSystem& files, std::string* detail);
