// Shared pieces of the fuzz targets: a reader that takes typed fields off the
// front of the input, a check that aborts (so the fuzzer keeps the input), and
// the simulated Windows with one file served from memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <cctype>
#include <map>
#include <string>

#include "common/Shared.h"
#include "sim/SimPlatform.h"

// A broken rule is a crash to the fuzzer: it keeps the input that broke it.
#define FUZZ_CHECK(condition)                                                        \
    do {                                                                             \
        if (!(condition)) {                                                          \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            abort();                                                                 \
        }                                                                            \
    } while (0)

// Fields taken off the front of the input; past its end every field reads as
// zero or empty, so any input is a valid one.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Empty() const { return at_ >= size_; }
    size_t Remaining() const { return size_ - at_; }
    const uint8_t* Rest() const { return data_ + at_; }

    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t U16() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
    uint32_t U32() { return static_cast<uint32_t>(U16()) | (static_cast<uint32_t>(U16()) << 16); }
    // Up to maxLength bytes, the length given by a 16-bit prefix.
    std::string Text(size_t maxLength) {
        size_t length = U16() % (maxLength + 1);
        if (length > Remaining()) length = Remaining();
        std::string text(reinterpret_cast<const char*>(data_ + at_), length);
        at_ += length;
        return text;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// The simulated Windows with the files of the fuzzed code kept in memory:
// every file and descriptor call answers as the sim's (and so the C
// runtime's binary mode) do, without a round trip through the host's
// disk for every input. Folders are the Windows and temporary folders only.
// refuseChanges makes every delete, move and open for writing fail.
class MemoryDiskSim : public SimPlatform {
public:
    bool refuseChanges = false;
    int changes = 0;  // deletes, moves, copies and opens for writing tried

    void PutFile(const std::string& path, const uint8_t* bytes, size_t length) {
        files_[Key(path)].assign(reinterpret_cast<const char*>(bytes), length);
    }
    void PutFile(const std::string& path, const std::string& bytes) { files_[Key(path)] = bytes; }
    bool Has(const std::string& path) const { return files_.count(Key(path)) != 0; }
    std::string Content(const std::string& path) const {
        auto found = files_.find(Key(path));
        return found == files_.end() ? std::string() : found->second;
    }
    void Clear() {
        char folder[260];
        folders_[0] = WindowsDirectory(folder, sizeof folder) < sizeof folder ? Key(folder) : "";
        folders_[1] = TempPath(folder, sizeof folder) < sizeof folder ? Key(folder) : "";
        files_.clear();
        descriptors_.clear();
        refuseChanges = false;
        changes = 0;
    }
    int OpenCount() const { return static_cast<int>(descriptors_.size()); }

    uint32_t GetAttributes(const char* path) override {
        if (IsFolder(path)) return kAttrDirectory;
        return Has(path) ? kAttrArchive : kInvalidAttributes;
    }
    bool SetAttributes(const char* path, uint32_t) override { return Has(path) && !refuseChanges; }
    bool DeletePath(const char* path) override {
        ++changes;
        return !refuseChanges && !IsOpen(path) && files_.erase(Key(path)) != 0;
    }
    bool MovePath(const char* from, const char* to) override { return MovePathEx(from, to, 0); }
    bool MovePathEx(const char* from, const char* to, uint32_t flags) override {
        ++changes;
        if (to == nullptr) return (flags & kMoveDelayUntilReboot) != 0;
        if (refuseChanges || !Has(from) || IsFolder(to) || IsOpen(from) || IsOpen(to)) return false;
        if (Has(to) && (flags & kMoveReplaceExisting) == 0) return false;
        std::string bytes = Content(from);
        files_.erase(Key(from));
        files_[Key(to)] = bytes;
        return true;
    }
    bool CopyPath(const char* from, const char* to, bool failIfExists) override {
        ++changes;
        if (refuseChanges || !Has(from) || IsFolder(to) || (failIfExists && Has(to))) return false;
        files_[Key(to)] = Content(from);
        return true;
    }
    int FileAccess(const char* path, int) override { return Has(path) || IsFolder(path) ? 0 : -1; }

    int FileOpen(const char* path, int flags, int) override {
        bool writes = (flags & 3) != kOpenReadOnly || (flags & (kOpenCreate | kOpenTruncate)) != 0;
        if (writes) ++changes;
        if (path == nullptr || IsFolder(path) || (writes && refuseChanges)) return -1;
        bool exists = Has(path);
        if (!exists && (flags & kOpenCreate) == 0) return -1;
        if (exists && (flags & kOpenCreate) && (flags & kOpenExclusive)) return -1;
        std::string& bytes = files_[Key(path)];
        if (flags & kOpenTruncate) bytes.clear();
        int fd = nextFd_++;
        descriptors_[fd] = {&bytes, 0, (flags & kOpenAppend) != 0};
        return fd;
    }
    int32_t FileLength(int fd) override {
        Descriptor* open = Find(fd);
        return open == nullptr ? -1 : static_cast<int32_t>(open->bytes->size());
    }
    int32_t FileSeek(int fd, int32_t offset, int origin) override {
        Descriptor* open = Find(fd);
        if (open == nullptr || origin < kSeekSet || origin > kSeekEnd) return -1;
        int64_t base = origin == kSeekSet ? 0 : origin == kSeekCur ? open->position
                                                                   : static_cast<int64_t>(open->bytes->size());
        int64_t target = base + offset;
        if (target < 0 || target > 0x7FFFFFFF) return -1;
        open->position = target;
        return static_cast<int32_t>(target);
    }
    int FileRead(int fd, void* buffer, uint32_t count) override {
        Descriptor* open = Find(fd);
        if (open == nullptr) return -1;
        const std::string& bytes = *open->bytes;
        char* out = static_cast<char*>(buffer);
        uint32_t used = 0;
        while (used < count && open->position < static_cast<int64_t>(bytes.size()))
            out[used++] = bytes[static_cast<size_t>(open->position++)];
        return static_cast<int>(used);
    }
    int FileWrite(int fd, const void* buffer, uint32_t count) override {
        Descriptor* open = Find(fd);
        if (open == nullptr) return -1;
        std::string& bytes = *open->bytes;
        std::string data(static_cast<const char*>(buffer), count);
        if (open->append) open->position = static_cast<int64_t>(bytes.size());
        size_t at = static_cast<size_t>(open->position);
        if (bytes.size() < at) bytes.resize(at, '\0');
        bytes.replace(at, std::min(data.size(), bytes.size() - at), data);
        open->position += static_cast<int64_t>(data.size());
        return static_cast<int>(count);
    }
    int FileClose(int fd) override { return descriptors_.erase(fd) != 0 ? 0 : -1; }

private:
    struct Descriptor {
        std::string* bytes;  // the file's bytes in files_, whose nodes stay put
        int64_t position;
        bool append;
    };

    static std::string Key(const std::string& path) {
        std::string key = path;
        for (char& c : key) c = c == '/' ? '\\' : static_cast<char>(toupper(static_cast<unsigned char>(c)));
        while (key.size() > 3 && key.back() == '\\') key.pop_back();
        return key;
    }
    bool IsFolder(const char* path) const {
        if (path == nullptr) return false;
        std::string key = Key(path);
        return key == folders_[0] || key == folders_[1] || (key.size() == 3 && key[1] == ':');
    }
    // An open file can be neither deleted nor moved, as on Windows.
    bool IsOpen(const char* path) const {
        auto found = files_.find(Key(path));
        if (found == files_.end()) return false;
        for (const auto& open : descriptors_)
            if (open.second.bytes == &found->second) return true;
        return false;
    }
    Descriptor* Find(int fd) {
        auto found = descriptors_.find(fd);
        return found == descriptors_.end() ? nullptr : &found->second;
    }

    std::string folders_[2];  // the Windows and temporary folders, as keys (set by Clear)
    std::map<std::string, std::string> files_;
    std::map<int, Descriptor> descriptors_;
    int nextFd_ = 0x7000;
};

// The one simulated Windows of a fuzz target, made and installed at its first
// input, and gone (with its temporary folder) when the target ends.
inline MemoryDiskSim& FuzzSim() {
    static MemoryDiskSim sim;
    static PlatformScope seam(sim.Parts());
    return sim;
}

// The same, emptied, with the state of a new process: where each input starts.
inline MemoryDiskSim& FreshFuzzSim() {
    MemoryDiskSim& sim = FuzzSim();
    ClearProcessState();
    sim.Clear();
    return sim;
}
