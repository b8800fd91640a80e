// The hive folder of a volume mounted on this system, through a descriptor of
// that folder (opened without following links, see HostFolder.h).
#pragma once

#include <string>
#include <vector>

#include "platform/offline/HiveFolder.h"
#include "platform/offline/HostFolder.h"

class PosixHiveFolder : public HiveFolder {
public:
    // where: the folder's path, for messages only.
    PosixHiveFolder(UniqueFd folder, const std::string& where) : folder_(std::move(folder)), where_(where) {}

    std::string Where() const override { return where_; }
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
    bool Find(const std::string& name, std::string* actualName);
    bool CopyInto(const std::string& name, const std::string& copyName, std::string* error);
    bool Fail(const std::string& what, const std::string& name, std::string* error) const;

    UniqueFd folder_;
    std::string where_;
};
