// A folder of this (rescue) system's own for the hive work: made afresh with
// an unpredictable name and mode 0700 in $TMPDIR (else /tmp), never on a
// volume under cleaning, and removed with everything in it at the end. The
// registry library opens and writes files by path; it only ever sees paths
// in here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/offline/HostFolder.h"

class PrivateFolder {
public:
    PrivateFolder() = default;
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    // Makes the folder; false with a message when it cannot be made, or
    // would lie in one of volumes.
    bool Make(const std::vector<FolderId>& volumes, std::string* error);
    bool Made() const { return !path_.empty(); }
    // A path in the folder that no file has had yet in this run.
    std::string NewPath(const char* what);
    // Writes bytes to a new file at path (from NewPath).
    bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) const;
    // The whole content of the file at path (from NewPath).
    bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes) const;

private:
    std::string path_;
    unsigned next_ = 0;
};
