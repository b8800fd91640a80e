// How Windows matches and hands out names, for the offline drives (host
// folders and NTFS volumes alike).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

// The buffer rule of GetTempPathA and its kin: the length without the zero
// when it fits, else the size needed including the zero.
uint32_t CopyOut(const std::string& text, char* buffer, uint32_t size);
