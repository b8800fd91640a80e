#include "platform/ntfs/NtfsDrives.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <unordered_map>

#include "platform/ntfs/NtfsDriveState.h"
#include "platform/ntfs/NtfsVolume.h"
#include "platform/host/Win32Answers.h"
#include "platform/host/WindowsNames.h"

namespace {

// What FindFirstFile shows of a file's attributes; and what SetFileAttributes may change.
const uint32_t kShownAttributes = 0x7FA7;
const uint32_t kSettableAttributes = 0x3127;

bool Spellable(const std::string& name) {
    for (unsigned char c : name)
        if (c < 0x20 || strchr("<>:\"|?*", c) != nullptr) return false;
    return true;
}

// A folder's index entries as ntfs_readdir hands them out (in no order).
struct RawEntry {
    NtfsName name;
    int type;
    uint64_t reference;
};

int CollectEntry(void* entries, const ntfschar* name, const int length, const int type, const s64,
                 const MFT_REF reference, const unsigned) {
    static_cast<std::vector<RawEntry>*>(entries)->push_back({NtfsName(name, name + length), type, reference});
    return 0;
}

bool IsDotName(const NtfsName& name) {
    return (name.size() == 1 || name.size() == 2) && le16_to_cpu(name[0]) == '.' &&
           le16_to_cpu(name.back()) == '.';
}

// An 8.3 name fits the entry's field and names a file of the folder; a
// longer one, or one that would lead elsewhere, is no DOS name.
void SetShortName(char* field, size_t size, const std::string& dosName) {
    field[0] = '\0';
    if (dosName.empty() || dosName.size() >= size || !Spellable(dosName) ||
        dosName.find_first_of("\\/") != std::string::npos ||
        dosName.find_first_not_of('.') == std::string::npos)
        return;
    memcpy(field, dosName.c_str(), dosName.size() + 1);
}

// A file name attribute whose name lies inside the attribute; null for one
// that does not (the record comes from a disk nobody checked).
const FILE_NAME_ATTR* FileNameOf(const ATTR_RECORD* record) {
    uint32_t length = le32_to_cpu(record->length);
    uint32_t valueAt = le16_to_cpu(record->value_offset);
    uint32_t valueLength = le32_to_cpu(record->value_length);
    if (record->non_resident || valueAt > length || valueLength > length - valueAt ||
        valueLength < offsetof(FILE_NAME_ATTR, file_name))
        return nullptr;
    const FILE_NAME_ATTR* name = reinterpret_cast<const FILE_NAME_ATTR*>(reinterpret_cast<const u8*>(record) + valueAt);
    size_t needed = offsetof(FILE_NAME_ATTR, file_name) + name->file_name_length * sizeof(ntfschar);
    return needed <= valueLength ? name : nullptr;
}

// The name a file record carries in folder: exact, or equal without regard
// to case; dosOnly: its 8.3 name there. Empty when it has none.
NtfsName NameIn(ntfs_inode* inode, uint64_t folder, const std::string& given, bool dosOnly) {
    NtfsName wanted;
    if (!dosOnly && !ToNtfsName(given, &wanted)) return NtfsName();
    AttributeSearch search(ntfs_attr_get_search_ctx(inode, nullptr));
    NtfsName found;
    while (search && ntfs_attr_lookup(AT_FILE_NAME, AT_UNNAMED, 0, CASE_SENSITIVE, 0, nullptr, 0, search.get()) == 0) {
        const FILE_NAME_ATTR* name = FileNameOf(search->attr);
        if (name == nullptr || MREF_LE(name->parent_directory) != MREF(folder)) continue;
        NtfsName stored(name->file_name_length);
        memcpy(stored.data(), reinterpret_cast<const u8*>(name) + offsetof(FILE_NAME_ATTR, file_name),
               stored.size() * sizeof(ntfschar));
        if (dosOnly) {
            if (name->file_name_type == FILE_NAME_DOS) return stored;
            continue;
        }
        ntfs_volume* volume = inode->vol;
        if (stored == wanted) return stored;
        if (found.empty() && ntfs_names_are_equal(stored.data(), stored.size(), wanted.data(), wanted.size(),
                                                  IGNORE_CASE, volume->upcase, volume->upcase_len))
            found = stored;
    }
    return found;
}

// A listed entry as FindFirstFile shows it; false when it cannot be shown.
bool MakeItem(NtfsVolume* volume, const RawEntry& entry, const NtfsName* dos, NtfsDrives::Item* item,
              std::string* unlisted);

}  // namespace

uint32_t AttributesOf(ntfs_inode* inode) {
    uint32_t attributes = le32_to_cpu(inode->flags) & kShownAttributes;
    if (inode->mrec->flags & MFT_RECORD_IS_DIRECTORY) attributes |= kAttrDirectory;
    if (attributes & ~kAttrNormal) attributes &= ~kAttrNormal;
    return attributes == 0 ? kAttrNormal : attributes;
}

bool SetAttributesOf(ntfs_inode* inode, uint32_t attributes) {
    le32 value = cpu_to_le32(attributes & kSettableAttributes);
    return ntfs_set_ntfs_attrib(inode, reinterpret_cast<const char*>(&value), sizeof value, 0) == 0;
}

uint64_t ReferenceOf(ntfs_inode* inode) { return MK_MREF(inode->mft_no, le16_to_cpu(inode->mrec->sequence_number)); }

namespace {

// unlisted: the name of an entry that no Windows path can name.
bool MakeItem(NtfsVolume* volume, const RawEntry& entry, const NtfsName* dos, NtfsDrives::Item* item,
              std::string* unlisted) {
    Inode file = OpenInode(volume->Handle(), entry.reference);
    if (!file) return false;
    item->attributes = AttributesOf(file.get());
    // A walk lists every subfolder soon: its index is read ahead meanwhile.
    if ((item->attributes & (kAttrDirectory | kAttrReparsePoint)) == kAttrDirectory) {
        DataStream index(ntfs_attr_open(file.get(), AT_INDEX_ALLOCATION, NTFS_INDEX_I30, 4));
        volume->Prefetch(index.get());
    }
    item->size = item->attributes & kAttrDirectory ? 0 : static_cast<uint64_t>(file->data_size);
    item->reference = entry.reference;
    std::string dosName;
    if (dos != nullptr) FromNtfsName(dos->data(), static_cast<int>(dos->size()), &dosName);
    SetShortName(item->shortName, sizeof item->shortName, dosName);
    // A long name no Windows path can spell is listed under its short one.
    bool spelled = FromNtfsName(entry.name.data(), static_cast<int>(entry.name.size()), &item->name);
    if (spelled && Addressable(item->name.c_str())) return true;
    if (item->shortName[0] == '\0') {
        *unlisted = spelled ? item->name : "(a name that is no valid Unicode)";
        return false;
    }
    item->name = item->shortName;
    item->shortName[0] = '\0';
    return true;
}

}  // namespace

NtfsDrives::NtfsDrives(uint32_t* lastError) : lastError_(lastError) {}

NtfsDrives::~NtfsDrives() { UnmapAll(); }

void NtfsDrives::MapDrive(char letter, NtfsVolume* volume) {
    int index = toupper(static_cast<unsigned char>(letter)) - 'A';
    if (index >= 0 && index < 26) drives_[index] = volume;
}

void NtfsDrives::UnmapAll() {
    descriptors_.clear();
    searches_.clear();
    lastListing_.reset();
    for (NtfsVolume*& drive : drives_) drive = nullptr;
}

bool NtfsDrives::Serves(const char* path) const {
    int index = path != nullptr ? DriveIndexOf(std::string(path, strnlen(path, 2))) : -1;
    return index >= 0 && drives_[index] != nullptr && drives_[index]->IsOpen();
}

bool NtfsDrives::Refuse(int32_t error) {
    *lastError_ = static_cast<uint32_t>(error);
    return false;
}

uint32_t NtfsDrives::Missing(const Place& place) {
    *lastError_ = place.folderExists ? kErrorFileNotFound : kErrorPathNotFound;
    return *lastError_;
}

bool NtfsDrives::Gone(uint64_t folder, uint64_t file) const {
    return !gone_.empty() && gone_.count({MREF(folder), MREF(file)}) != 0;
}

bool NtfsDrives::InUse(uint64_t file) const {
    for (const auto& open : descriptors_)
        if (MREF(open.second->reference) == MREF(file)) return true;
    return false;
}

// --- paths -----------------------------------------------------------------------

NtfsVolume* NtfsDrives::VolumeOf(const std::string& path, std::vector<std::string>* components) const {
    int index = DriveIndexOf(path);
    NtfsVolume* volume = index < 0 ? nullptr : drives_[index];
    if (volume == nullptr || !volume->IsOpen()) return nullptr;
    *components = PathParts(path);
    return volume;
}

bool NtfsDrives::Lookup(NtfsVolume* volume, uint64_t folder, const std::string& name, uint64_t* found) {
    // A file of the folder listed last, named as listed: no index lookup.
    const Listing* listed = lastListing_.get();
    if (listed != nullptr && listed->volume == volume && MREF(listed->folder) == MREF(folder) &&
        listed->generation == generation_) {
        for (const Item& item : listed->items) {
            if (item.name == name || (item.shortName[0] != '\0' && name == item.shortName)) {
                *found = item.reference;
                return true;
            }
        }
    }
    NtfsName wanted;
    Inode directory = OpenInode(volume->Handle(), folder);
    if (!directory || !ToNtfsName(name, &wanted)) return false;
    u64 reference = ntfs_inode_lookup_by_name(directory.get(), wanted.data(), static_cast<int>(wanted.size()));
    if (reference == static_cast<u64>(-1)) {
        IgnoringCase anyCase(volume->Handle());
        reference = ntfs_inode_lookup_by_name(directory.get(), wanted.data(), static_cast<int>(wanted.size()));
    }
    // The file system's own files are not the program's to see.
    if (reference == static_cast<u64>(-1) || MREF(reference) < FILE_first_user || Gone(folder, reference)) return false;
    *found = reference;
    return true;
}

bool NtfsDrives::Resolve(const std::string& path, Place* place) {
    std::vector<std::string> components;
    place->volume = VolumeOf(path, &components);
    if (place->volume == nullptr) return false;
    ntfs_volume* volume = place->volume->Handle();
    uint64_t folder = FILE_root;
    // Folder by folder; a link on the way makes the path name nothing.
    for (size_t i = 0; i + 1 < components.size(); ++i) {
        uint64_t next = 0;
        if (!Lookup(place->volume, folder, components[i], &next)) return true;
        Inode inode = OpenInode(volume, next);
        uint32_t attributes = inode ? AttributesOf(inode.get()) : 0;
        if ((attributes & kAttrDirectory) == 0 || (attributes & kAttrReparsePoint) != 0) return true;
        folder = next;
    }
    place->folderExists = true;
    place->folder = folder;
    Inode inode;
    if (components.empty()) {
        place->isRoot = true;
        inode = OpenInode(volume, FILE_root);
    } else {
        place->name = components.back();
        uint64_t found = 0;
        if (Lookup(place->volume, folder, place->name, &found)) inode = OpenInode(volume, found);
    }
    if (inode) {
        place->reference = ReferenceOf(inode.get());
        place->attributes = AttributesOf(inode.get());
        place->size = static_cast<uint64_t>(inode->data_size);
    }
    return true;
}

// Only a file of a drive may change, never a drive's root or a link.
bool NtfsDrives::MayChange(const Place& place) {
    if (!place.Exists() || place.isRoot || place.IsLink()) return false;
    return dryRun_ || place.volume->Writable();
}

// --- listings ----------------------------------------------------------------------

uint32_t NtfsDrives::DriveType(const char* root) {
    std::vector<std::string> components;
    return VolumeOf(root ? root : "", &components) != nullptr && components.empty() ? kDriveFixed : kDriveNoRootDir;
}

std::shared_ptr<const NtfsDrives::Listing> NtfsDrives::ListFolder(NtfsVolume* volume, uint64_t folder,
                                                                   bool driveRoot, const std::string& windowsFolder) {
    if (lastListing_ && lastListing_->volume == volume && MREF(lastListing_->folder) == MREF(folder) &&
        lastListing_->generation == generation_)
        return lastListing_;
    ntfs_volume* handle = volume->Handle();
    std::vector<RawEntry> raw;
    Inode directory = OpenInode(handle, folder);
    s64 position = 0;
    if (!directory || ntfs_readdir(directory.get(), &position, &raw, CollectEntry) != 0) return nullptr;
    // Listed as the folder's index orders it: by the volume's upper-case table.
    std::sort(raw.begin(), raw.end(), [handle](const RawEntry& a, const RawEntry& b) {
        return ntfs_names_full_collate(a.name.data(), a.name.size(), b.name.data(), b.name.size(), CASE_SENSITIVE,
                                       handle->upcase, handle->upcase_len) < 0;
    });
    auto listing = std::make_shared<Listing>();
    listing->volume = volume;
    listing->folder = folder;
    listing->generation = generation_;
    listing->items.reserve(raw.size() + 2);
    if (!driveRoot) {
        Item dot = {".", "", AttributesOf(directory.get()), 0, ReferenceOf(directory.get())};
        listing->items.push_back(dot);
        dot.name = "..";
        listing->items.push_back(dot);
    }
    directory.reset();  // one open copy of a record at a time: the library caches closed ones
    // A long name's 8.3 name is an index entry of its own, of the same file.
    std::unordered_map<uint64_t, const NtfsName*> dosNames;
    for (const RawEntry& entry : raw)
        if (entry.type == FILE_NAME_DOS) dosNames[MREF(entry.reference)] = &entry.name;
    for (const RawEntry& entry : raw) {
        if (entry.type == FILE_NAME_DOS || IsDotName(entry.name) || MREF(entry.reference) < FILE_first_user ||
            Gone(folder, entry.reference))
            continue;
        Item item;
        std::string unlisted;
        const NtfsName* dos = entry.type == FILE_NAME_WIN32 ? dosNames[MREF(entry.reference)] : nullptr;
        if (MakeItem(volume, entry, dos, &item, &unlisted)) listing->items.push_back(std::move(item));
        else if (!unlisted.empty() && onUnlistedEntry) onUnlistedEntry(windowsFolder, unlisted.c_str());
    }
    lastListing_ = listing;
    return listing;
}

bool NtfsDrives::NextMatch(Search* search, FindEntry* entry) {
    const std::vector<Item>& items = search->listing->items;
    while (search->next < items.size()) {
        const Item& item = items[search->next++];
        if (search->only != 0 && (item.reference != search->only || item.name == "." || item.name == "..")) continue;
        if (!search->namePattern.empty() && !NameMatches(search->namePattern, item.name.c_str())) continue;
        FillFindEntry(item.name, item.shortName, item.attributes, item.size, entry);  // the name fits: Addressable
        return true;
    }
    return false;
}

SearchHandle NtfsDrives::FindFirst(const char* pattern, FindEntry* entry) {
    std::string text = pattern ? pattern : "";
    std::string windowsFolder, namePattern;
    SplitFindPattern(text, &windowsFolder, &namePattern);
    Place folder;
    if (windowsFolder.empty() || !Resolve(windowsFolder, &folder) || !folder.Exists() || !folder.IsFolder() ||
        folder.IsLink()) {
        Refuse(kErrorPathNotFound);
        return kNoSearch;
    }
    std::unique_ptr<Search> search(new Search);
    search->listing = ListFolder(folder.volume, folder.reference, folder.isRoot, windowsFolder);
    if (!search->listing) {
        Refuse(kErrorPathNotFound);
        return kNoSearch;
    }
    if (!HasWildcard(namePattern)) {
        // One named entry: the listing's entry of that file, whatever the case.
        Place named;
        if (!Resolve(text, &named) || !named.Exists()) {
            Refuse(kErrorFileNotFound);
            return kNoSearch;
        }
        search->only = named.reference;
    } else if (!EveryName(namePattern)) {
        search->namePattern = WildcardPattern(namePattern);
    }
    if (!NextMatch(search.get(), entry)) {
        Refuse(kErrorFileNotFound);
        return kNoSearch;
    }
    SearchHandle handle = nextHandle_++;
    searches_[handle] = std::move(search);
    return handle;
}

bool NtfsDrives::FindNext(SearchHandle handle, FindEntry* entry) {
    auto found = searches_.find(handle);
    if (found == searches_.end()) return Refuse(kErrorInvalidHandle);
    return NextMatch(found->second.get(), entry) || Refuse(kErrorNoMoreFiles);
}

void NtfsDrives::FindEnd(SearchHandle handle) { searches_.erase(handle); }

// --- attributes, deletion, moves ----------------------------------------------------

uint32_t NtfsDrives::GetAttributes(const char* path) {
    Place place;
    if (!Resolve(path ? path : "", &place) || !place.Exists()) {
        Missing(place);
        return kInvalidAttributes;
    }
    return place.attributes;
}

bool NtfsDrives::SetAttributes(const char* path, uint32_t attributes) {
    Place place;
    if (!Resolve(path ? path : "", &place) || !place.Exists()) return Refuse(static_cast<int32_t>(Missing(place)));
    if (!MayChange(place) || InUse(place.reference)) return Refuse(kErrorAccessDenied);
    if (dryRun_) return true;
    Inode inode = OpenInode(place.volume->Handle(), place.reference);
    bool set = inode && SetAttributesOf(inode.get(), attributes);
    set = ntfs_inode_close(inode.release()) == 0 && set;
    Changed();
    return set || Refuse(kErrorAccessDenied);
}

// Removes the name the place was reached by (and the 8.3 name paired with
// it); the file goes with its last name.
bool NtfsDrives::RemoveName(const Place& place) {
    ntfs_volume* volume = place.volume->Handle();
    Inode directory = OpenInode(volume, place.folder);
    Inode file = OpenInode(volume, place.reference);
    NtfsName stored = file ? NameIn(file.get(), place.folder, place.name, false) : NtfsName();
    Changed();
    if (!directory || stored.empty()) return false;
    // ntfs_delete closes both records, whatever it answers.
    return ntfs_delete(volume, nullptr, file.release(), directory.release(), stored.data(),
                       static_cast<u8>(stored.size())) == 0;
}

bool NtfsDrives::AddName(const Place& file, const Place& target) {
    ntfs_volume* volume = file.volume->Handle();
    Inode directory = OpenInode(volume, target.folder);
    Inode inode = OpenInode(volume, file.reference);
    NtfsName name;
    Changed();
    return directory && inode && ToNtfsName(target.name, &name) &&
           !ntfs_forbidden_chars(name.data(), static_cast<int>(name.size()), TRUE) &&
           ntfs_link(inode.get(), directory.get(), name.data(), static_cast<u8>(name.size())) == 0;
}

bool NtfsDrives::DeletePath(const char* path) {
    Place place;
    if (!Resolve(path ? path : "", &place) || !place.Exists()) return Refuse(static_cast<int32_t>(Missing(place)));
    // As on Windows: no folders, and no read-only files until their attributes are reset.
    if (place.IsFolder() || (place.attributes & kAttrReadOnly) || !MayChange(place)) return Refuse(kErrorAccessDenied);
    if (InUse(place.reference)) return Refuse(kErrorSharingViolation);
    if (dryRun_) {
        gone_.insert({MREF(place.folder), MREF(place.reference)});
        Changed();
        return true;
    }
    return RemoveName(place) || Refuse(kErrorAccessDenied);
}

bool NtfsDrives::MovePathEx(const char* from, const char* to, uint32_t flags) {
    // Nothing starts from this volume while it is open here, so nothing would
    // carry out a move or deletion left for the next start.
    if (flags & kMoveDelayUntilReboot) return Refuse(kErrorAccessDenied);
    if (to == nullptr || *to == '\0') return Refuse(kErrorInvalidParameter);
    Place source, target;
    if (!Resolve(from ? from : "", &source) || !source.Exists()) return Refuse(static_cast<int32_t>(Missing(source)));
    if (!Resolve(to, &target) || target.volume != source.volume) return Refuse(kErrorNotSameDevice);
    if (!target.folderExists) return Refuse(kErrorPathNotFound);
    if (source.IsFolder() || !MayChange(source) || target.isRoot) return Refuse(kErrorAccessDenied);
    if (InUse(source.reference)) return Refuse(kErrorSharingViolation);
    bool replaces = target.Exists() && target.reference != source.reference;
    if (replaces && !(flags & kMoveReplaceExisting)) return Refuse(kErrorAlreadyExists);
    if (replaces && (target.IsFolder() || target.IsLink() || (target.attributes & kAttrReadOnly)))
        return Refuse(kErrorAccessDenied);
    if (replaces && InUse(target.reference)) return Refuse(kErrorSharingViolation);
    if (!replaces && target.Exists() && target.folder == source.folder && target.name == source.name) return true;
    if (dryRun_) {
        gone_.insert({MREF(source.folder), MREF(source.reference)});
        Changed();
        return true;
    }
    if (replaces && !RemoveName(target)) return Refuse(kErrorAccessDenied);
    if (!AddName(source, target)) return Refuse(kErrorAccessDenied);
    // The new name first, then the old one goes: the file is never without a name.
    if (!RemoveName(source)) {
        Place added;
        if (Resolve(to, &added)) RemoveName(added);
        return Refuse(kErrorAccessDenied);
    }
    return true;
}

bool NtfsDrives::CopyPath(const char* from, const char* to, bool failIfExists) {
    Place source, target;
    if (!Resolve(from ? from : "", &source) || !source.Exists() || source.IsFolder() || source.IsLink())
        return Refuse(static_cast<int32_t>(Missing(source)));
    if (!Resolve(to ? to : "", &target) || !target.folderExists) return Refuse(kErrorPathNotFound);
    if (target.Exists() && failIfExists) return Refuse(kErrorFileExists);
    if (target.Exists() && (target.IsFolder() || target.IsLink() || (target.attributes & kAttrReadOnly)))
        return Refuse(kErrorAccessDenied);
    if (dryRun_) return true;
    int in = FileOpen(from, kOpenReadOnly | kOpenBinary, 0);
    int out = in < 0 ? -1 : FileOpen(to, kOpenWriteOnly | kOpenCreate | kOpenTruncate | kOpenBinary, kPermWrite);
    bool copied = out >= 0;
    char buffer[65536];
    for (int got; copied && (got = FileRead(in, buffer, sizeof buffer)) != 0;)
        copied = got > 0 && FileWrite(out, buffer, static_cast<uint32_t>(got)) == got;
    if (out >= 0 && FileClose(out) != 0) copied = false;
    if (in >= 0) FileClose(in);
    return copied || Refuse(kErrorAccessDenied);
}

// --- names ----------------------------------------------------------------------------

uint32_t NtfsDrives::ShortPath(const char* longPath, char* buffer, uint32_t size) {
    std::string path = longPath ? longPath : "";
    std::vector<std::string> components;
    NtfsVolume* volume = VolumeOf(path, &components);
    Place place;
    if (volume == nullptr || !Resolve(path, &place) || !place.Exists()) {
        Refuse(kErrorFileNotFound);
        return 0;
    }
    // Each part by its 8.3 name where it has one, as given where it has none.
    std::string shortened = path.substr(0, 2);
    uint64_t folder = FILE_root;
    for (const std::string& component : components) {
        uint64_t found = 0;
        Lookup(volume, folder, component, &found);
        Inode inode = OpenInode(volume->Handle(), found);
        NtfsName dos = inode ? NameIn(inode.get(), folder, "", true) : NtfsName();
        std::string dosName;
        shortened += "\\";
        bool hasDosName = !dos.empty() && FromNtfsName(dos.data(), static_cast<int>(dos.size()), &dosName);
        shortened += hasDosName ? dosName : component;
        folder = found;
    }
    if (components.empty()) shortened += "\\";
    return CopyOut(shortened, buffer, size);
}
