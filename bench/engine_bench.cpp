// The engine's scan of a host folder, timed: the folder is drive D: and the
// scan run walks every fixed drive, as the program does after SCAN, with the
// action "leave alone" so the samples stay.
//
//   bench_engine sim|thin DIR REPEATS [FOUND]
//
// sim:  the simulated Windows of the tests, as it is (case-blind path
//       resolution, sorted listings, descriptor bookkeeping).
// thin: the same, with the calls of the walk and the matcher (listing, open,
//       length, seek, read, close, the message queue) answered straight by the
//       host in fixed buffers, so the figure is the engine's own cost over
//       the host's file system.
//
// Prints "files=N seconds=S infected=I lines=L statuses=T allocs=A
// clean_check_allocs=C detection_allocs=D" for the fastest of REPEATS runs;
// the last three count heap allocations of a whole run, of the file checker on
// the files it found clean, and of the file checker on detections (the fewest
// over the runs).
// FOUND, when given, receives the host path of each detection of the last
// run, one a line.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "common/Shared.h"
#include "engine/Disposition.h"
#include "engine/ScanRun.h"
#include "engine/ScanServices.h"
#include "engine/WalkTree.h"
#include "sim/SimPlatform.h"
#include "ui/logic/ProgramServices.h"

// Heap allocations of the whole process, to show what a scan allocates.
static long HeapAllocations = 0;

// GCC cannot see that these replace the global pair, so it pairs malloc and
// free across them and warns.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(size_t size) {
    ++HeapAllocations;
    void* block = malloc(size ? size : 1);
    if (block == nullptr) abort();
    return block;
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { free(block); }
void operator delete[](void* block) noexcept { free(block); }
void operator delete(void* block, size_t) noexcept { free(block); }
void operator delete[](void* block, size_t) noexcept { free(block); }

namespace {

const int32_t kActionLeaveAlone = 103;
const char kLeftAloneSuffix[] = " not disinfected as per user's selection";

// A main window that takes every line and status text and only counts them,
// so the run costs what the engine costs, not what a list of strings costs.
class CountingSim : public SimPlatform {
public:
    long lines = 0;
    long statuses = 0;
    FILE* found = nullptr;

    intptr_t Notify(uintptr_t window, uint32_t notification, const char* text) override {
        if (window != mainWindow) return SimPlatform::Notify(window, notification, text);
        if (notification == kNotifyLogLine) {
            ++lines;
            if (found != nullptr) NoteDetection(text);
        } else if (notification == kNotifyStatusText) {
            ++statuses;
        }
        return 0;
    }

private:
    // A detection line is "<path>     <name> not disinfected as per user's selection".
    void NoteDetection(const char* line) {
        if (strstr(line, kLeftAloneSuffix) == nullptr) return;
        const char* gap = strstr(line, "     ");
        if (gap == nullptr) return;
        std::string windowsPath(line, static_cast<size_t>(gap - line));
        fprintf(found, "%s\n", HostPath(windowsPath).c_str());
    }
};

// The walk's and the matcher's calls answered by the host directly for the
// one mapped drive; anything else goes to the simulated Windows.
class ThinSim : public CountingSim {
public:
    explicit ThinSim(const char* hostRoot) { snprintf(root_, sizeof root_, "%s", hostRoot); }

    SearchHandle FindFirst(const char* pattern, FindEntry* entry) override {
        char folder[4096];
        if (!ListingFolder(pattern, folder, sizeof folder)) return CountingSim::FindFirst(pattern, entry);
        int slot = FreeSlot();
        if (slot < 0) return kNoSearch;
        searches_[slot] = opendir(folder);
        if (searches_[slot] == nullptr) return kNoSearch;
        SearchHandle handle = kThinSearchBase + slot;
        if (!FindNext(handle, entry)) {
            FindEnd(handle);
            return kNoSearch;
        }
        return handle;
    }

    bool FindNext(SearchHandle handle, FindEntry* entry) override {
        DIR* listing = ThinSearch(handle);
        if (listing == nullptr) return CountingSim::FindNext(handle, entry);
        while (dirent* item = readdir(listing)) {
            struct stat info;
            size_t length = strlen(item->d_name);
            // A name FindFirstFileA could not hand out is not listed.
            if (length >= sizeof entry->name ||
                fstatat(dirfd(listing), item->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            memcpy(entry->name, item->d_name, length + 1);
            entry->shortName[0] = '\0';
            entry->attributes = S_ISDIR(info.st_mode) ? kAttrDirectory : kAttrArchive;
            if (S_ISLNK(info.st_mode)) entry->attributes |= kAttrReparsePoint;
            uint64_t size = S_ISDIR(info.st_mode) ? 0 : static_cast<uint64_t>(info.st_size);
            entry->sizeHigh = static_cast<uint32_t>(size >> 32);
            entry->sizeLow = static_cast<uint32_t>(size);
            return true;
        }
        return false;
    }

    void FindEnd(SearchHandle handle) override {
        DIR* listing = ThinSearch(handle);
        if (listing == nullptr) return CountingSim::FindEnd(handle);
        closedir(listing);
        searches_[handle - kThinSearchBase] = nullptr;
    }

    int FileOpen(const char* path, int flags, int permission) override {
        char host[4096];
        if ((flags & 3) != kOpenReadOnly || (flags & (kOpenCreate | kOpenTruncate)) != 0 ||
            !MapPath(path, host, sizeof host))
            return CountingSim::FileOpen(path, flags, permission);
        int fd = open(host, O_RDONLY | O_CLOEXEC);
        if (fd < 0) return -1;
        if (fd >= kMaxThinFds) {
            close(fd);
            return CountingSim::FileOpen(path, flags, permission);
        }
        thinFd_[fd] = true;
        return fd;
    }

    int32_t FileLength(int fd) override {
        if (!IsThin(fd)) return CountingSim::FileLength(fd);
        struct stat info;
        if (fstat(fd, &info) != 0 || info.st_size > 0x7FFFFFFF) return -1;
        return static_cast<int32_t>(info.st_size);
    }

    int32_t FileSeek(int fd, int32_t offset, int origin) override {
        if (!IsThin(fd)) return CountingSim::FileSeek(fd, offset, origin);
        int how = origin == kSeekSet ? SEEK_SET : origin == kSeekCur ? SEEK_CUR : SEEK_END;
        off_t at = lseek(fd, offset, how);
        return at < 0 || at > 0x7FFFFFFF ? -1 : static_cast<int32_t>(at);
    }

    int FileRead(int fd, void* buffer, uint32_t count) override {
        if (!IsThin(fd)) return CountingSim::FileRead(fd, buffer, count);
        ssize_t got = read(fd, buffer, count);
        return got < 0 ? -1 : static_cast<int>(got);
    }

    int FileClose(int fd) override {
        if (!IsThin(fd)) return CountingSim::FileClose(fd);
        thinFd_[fd] = false;
        return close(fd);
    }

    bool PeekOneMessage(QueuedMessage*) override { return false; }

private:
    static const SearchHandle kThinSearchBase = 0x40000000;
    static const int kMaxSearches = 128;
    static const int kMaxThinFds = 1024;

    char root_[4096];
    DIR* searches_[kMaxSearches] = {};
    bool thinFd_[kMaxThinFds] = {};

    bool IsThin(int fd) const { return fd >= 0 && fd < kMaxThinFds && thinFd_[fd]; }

    DIR* ThinSearch(SearchHandle handle) const {
        if (handle < kThinSearchBase || handle >= kThinSearchBase + kMaxSearches) return nullptr;
        return searches_[handle - kThinSearchBase];
    }

    int FreeSlot() const {
        for (int i = 0; i < kMaxSearches; ++i)
            if (searches_[i] == nullptr) return i;
        return -1;
    }

    // "D:\a\b" -> "<root>/a/b"; false for other drives or when it does not fit.
    bool MapPath(const char* path, char* host, size_t size) const {
        if ((path[0] != 'D' && path[0] != 'd') || path[1] != ':') return false;
        int written = snprintf(host, size, "%s%s", root_, path + 2);
        if (written < 0 || static_cast<size_t>(written) >= size) return false;
        for (char* c = host + strlen(root_); *c; ++c)
            if (*c == '\\') *c = '/';
        return true;
    }

    // The folder of a listing pattern ending in "\*.*" or "\*"; the walk
    // uses no other wildcard.
    bool ListingFolder(const char* pattern, char* folder, size_t size) const {
        const char* slash = strrchr(pattern, '\\');
        if (slash == nullptr || (strcmp(slash, "\\*.*") != 0 && strcmp(slash, "\\*") != 0)) return false;
        if (!MapPath(pattern, folder, size)) return false;
        folder[strlen(folder) - strlen(slash) + 1] = '\0';  // keep the separator
        return true;
    }
};

// Allocations made inside the file checker, apart for files it found clean
// (the matcher's whole path) and for detections (repair and result line).
long AllocationsInCleanChecks = 0;
long AllocationsInDetections = 0;

int CountingChecker(const char* tag, const char* path) {
    long before = HeapAllocations;
    int dealt = CheckAndCleanFile(tag, path);
    (dealt != 0 ? AllocationsInDetections : AllocationsInCleanChecks) += HeapAllocations - before;
    return dealt;
}

// The program's one checker, wrapped to count.
const FileCheckerEntry CountingCheckerList[] = {
    {"W32/Drovak.Trojan", CountingChecker},
    {nullptr, nullptr},
};

void NoMemoryPass() {}
int NoRestart() { return 0; }

double TimedScan(CountingSim* sim, long* allocations) {
    ClearProcessState();
    AllocationsInCleanChecks = AllocationsInDetections = 0;
    sim->lines = sim->statuses = 0;
    CopyText(Shared.ScanTarget, sizeof Shared.ScanTarget, "!:");
    Shared.MainWindowHandle = sim->mainWindow;
    Shared.ActionCode = kActionLeaveAlone;
    long before = HeapAllocations;
    auto start = std::chrono::steady_clock::now();
    ScanRun();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    *allocations = HeapAllocations - before;
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4 || argc > 5 || (strcmp(argv[1], "sim") != 0 && strcmp(argv[1], "thin") != 0)) {
        fprintf(stderr, "usage: %s sim|thin DIR REPEATS [FOUND]\n", argv[0]);
        return 2;
    }
    int repeats = atoi(argv[3]);
    if (repeats < 1) repeats = 1;

    std::unique_ptr<CountingSim> owned(strcmp(argv[1], "thin") == 0 ? new ThinSim(argv[2]) : new CountingSim);
    CountingSim* sim = owned.get();
    sim->MapDrive('D', argv[2]);
    sim->SetVersion(2, 5, 1);  // an NT 5.1 system
    PlatformScope seam(sim->Parts());
    // The bench times the file scan; the memory pass has no processes to look
    // at on the simulated Windows, and nothing here may restart anything.
    ActiveScanServices = ProgramScanServices;
    ActiveScanServices.runMemoryPass = NoMemoryPass;
    ActiveScanServices.restartMachine = NoRestart;
    ActiveFileCheckerList = CountingCheckerList;

    double best = -1;
    // The detection list of the last run allocates: the fewest counts.
    long fewestAllocations = -1, fewestInClean = -1, fewestInDetections = -1;
    for (int run = 0; run < repeats; ++run) {
        if (run == repeats - 1 && argc == 5) {
            sim->found = fopen(argv[4], "w");
            if (sim->found == nullptr) {
                perror(argv[4]);
                return 1;
            }
        }
        long allocations;
        double seconds = TimedScan(sim, &allocations);
        if (best < 0 || seconds < best) best = seconds;
        if (fewestAllocations < 0 || allocations < fewestAllocations) fewestAllocations = allocations;
        if (fewestInClean < 0 || AllocationsInCleanChecks < fewestInClean) fewestInClean = AllocationsInCleanChecks;
        if (fewestInDetections < 0 || AllocationsInDetections < fewestInDetections)
            fewestInDetections = AllocationsInDetections;
    }
    if (sim->found != nullptr) fclose(sim->found);
    printf("files=%d seconds=%.6f infected=%d lines=%ld statuses=%ld allocs=%ld clean_check_allocs=%ld "
           "detection_allocs=%ld\n",
           Shared.FilesScanned, best, Shared.FilesInfected, sim->lines, sim->statuses, fewestAllocations, fewestInClean,
           fewestInDetections);
    return 0;
}
