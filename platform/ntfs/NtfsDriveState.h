// What NtfsDrives keeps between calls: listings, searches, descriptors, and
// where a path leads. Shared by its two source files only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ntfs/NtfsDrives.h"
#include "platform/ntfs/NtfsHandles.h"

struct NtfsDrives::Item {
    std::string name;
    char shortName[14];
    uint32_t attributes;
    uint64_t size;
    uint64_t reference;  // file record, with its sequence number
};

struct NtfsDrives::Listing {
    NtfsVolume* volume = nullptr;
    uint64_t folder = 0;
    uint64_t generation = 0;
    std::vector<Item> items;
};

struct NtfsDrives::Search {
    std::shared_ptr<const Listing> listing;
    size_t next = 0;
    std::string namePattern;  // empty: every entry
    uint64_t only = 0;        // a search without wildcards: the file it names
};

// Where a path leads, looked up once.
struct NtfsDrives::Place {
    NtfsVolume* volume = nullptr;  // none: no NTFS drive has the path
    bool folderExists = false;     // the folder that would hold it
    uint64_t folder = 0;
    std::string name;              // the last part, as the path spells it
    uint64_t reference = 0;        // 0: nothing of that name
    uint32_t attributes = 0;
    uint64_t size = 0;
    bool isRoot = false;

    bool Exists() const { return reference != 0; }
    bool IsFolder() const { return (attributes & kAttrDirectory) != 0; }
    bool IsLink() const { return (attributes & kAttrReparsePoint) != 0; }
};

// An open descriptor: which file, how, where; its file record is opened
// for each call (see OpenData).
struct NtfsDrives::Descriptor {
    NtfsVolume* volume = nullptr;
    uint64_t reference = 0;
    bool reads = false;
    bool writes = false;
    bool appends = false;
    int64_t position = 0;
};

// The Windows attributes of an open file record.
uint32_t AttributesOf(ntfs_inode* inode);
// Sets those of them that SetFileAttributes may change; false when the library refuses.
bool SetAttributesOf(ntfs_inode* inode, uint32_t attributes);
uint64_t ReferenceOf(ntfs_inode* inode);
