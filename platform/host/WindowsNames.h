// How Windows matches and hands out names, for the implementations that
// emulate it over this system: the offline drives (host folders and NTFS
// volumes alike) and the simulated Windows of the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FindEntry;

// The text in upper case (ASCII letters; other bytes as they are).
std::string UpperCase(const std::string& text);
// Equal but for the case of ASCII letters, as Windows compares names.
bool SameTextIgnoringCase(const std::string& a, const std::string& b);
// The folder holding a path of this system ("/a/b" gives "/a", "/a" gives "/").
std::string ParentOfHostPath(const std::string& hostPath);
// The non-empty names between any of separators: "a\\b//c" split at "\\/"
// gives a, b and c.
std::vector<std::string> SplitNames(const std::string& text, const char* separators);

// The index (0 for A:) of the drive a Windows path "X:..." names; -1 for none.
int DriveIndexOf(const std::string& windowsPath);
// The parts of the path after its drive, "." and ".." worked out
// ("C:\a\..\b\.\c" gives b and c); "\" and "/" both separate.
std::vector<std::string> PathParts(const std::string& windowsPath);

// "*" and "?" as FindFirstFile reads them, without regard to case; "x*.*"
// also takes names without a dot. pattern: as WildcardPattern made it.
bool NameMatches(const std::string& pattern, const char* name);
// A Windows wildcard made ready for NameMatches ("[" and "]" are plain there).
std::string WildcardPattern(const std::string& windowsPattern);
bool HasWildcard(const std::string& text);
// "*" or "*.*": every entry of the folder.
bool EveryName(const std::string& namePattern);
// Whether a Windows path can spell the name: no backslash, which would split
// it into a path to another file, and short enough for a listing's entry.
bool Addressable(const char* name);

// A FindFirstFile pattern cut after its last separator: the folder as
// written ("C:\Data\"; empty without a separator) and the name pattern.
void SplitFindPattern(const std::string& pattern, std::string* windowsFolder, std::string* namePattern);
// One entry of a listing as the find calls hand it out (shortName: empty,
// or the 8.3 name beside a long one).
void FillFindEntry(const std::string& name, const char* shortName, uint32_t attributes, uint64_t size,
                   FindEntry* entry);

