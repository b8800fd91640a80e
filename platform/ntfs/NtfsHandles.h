// Owning wrappers of the library's handles, one per kind, and the name
// conversions between the program's UTF-8 and the volume's UTF-16.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ntfs/NtfsLibrary.h"

struct InodeCloser {
    void operator()(ntfs_inode* inode) const { ntfs_inode_close(inode); }
};
// An open file record. ntfs_delete, ntfs_set_ntfs_dos_name and the like close
// the records they are given: release() them into such calls.
typedef std::unique_ptr<ntfs_inode, InodeCloser> Inode;

struct StreamCloser {
    void operator()(ntfs_attr* stream) const { ntfs_attr_close(stream); }
};
// An open attribute: a file's unnamed data stream, a folder's index.
typedef std::unique_ptr<ntfs_attr, StreamCloser> DataStream;

struct SearchCloser {
    void operator()(ntfs_attr_search_ctx* search) const { ntfs_attr_put_search_ctx(search); }
};
// A walk over the attributes of a file record.
typedef std::unique_ptr<ntfs_attr_search_ctx, SearchCloser> AttributeSearch;

typedef std::vector<ntfschar> NtfsName;

// False when the text is no valid UTF-8 or no valid NTFS name length.
bool ToNtfsName(const std::string& text, NtfsName* name);
// False when the name cannot be written as UTF-8 (a lone surrogate).
bool FromNtfsName(const ntfschar* name, int length, std::string* text);

inline Inode OpenInode(ntfs_volume* volume, uint64_t reference) {
    return Inode(ntfs_inode_open(volume, static_cast<MFT_REF>(reference)));
}
