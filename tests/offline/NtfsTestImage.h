// NTFS images for the tests: made by mkntfs in a temporary folder, filled
// through the library on an open volume (no mount needed). Paths are Windows
// paths below the volume's root ("Windows\System32\x.exe"), found without
// regard to case.
#pragma once

#include <string>

typedef struct _ntfs_volume ntfs_volume;

class NtfsTestImage {
public:
    explicit NtfsTestImage(const char* size = "48M");
    ~NtfsTestImage();
    NtfsTestImage(const NtfsTestImage&) = delete;
    NtfsTestImage& operator=(const NtfsTestImage&) = delete;

    // Empty when the image was made; else why not (mkntfs missing...).
    const std::string& Problem() const { return problem_; }
    const std::string& Path() const { return path_; }
    const std::string& Folder() const { return folder_; }

private:
    std::string folder_;
    std::string path_;
    std::string problem_;
};

// Folders on the way are made; a long name gets an 8.3 name beside it, as
// Windows gives one ("Long Name.exe": LONGNA~1.EXE).
bool NtfsWriteFile(ntfs_volume* volume, const std::string& path, const std::string& bytes);
bool NtfsMakeFolder(ntfs_volume* volume, const std::string& path);
// Empty when the file cannot be read.
std::string NtfsReadFile(ntfs_volume* volume, const std::string& path);
bool NtfsExists(ntfs_volume* volume, const std::string& path);
// A junction at path that leads to target (a Windows path).
bool NtfsMakeJunction(ntfs_volume* volume, const std::string& path, const std::string& target);
// The file with only its blocks that are not all zero written: the rest holes.
bool NtfsWriteSparse(ntfs_volume* volume, const std::string& path, const std::string& bytes);
// A named data stream of an existing file.
bool NtfsWriteStream(ntfs_volume* volume, const std::string& path, const std::string& stream, const std::string& bytes);
// Every file below a folder of this system, written to the same place on the
// volume; and every file of the volume, written below a folder of this system.
bool NtfsCopyIn(ntfs_volume* volume, const std::string& hostFolder);
bool NtfsCopyOut(ntfs_volume* volume, const std::string& hostFolder);
// Files made in the folder from now on are compressed.
bool NtfsCompressFolder(ntfs_volume* volume, const std::string& path);
