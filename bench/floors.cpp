// Lower bounds for a scan of a folder tree, to set the engine's figure against:
//
//   bench_floors walk DIR REPEATS   list the tree and read each entry's size
//                                   (nothing is opened)
//   bench_floors open DIR REPEATS   the same walk, and each file opened, its
//                                   first 1 KiB read, closed
//   bench_floors walk2 DIR REPEATS  each folder listed twice with every entry's
//                                   size read, first for its files, then for
//                                   its subfolders: the listings a two-pass
//                                   walk (files first, then subfolders) makes
//
// Prints "files=N seconds=S" for the fastest of REPEATS runs.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Tally {
    long files = 0;
    long long bytes = 0;  // sizes read (walk) or bytes read (open): keeps the work observable
};

// Walks the tree below the open folder descriptor; openFiles adds the open,
// 1 KiB read and close of each regular file.
void WalkFolder(int folder, bool openFiles, Tally* tally) {
    DIR* listing = fdopendir(folder);
    if (listing == nullptr) {
        close(folder);
        return;
    }
    while (dirent* entry = readdir(listing)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
        struct stat info;
        if (fstatat(dirfd(listing), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(info.st_mode)) {
            int sub = openat(dirfd(listing), entry->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (sub >= 0) WalkFolder(sub, openFiles, tally);
            continue;
        }
        if (!S_ISREG(info.st_mode)) continue;
        ++tally->files;
        if (!openFiles) {
            tally->bytes += info.st_size;
            continue;
        }
        int fd = openat(dirfd(listing), entry->d_name, O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        char head[1024];
        ssize_t got = read(fd, head, sizeof head);
        if (got > 0) tally->bytes += got;
        close(fd);
    }
    closedir(listing);
}

// Two listings per folder: files first, then each subfolder in turn.
void WalkFolderTwice(int folder, Tally* tally) {
    DIR* listing = fdopendir(folder);
    if (listing == nullptr) {
        close(folder);
        return;
    }
    for (int pass = 0; pass < 2; ++pass) {
        rewinddir(listing);
        while (dirent* entry = readdir(listing)) {
            struct stat info;
            if (fstatat(dirfd(listing), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
            if (pass == 0) {
                if (!S_ISREG(info.st_mode)) continue;
                ++tally->files;
                tally->bytes += info.st_size;
            } else if (S_ISDIR(info.st_mode) && strcmp(entry->d_name, ".") != 0 &&
                       strcmp(entry->d_name, "..") != 0) {
                int sub = openat(dirfd(listing), entry->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                if (sub >= 0) WalkFolderTwice(sub, tally);
            }
        }
    }
    closedir(listing);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 || (strcmp(argv[1], "walk") != 0 && strcmp(argv[1], "open") != 0 &&
                      strcmp(argv[1], "walk2") != 0)) {
        fprintf(stderr, "usage: %s walk|open|walk2 DIR REPEATS\n", argv[0]);
        return 2;
    }
    bool openFiles = strcmp(argv[1], "open") == 0;
    bool twice = strcmp(argv[1], "walk2") == 0;
    int repeats = atoi(argv[3]);
    if (repeats < 1) repeats = 1;
    double best = -1;
    Tally tally;
    for (int run = 0; run < repeats; ++run) {
        int root = open(argv[2], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (root < 0) {
            perror(argv[2]);
            return 1;
        }
        tally = Tally();
        auto start = std::chrono::steady_clock::now();
        if (twice)
            WalkFolderTwice(root, &tally);
        else
            WalkFolder(root, openFiles, &tally);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (best < 0 || seconds < best) best = seconds;
    }
    printf("files=%ld seconds=%.6f bytes=%lld\n", tally.files, best, tally.bytes);
    return 0;
}
