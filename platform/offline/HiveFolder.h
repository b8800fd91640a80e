// The folder that holds a volume's registry hive files
// (Windows\System32\config), as the hive code reaches it: whole files read
// and written by name, never by a path of this system.
//
// Whoever infected the volume chose what stands at every name in it: links,
// FIFOs, files of any size. So a name is read only when it holds a regular
// file (of at most a given size), and nothing is ever written through a name
// that exists: a new file is made under a name nobody could have chosen
// beforehand and then put in place of the old one in one step. Names are
// looked up without regard to letter case, as Windows looks them up (an
// exact match first).
//
// Implementations: PosixHiveFolder (a folder of a mounted volume, reached
// through a descriptor) and NtfsHiveFolder (a folder of an NTFS volume,
// reached through the file-system library). All
// calls answer false with a message for the user when they fail, and leave
// the folder as it was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class HiveFolder {
public:
    virtual ~HiveFolder() {}

    // Where the folder is, for messages ("/mnt/windows/Windows/System32/config").
    virtual std::string Where() const = 0;
    // The names of the folder's entries, as the folder spells them.
    virtual bool List(std::vector<std::string>* names, std::string* error) = 0;
    // The whole content of the regular file called name; false when there is
    // none, it is no regular file, or it holds more than limit bytes.
    // actualName: the name as the folder spells it.
    virtual bool Read(const std::string& name, uint64_t limit, std::vector<uint8_t>* bytes, std::string* actualName,
                      std::string* error) = 0;
    // Writes bytes into a new file under an unpredictable name, with the owner
    // and permissions of the file like (never its set-user-id, set-group-id
    // or sticky bits), on the disk before it returns. newName: its name.
    virtual bool WriteNew(const std::string& like, const std::vector<uint8_t>& bytes, std::string* newName,
                          std::string* error) = 0;
    // Puts the file from in place of the file to, in one step.
    virtual bool Replace(const std::string& from, const std::string& to, std::string* error) = 0;
    // Keeps the present content of name also under copyName, which must not
    // exist (an existing name is never replaced): a second name for the same
    // file where the file system has them, else a copy.
    virtual bool KeepCopy(const std::string& name, const std::string& copyName, std::string* error) = 0;
    // The same, always as a copy of its own: for a file Windows writes in
    // place (a transaction log), whose second name would follow its changes.
    virtual bool CopyNew(const std::string& name, const std::string& copyName, std::string* error) = 0;
    virtual bool Remove(const std::string& name, std::string* error) = 0;
    // Makes the folder's changes (new names, renames) durable.
    virtual bool Sync(std::string* error) = 0;
    // Whether a new file can be made here now (one is made and removed again).
    virtual bool CanWrite(std::string* error) = 0;
    // Whether the folder is still where it was found: a volume moved or
    // unmounted meanwhile is written to no more.
    virtual bool StillInPlace(std::string* error) = 0;
};
