#include "offline/NtfsTestImage.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/ntfs/NtfsHandles.h"

namespace {

std::vector<std::string> Parts(const std::string& path) {
    std::vector<std::string> parts(1);
    for (char c : path) {
        if (c != '\\' && c != '/') parts.back() += c;
        else if (!parts.back().empty()) parts.emplace_back();
    }
    if (parts.back().empty()) parts.pop_back();
    return parts;
}

uint64_t Find(ntfs_volume* volume, uint64_t folder, const std::string& name) {
    Inode directory = OpenInode(volume, folder);
    NtfsName wanted;
    if (!directory || !ToNtfsName(name, &wanted)) return 0;
    bool caseSensitive = NVolCaseSensitive(volume);
    NVolClearCaseSensitive(volume);
    u64 found = ntfs_inode_lookup_by_name(directory.get(), wanted.data(), static_cast<int>(wanted.size()));
    if (caseSensitive) NVolSetCaseSensitive(volume);
    return found == static_cast<u64>(-1) ? 0 : found;
}

bool IsShortName(const std::string& name) {
    size_t dot = name.find('.');
    if (name.empty() || dot == 0 || name.find(' ') != std::string::npos ||
        (dot != std::string::npos && (name.find('.', dot + 1) != std::string::npos || name.size() - dot - 1 > 3)))
        return false;
    return (dot == std::string::npos ? name.size() : dot) <= 8 && strpbrk(name.c_str(), "?*+,;=[]") == nullptr;
}

// Windows' first choice: six letters of the name, "~1", three of the extension.
std::string ShortNameOf(const std::string& name) {
    size_t dot = name.rfind('.');
    std::string base, extension;
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (!isalnum(c) && c != '_' && c != '-') continue;
        std::string& part = dot != std::string::npos && i > dot ? extension : base;
        part += static_cast<char>(toupper(c));
    }
    return base.substr(0, 6) + "~1" + (extension.empty() ? "" : "." + extension.substr(0, 3));
}

uint64_t Create(ntfs_volume* volume, uint64_t folder, const std::string& name, mode_t type) {
    Inode directory = OpenInode(volume, folder);
    NtfsName unicode;
    if (!directory || !ToNtfsName(name, &unicode)) return 0;
    Inode file(ntfs_create(directory.get(), 0, unicode.data(), static_cast<u8>(unicode.size()), type));
    if (!file) return 0;
    uint64_t reference = MK_MREF(file->mft_no, le16_to_cpu(file->mrec->sequence_number));
    std::string dos = ShortNameOf(name);
    // Names with wildcards can only be POSIX names, which have no 8.3 name.
    // ntfs_set_ntfs_dos_name closes both records.
    if (!IsShortName(name) && strpbrk(name.c_str(), "\"*:<>?|") == nullptr &&
        ntfs_set_ntfs_dos_name(file.release(), directory.release(), dos.c_str(), dos.size(), 0))
        return 0;
    return reference;
}

uint64_t FolderOf(ntfs_volume* volume, const std::vector<std::string>& parts, bool make) {
    uint64_t at = FILE_root;
    for (size_t i = 0; at != 0 && i + 1 < parts.size(); ++i) {
        uint64_t next = Find(volume, at, parts[i]);
        at = next != 0 || !make ? next : Create(volume, at, parts[i], S_IFDIR);
    }
    return at;
}

uint64_t Locate(ntfs_volume* volume, const std::string& path) {
    std::vector<std::string> parts = Parts(path);
    uint64_t folder = parts.empty() ? 0 : FolderOf(volume, parts, false);
    return folder == 0 ? 0 : Find(volume, folder, parts.back());
}

void AppendUnicode(std::vector<uint8_t>* bytes, const std::string& text) {
    for (char c : text) bytes->insert(bytes->end(), {static_cast<uint8_t>(c), 0});
}

void AppendLe16(std::vector<uint8_t>* bytes, size_t value) {
    bytes->insert(bytes->end(), {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)});
}

}  // namespace

NtfsTestImage::NtfsTestImage(const char* size) {
    char folder[] = "/tmp/cordafix-ntfsimg-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        problem_ = "no temporary folder";
        return;
    }
    folder_ = folder;
    path_ = folder_ + "/volume.img";
    std::string command = "command -v mkntfs >/dev/null 2>&1 && truncate -s " + std::string(size) + " " + path_ +
                          " && mkntfs -F -Q -q -L Windows " + path_ + " >/dev/null 2>&1";
    if (system(command.c_str()) != 0) problem_ = "mkntfs could not make an image (Debian's ntfs-3g missing?)";
}

NtfsTestImage::~NtfsTestImage() {
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

bool NtfsMakeFolder(ntfs_volume* volume, const std::string& path) {
    std::vector<std::string> parts = Parts(path);
    parts.emplace_back("-");  // every part of path is a folder on the way
    return FolderOf(volume, parts, true) != 0;
}

bool NtfsWriteFile(ntfs_volume* volume, const std::string& path, const std::string& bytes) {
    std::vector<std::string> parts = Parts(path);
    uint64_t folder = parts.empty() ? 0 : FolderOf(volume, parts, true);
    uint64_t reference = folder == 0 ? 0 : Find(volume, folder, parts.back());
    if (folder != 0 && reference == 0) reference = Create(volume, folder, parts.back(), S_IFREG);
    Inode file = OpenInode(volume, reference);
    DataStream data(file ? ntfs_attr_open(file.get(), AT_DATA, AT_UNNAMED, 0) : nullptr);
    return data && ntfs_attr_truncate(data.get(), 0) == 0 &&
           ntfs_attr_pwrite(data.get(), 0, static_cast<s64>(bytes.size()), bytes.data()) ==
               static_cast<s64>(bytes.size());
}

std::string NtfsReadFile(ntfs_volume* volume, const std::string& path) {
    Inode file = OpenInode(volume, Locate(volume, path));
    DataStream data(file ? ntfs_attr_open(file.get(), AT_DATA, AT_UNNAMED, 0) : nullptr);
    std::string bytes(data ? static_cast<size_t>(data->data_size) : 0, '\0');
    if (!data || ntfs_attr_pread(data.get(), 0, data->data_size, &bytes[0]) != data->data_size) return "";
    return bytes;
}

bool NtfsExists(ntfs_volume* volume, const std::string& path) { return Locate(volume, path) != 0; }

bool NtfsMakeJunction(ntfs_volume* volume, const std::string& path, const std::string& target) {
    if (!NtfsMakeFolder(volume, path)) return false;
    Inode folder = OpenInode(volume, Locate(volume, path));
    // A mount point's reparse data: substitute name, then print name.
    std::string substitute = "\\??\\" + target;
    std::vector<uint8_t> names;
    AppendUnicode(&names, substitute + '\0' + target + '\0');
    std::vector<uint8_t> data = {0x03, 0x00, 0x00, 0xA0};
    AppendLe16(&data, 8 + names.size());
    AppendLe16(&data, 0);
    AppendLe16(&data, 0);
    AppendLe16(&data, substitute.size() * 2);
    AppendLe16(&data, substitute.size() * 2 + 2);
    AppendLe16(&data, target.size() * 2);
    data.insert(data.end(), names.begin(), names.end());
    return folder && ntfs_set_ntfs_reparse_data(folder.get(), reinterpret_cast<const char*>(data.data()),
                                                data.size(), 0) == 0;
}

bool NtfsWriteSparse(ntfs_volume* volume, const std::string& path, const std::string& bytes) {
    const size_t block = 4096;
    if (!NtfsWriteFile(volume, path, "")) return false;
    Inode file = OpenInode(volume, Locate(volume, path));
    DataStream data(file ? ntfs_attr_open(file.get(), AT_DATA, AT_UNNAMED, 0) : nullptr);
    bool written = data && ntfs_attr_truncate(data.get(), static_cast<s64>(bytes.size())) == 0;
    for (size_t at = 0; written && at < bytes.size(); at += block) {
        size_t count = std::min(block, bytes.size() - at);
        if (bytes.find_first_not_of('\0', at) >= at + count) continue;
        written = ntfs_attr_pwrite(data.get(), static_cast<s64>(at), static_cast<s64>(count), bytes.data() + at) ==
                  static_cast<s64>(count);
    }
    return written;
}

bool NtfsWriteStream(ntfs_volume* volume, const std::string& path, const std::string& stream,
                     const std::string& bytes) {
    Inode file = OpenInode(volume, Locate(volume, path));
    NtfsName name;
    return file && ToNtfsName(stream, &name) &&
           ntfs_attr_add(file.get(), AT_DATA, name.data(), static_cast<u32>(name.size()),
                         reinterpret_cast<const u8*>(bytes.data()), static_cast<s64>(bytes.size())) == 0;
}

bool NtfsCompressFolder(ntfs_volume* volume, const std::string& path) {
    if (!NtfsMakeFolder(volume, path)) return false;
    Inode folder = OpenInode(volume, Locate(volume, path));
    if (!folder) return false;
    le32 value = folder->flags | FILE_ATTR_COMPRESSED;
    NVolSetCompression(volume);
    return ntfs_set_ntfs_attrib(folder.get(), reinterpret_cast<const char*>(&value), sizeof value, 0) == 0;
}

bool NtfsCopyIn(ntfs_volume* volume, const std::string& hostFolder) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(hostFolder)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!NtfsWriteFile(volume, std::filesystem::relative(entry.path(), hostFolder).string(), bytes)) return false;
    }
    return true;
}

namespace {

struct Listed {
    std::string name;
    uint64_t reference;
    bool isFolder;
};

int CollectListed(void* listed, const ntfschar* name, const int length, const int type, const s64,
                  const MFT_REF reference, const unsigned kind) {
    std::string text;
    if (type != FILE_NAME_DOS && MREF(reference) >= FILE_first_user && FromNtfsName(name, length, &text))
        static_cast<std::vector<Listed>*>(listed)->push_back({text, reference, kind == NTFS_DT_DIR});
    return 0;
}

bool CopyFolderOut(ntfs_volume* volume, uint64_t folder, const std::string& relative, const std::string& host) {
    std::vector<Listed> listed;
    Inode directory = OpenInode(volume, folder);
    s64 position = 0;
    if (!directory || ntfs_readdir(directory.get(), &position, &listed, CollectListed) != 0) return false;
    directory.reset();  // one open copy of a record at a time: the library caches closed ones
    std::filesystem::create_directories(host + "/" + relative);
    for (const Listed& entry : listed) {
        std::string path = relative + "/" + entry.name;
        if (entry.name == "." || entry.name == "..") continue;
        if (entry.isFolder ? !CopyFolderOut(volume, entry.reference, path, host)
                           : !(std::ofstream(host + "/" + path, std::ios::binary) << NtfsReadFile(volume, path)))
            return false;
    }
    return true;
}

}  // namespace

bool NtfsCopyOut(ntfs_volume* volume, const std::string& hostFolder) {
    return CopyFolderOut(volume, FILE_root, "", hostFolder);
}
