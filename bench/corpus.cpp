// Corpus and rule files for the speed benchmark (bench/run.sh):
//
//   bench_corpus plant ROOT           one synthetic sample per detection record,
//                                     and one near miss of it, spread over the
//                                     folders below ROOT; prints each sample's
//                                     path (not the near misses'), one a line
//   bench_corpus small ROOT COUNT     COUNT small text files (never PE files)
//                                     in folders of 50 under ROOT
//   bench_corpus rules YAR LDB        the detection table as exact YARA rules and
//                                     as a logical-signature database
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/SampleLayout.h"
#include "engine/SignatureTable.h"

namespace {

const int kSmallPerFolder = 50;

bool WriteWhole(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* out = fopen(path.c_str(), "wb");
    if (out == nullptr) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return fclose(out) == 0 && ok;
}

// Every folder below root (root included), sorted, so the spread is repeatable.
void ListFolders(const std::string& root, std::vector<std::string>* folders) {
    folders->push_back(root);
    DIR* listing = opendir(root.c_str());
    if (listing == nullptr) return;
    std::vector<std::string> subs;
    while (dirent* entry = readdir(listing)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
        std::string path = root + "/" + entry->d_name;
        struct stat info;
        if (lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) subs.push_back(path);
    }
    closedir(listing);
    std::sort(subs.begin(), subs.end());
    for (const std::string& sub : subs) ListFolders(sub, folders);
}

int Plant(const std::string& root) {
    std::vector<std::string> folders;
    ListFolders(root, &folders);
    int planted = 0, nearMisses = 0, entryShared = 0;
    for (int i = 0; SignatureTable[i].name[0] != '\0'; ++i) {
        std::vector<uint8_t> file;
        SampleLayout layout;
        if (!BuildSample(SignatureTable[i], &file, &layout)) {
            fprintf(stderr, "record %d: no sample can be laid out for it\n", i);
            continue;
        }
        // Spread over the tree with a stride, so samples sit at every depth.
        const std::string& folder = folders[(static_cast<size_t>(i) * 37 + 11) % folders.size()];
        char name[64];
        snprintf(name, sizeof name, "/setup%02d.exe", i);
        std::string path = folder + name;
        if (!WriteWhole(path, file)) {
            perror(path.c_str());
            return 1;
        }
        printf("%s\n", path.c_str());
        ++planted;
        if (layout.entryWithPatterns) ++entryShared;
        // Its near miss: same length and headers, the second pattern's last
        // byte changed, so every scanner has to read it and must not report it.
        file[layout.secondFileOffset + 19] ^= 0xFF;
        const std::string& otherFolder = folders[(static_cast<size_t>(i) * 53 + 5) % folders.size()];
        snprintf(name, sizeof name, "/update%02d.exe", i);
        if (!WriteWhole(otherFolder + name, file)) {
            perror((otherFolder + name).c_str());
            return 1;
        }
        ++nearMisses;
    }
    fprintf(stderr, "planted %d samples and %d near misses\n", planted, nearMisses);
    fprintf(stderr, "samples with the entry point in the patterns' section: %d\n", entryShared);
    return 0;
}

int Small(const std::string& root, int count) {
    unsigned seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    const char* extensions[] = {".txt", ".ini", ".log", ".htm", ".cfg"};
    std::string folder;
    for (int i = 0; i < count; ++i) {
        if (i % kSmallPerFolder == 0) {
            char sub[32];
            snprintf(sub, sizeof sub, "/d%03d", i / kSmallPerFolder);
            folder = root + sub;
            if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
                perror(folder.c_str());
                return 1;
            }
        }
        // 64 bytes to 8 KiB of text: below every record's length.
        size_t size = 64 + (next() * 3u) % 8129u;
        std::vector<uint8_t> text(size);
        for (size_t k = 0; k < size; ++k) text[k] = (k % 61 == 60) ? '\n' : static_cast<uint8_t>('a' + next() % 26);
        char name[32];
        snprintf(name, sizeof name, "/note%04d%s", i, extensions[i % 5]);
        if (!WriteWhole(folder + name, text)) {
            perror((folder + name).c_str());
            return 1;
        }
    }
    return 0;
}

void Hex(FILE* out, const uint8_t* bytes, const char* separator) {
    for (int i = 0; i < 20; ++i) fprintf(out, "%s%02x", i == 0 ? "" : separator, bytes[i]);
}

// "pe.entry_point_raw + 5" or "pe.entry_point_raw - 5".
void EntryDistance(FILE* out, int32_t distance) {
    if (distance < 0)
        fprintf(out, "pe.entry_point_raw - %lld", -static_cast<long long>(distance));
    else
        fprintf(out, "pe.entry_point_raw + %d", distance);
}

// "EP+5" or "EP-5": the logical-signature offsets count file bytes from the
// entry point's file offset, which equals the record's image distance only
// when the entry point and the pattern lie in the same section.
void EpOffset(FILE* out, int32_t distance) {
    if (distance < 0)
        fprintf(out, "EP-%lld", -static_cast<long long>(distance));
    else
        fprintf(out, "EP+%d", distance);
}

// Detection names hold "/" and ".": keep letters and digits only for identifiers.
std::string Identifier(const SignatureRecord& record, int index) {
    char text[96];
    snprintf(text, sizeof text, "rec%02d_%.*s", index, static_cast<int>(sizeof record.name), record.name);
    std::string id;
    for (const char* c = text; *c; ++c) id += (isalnum(static_cast<unsigned char>(*c)) ? *c : '_');
    return id;
}

int Rules(const char* yaraPath, const char* ldbPath) {
    FILE* yara = fopen(yaraPath, "w");
    FILE* ldb = fopen(ldbPath, "w");
    if (yara == nullptr || ldb == nullptr) {
        perror("rules");
        return 1;
    }
    fprintf(yara, "import \"pe\"\n\n");
    int count = 0;
    for (int i = 0; SignatureTable[i].name[0] != '\0'; ++i, ++count) {
        const SignatureRecord& record = SignatureTable[i];
        std::string id = Identifier(record, i);
        fprintf(yara, "rule %s\n{\n    meta:\n        detection = \"%.*s\"\n    strings:\n        $a = { ", id.c_str(),
                static_cast<int>(sizeof record.name), record.name);
        Hex(yara, record.firstPattern, " ");
        fprintf(yara, " }\n        $b = { ");
        Hex(yara, record.secondPattern, " ");
        fprintf(yara, " }\n    condition:\n        filesize == %d and\n        $a at pe.rva_to_offset(", record.fileSize);
        EntryDistance(yara, record.firstOffset);
        fprintf(yara, ") and\n        $b at pe.rva_to_offset(");
        EntryDistance(yara, record.secondOffset);
        fprintf(yara, ")\n}\n\n");

        fprintf(ldb, "%s;Engine:51-255,Target:1,FileSize:%d-%d;0&1;", id.c_str(), record.fileSize, record.fileSize);
        EpOffset(ldb, record.firstOffset);
        fprintf(ldb, ":");
        Hex(ldb, record.firstPattern, "");
        fprintf(ldb, ";");
        EpOffset(ldb, record.secondOffset);
        fprintf(ldb, ":");
        Hex(ldb, record.secondPattern, "");
        fprintf(ldb, "\n");
    }
    bool ok = fclose(yara) == 0;
    ok = fclose(ldb) == 0 && ok;
    fprintf(stderr, "wrote %d rules\n", count);
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "plant") == 0) return Plant(argv[2]);
    if (argc == 4 && strcmp(argv[1], "small") == 0) return Small(argv[2], atoi(argv[3]));
    if (argc == 4 && strcmp(argv[1], "rules") == 0) return Rules(argv[2], argv[3]);
    fprintf(stderr, "usage: %s plant ROOT | small ROOT COUNT | rules YAR LDB\n", argv[0]);
    return 2;
}
