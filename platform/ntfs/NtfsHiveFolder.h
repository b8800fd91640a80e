// The folder of a volume's registry hives on an NTFS drive read through the
// library: HiveFolder's calls on NtfsDrives, names found without regard to
// case as the volume's index finds them. Nothing here goes through a path of
// this system, and a link on the volume is never followed.
#pragma once

#include <string>
#include <vector>

#include "platform/offline/HiveFolder.h"

class NtfsDrives;
class NtfsVolume;

class NtfsHiveFolder : public HiveFolder {
public:
    // folder: its Windows path on a drive of drives ("C:\Windows\System32\config").
    NtfsHiveFolder(NtfsDrives* drives, NtfsVolume* volume, const std::string& folder)
        : drives_(drives), volume_(volume), folder_(folder) {}

    std::string Where() const override;
    bool List(std::vector<std::string>* names, std::string* error) override;
    bool Read(const std::string& name, uint64_t limit, std::vector<uint8_t>* bytes, std::string* actualName,
              std::string* error) override;
    bool WriteNew(const std::string& like, const std::vector<uint8_t>& bytes, std::string* newName,
                  std::string* error) override;
    bool Replace(const std::string& from, const std::string& to, std::string* error) override;
    bool KeepCopy(const std::string& name, const std::string& copyName, std::string* error) override;
    bool CopyNew(const std::string& name, const std::string& copyName, std::string* error) override {
        return CopyInto(name, copyName, error);
    }
    bool Remove(const std::string& name, std::string* error) override;
    bool Sync(std::string* error) override;
    bool CanWrite(std::string* error) override;
    bool StillInPlace(std::string* error) override;

private:
    std::string PathOf(const std::string& name) const { return folder_ + "\\" + name; }
    bool Fail(const std::string& what, const std::string& name, std::string* error) const;
    // A copy of its own under copyName (which must not exist yet).
    bool CopyInto(const std::string& name, const std::string& copyName, std::string* error);
    bool MakeUnpredictable(const std::string& prefix, const std::string& suffix, const std::vector<uint8_t>& bytes,
                           const std::string& like, std::string* name, std::string* error);

    NtfsDrives* drives_;
    NtfsVolume* volume_;
    std::string folder_;
};
