// Folders and files of this (Linux) system reached through descriptors only.
//
// Everything on a volume under cleaning was chosen by whoever infected it,
// links and special files included. So a folder there is opened one name at
// a time, each with O_NOFOLLOW, starting from a folder opened the same way;
// its files are then named relative to that descriptor (openat, renameat,
// unlinkat), so nothing between a check and its use can send the call
// elsewhere. Files are read only when they are regular files (checked with
// fstat after an open that neither follows a link nor waits on a FIFO), and
// a file is written only when this process has just made it under a name
// nobody could have guessed (O_CREAT | O_EXCL | O_NOFOLLOW).
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/host/UniqueFd.h"

// A folder's identity, to tell whether another descriptor is the same folder.
typedef std::pair<dev_t, ino_t> FolderId;

// Opens the folder at path (relative to the working folder unless it starts
// with "/") one name at a time, refusing a symbolic link anywhere on the way.
// Invalid with a message naming the part that failed.
UniqueFd OpenFolderWithoutLinks(const std::string& path, std::string* error);
// Opens the folder at path as the user named it, following the symbolic
// links of this system but none that lies in one of volumes (or below one);
// invalid with a message when it cannot.
UniqueFd OpenFolderAvoidingVolumeLinks(const std::string& path, const std::vector<FolderId>& volumes,
                                       std::string* error);
// The folder relative ("a/b/c", no "." or "..") below folder, never through a
// link; invalid with errno set when any part is missing or no folder.
UniqueFd OpenFolderBelow(int folder, const std::string& relative);
// An existing regular file of folder for reading; invalid with errno set
// (ELOOP for a link, EINVAL for anything but a regular file). info: its
// status, taken from the open descriptor.
UniqueFd OpenRegularFile(int folder, const std::string& name, struct stat* info);
// Sixteen hex digits from the kernel's randomness (from the clock where that
// fails), for the name of a file made anew.
std::string UnpredictableNamePart();
// A new, empty file of folder named prefix, a random part and suffix,
// readable and writable by the owner only. name: the name it got.
UniqueFd CreateUnpredictableFile(int folder, const std::string& prefix, const std::string& suffix,
                                 std::string* name);
// Writes every byte, retrying short writes.
bool WriteWhole(int fd, const uint8_t* bytes, size_t size);
// Reads exactly size bytes from the start of fd.
bool ReadWhole(int fd, uint8_t* bytes, size_t size);
// Whether folder is one of roots or lies anywhere below one of them (looked
// up through "..", so however the folder was reached).
bool LiesBelow(int folder, const std::vector<FolderId>& roots);
FolderId IdOf(const struct stat& info);
