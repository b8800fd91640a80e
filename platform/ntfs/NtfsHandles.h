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

// Lookups in the volume's index ignore case for as long as this lives (the
// case-sensitive flag of the volume is lent, not a handle). The
// volume stays case-sensitive otherwise, so that listings give names as stored.
class IgnoringCase {
public:
    explicit IgnoringCase(ntfs_volume* volume) : volume_(volume), was_(NVolCaseSensitive(volume)) {
        NVolClearCaseSensitive(volume_);
    }
    ~IgnoringCase() {
        if (was_) NVolSetCaseSensitive(volume_);
    }

private:
    ntfs_volume* volume_;
    bool was_;
};

typedef std::vector<ntfschar> NtfsName;

// False when the text is no valid UTF-8 or no valid NTFS name length.
bool ToNtfsName(const std::string& text, NtfsName* name);
// False when the name cannot be written as UTF-8 (a lone surrogate).
bool FromNtfsName(const ntfschar* name, int length, std::string* text);

inline Inode OpenInode(ntfs_volume* volume, uint64_t reference) {
    return Inode(ntfs_inode_open(volume, static_cast<MFT_REF>(reference)));
}
