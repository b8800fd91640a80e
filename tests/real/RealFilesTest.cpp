// The engine over real input that nobody here wrote: the program files of the
// Wine installation and the MinGW runtime, real hosts files, and the registry
// of a real Wine prefix. None of it may be taken for the trojan, and none of
// it may change. A source that is missing on this machine is skipped with the
// reason; CORDAFIX_REAL_PE_DIRS (folders, ':' between them) adds folders, and
// CORDAFIX_REAL_WINE_PREFIX names the prefix (tests/wine/run_real_files.sh
// gives the template prefix of the Wine tests).
//
// The real files are never handed to anything that could change them: the
// walk sees links to them in a folder of its own, its one checker only
// matches, and every file's bytes are compared before and after.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "common/Shared.h"
#include "engine/FileMatcher.h"
#include "engine/ScanRun.h"
#include "engine/ScanServices.h"
#include "engine/WalkTree.h"
#include "repair/Autostart.h"
#include "repair/HostsCheck.h"
#include "sim/SimPlatform.h"
#include "support/SimTest.h"

namespace {

// Folders whose every file is a program file of the Wine installation.
const char* const kWineFolders[] = {
    "/usr/lib/wine/i386-windows",           "/usr/lib/i386-linux-gnu/wine/i386-windows",
    "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows", "/usr/lib/wine/x86_64-windows",
    "/opt/wine-stable/lib/wine/i386-windows", "/opt/wine-stable/lib64/wine/x86_64-windows",
};
// Folders that hold the MinGW runtime's DLLs among other files.
const char* const kMingwFolders[] = {"/usr/i686-w64-mingw32/lib", "/usr/x86_64-w64-mingw32/lib",
                                     "/usr/lib/gcc/i686-w64-mingw32", "/usr/lib/gcc/x86_64-w64-mingw32"};

bool IsFolder(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool EndsWithNoCase(const std::string& text, const char* tail) {
    size_t length = strlen(tail);
    return text.size() >= length && strcasecmp(text.c_str() + text.size() - length, tail) == 0;
}

// Regular files below folder (recursive when deep), those ending in onlyTail when given.
void CollectFiles(const std::string& folder, bool deep, const char* onlyTail, std::vector<std::string>* files) {
    DIR* listing = opendir(folder.c_str());
    if (listing == nullptr) return;
    std::vector<std::string> names;
    while (dirent* entry = readdir(listing)) names.push_back(entry->d_name);
    closedir(listing);
    for (const std::string& name : names) {
        if (name == "." || name == "..") continue;
        std::string path = folder + "/" + name;
        struct stat info;
        if (lstat(path.c_str(), &info) != 0) continue;
        if (S_ISDIR(info.st_mode)) {
            if (deep) CollectFiles(path, deep, onlyTail, files);
        } else if (S_ISREG(info.st_mode) && (onlyTail == nullptr || EndsWithNoCase(name, onlyTail))) {
            files->push_back(path);
        }
    }
}

std::vector<std::string> RealProgramFiles() {
    std::vector<std::string> files;
    for (const char* folder : kWineFolders) CollectFiles(folder, false, nullptr, &files);
    for (const char* folder : kMingwFolders) CollectFiles(folder, true, ".dll", &files);
    if (const char* extra = getenv("CORDAFIX_REAL_PE_DIRS")) {
        std::stringstream list(extra);
        std::string folder;
        while (std::getline(list, folder, ':'))
            if (!folder.empty()) CollectFiles(folder, true, nullptr, &files);
    }
    return files;
}

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// A hash of the file's bytes, eight at a time (some of the files are large).
uint64_t Fingerprint(const std::string& path) {
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) return 0;
    uint64_t hash = 1469598103934665603ull;
    static uint64_t block[8192];
    size_t got;
    while ((got = fread(block, 1, sizeof block, file)) > 0) {
        memset(reinterpret_cast<char*>(block) + got, 0, sizeof block - got);
        for (size_t i = 0; i < (got + 7) / 8; ++i) hash = ((hash ^ block[i]) * 1099511628211ull) ^ (hash >> 29);
        hash ^= got;
    }
    fclose(file);
    return hash;
}

// The real detection table with the length test taken out, so that every
// file has its headers read and both patterns looked for where they would be.
std::vector<SignatureRecord> AnyLengthTable() {
    std::vector<SignatureRecord> table(SignatureTable, SignatureTable + kSignatureCount + 1);
    for (int i = 0; i < kSignatureCount; ++i) table[i].sizeTest = 3;
    return table;
}

int Detections = 0;
int MatchOnlyChecker(const char*, const char* path) {
    if (MatchFile(path) >= 0) ++Detections;
    return 1;
}
const FileCheckerEntry kMatchOnlyList[] = {{"W32/Drovak.Trojan", MatchOnlyChecker}, {nullptr, nullptr}};
void NoMemoryPass() {}
int NothingToKill(const char*) { return 0; }
int NoRepair(const char*) { return 1; }
int NoSchedule(const char*) { return 0; }
int NoRestart() { return 0; }

class RealFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProcessState();
        Shared.MainWindowHandle = sim.mainWindow;
    }
    void TearDown() override { ResetProcessState(); }

    SimPlatform sim;
    PlatformScope seam{sim.Parts()};
};

TEST_F(RealFilesTest, WineAndMingwProgramFilesMatchNoRecordAndStayAsTheyWere) {
    std::vector<std::string> files = RealProgramFiles();
    if (files.empty()) GTEST_SKIP() << "no Wine installation and no MinGW runtime DLLs on this machine";

    // Drive D: holds a link to every file, 200 to a folder, so the walk and
    // the matcher read the real bytes where they lie.
    std::string drive = sim.AddDrive('D');
    std::map<std::string, uint64_t> before;
    for (size_t i = 0; i < files.size(); ++i) {
        std::string folder = drive + "/set" + std::to_string(i / 200);
        mkdir(folder.c_str(), 0755);
        std::string link = folder + "/" + std::to_string(i) + "_" + files[i].substr(files[i].rfind('/') + 1);
        ASSERT_EQ(0, symlink(files[i].c_str(), link.c_str())) << link;
        before[files[i]] = Fingerprint(files[i]);
    }

    // The scan as the program runs it over every fixed drive, with the real table.
    ActiveScanServices = {NoMemoryPass, NothingToKill, NoRepair, NoSchedule, NoRestart};
    ActiveFileCheckerList = kMatchOnlyList;
    CopyText(Shared.ScanTarget, sizeof Shared.ScanTarget, "!:");
    Shared.ActionCode = kActionLeave;
    Detections = 0;
    ScanRun();
    EXPECT_EQ(static_cast<int>(files.size()), Shared.FilesScanned);
    EXPECT_EQ(0, Detections);
    EXPECT_EQ(0, Shared.FilesInfected);

    // Every record, whatever the file's length: the headers of each PE file
    // are read and both patterns looked for at the record's places.
    std::vector<SignatureRecord> anyLength = AnyLengthTable();
    ActiveSignatureTable = anyLength.data();
    int readable = 0, matches = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        std::string path = "D:\\set" + std::to_string(i / 200) + "\\" + std::to_string(i) + "_" +
                           files[i].substr(files[i].rfind('/') + 1);
        if (MatchFile(path.c_str()) >= 0) {
            ++matches;
            ADD_FAILURE() << files[i] << " matches record " << MatchFile(path.c_str());
        }
        int fd = sim.FileOpen(path.c_str(), kOpenReadOnly | kOpenBinary, 0);
        ASSERT_GE(fd, 0) << files[i];
        if (ReadPeFileHeader(fd) && ReadPeSections(fd)) ++readable;
        sim.FileClose(fd);
    }
    EXPECT_EQ(0, matches);

    int changed = 0;
    for (const auto& file : before) changed += Fingerprint(file.first) != file.second;
    EXPECT_EQ(0, changed);
    printf("real program files: %zu scanned (%d with PE headers the matcher reads), %d matches, %d changed\n",
           files.size(), readable, matches + Detections, changed);
    EXPECT_GT(readable, static_cast<int>(files.size() * 9 / 10)) << "most of them are PE files";
}

// --- hosts files ---------------------------------------------------------------

std::string PrefixFolder() {
    const char* prefix = getenv("CORDAFIX_REAL_WINE_PREFIX");
    return prefix != nullptr && IsFolder(prefix) ? prefix : "";
}

TEST_F(RealFilesTest, RealHostsFilesNeverMatch) {
    std::vector<std::string> sources;
    for (const char* path : {"/etc/hosts", "/usr/share/wine/hosts"})
        if (access(path, R_OK) == 0) sources.push_back(path);
    std::string prefix = PrefixFolder();
    std::string prefixHosts = prefix + "/drive_c/windows/system32/drivers/etc/hosts";
    if (!prefix.empty() && access(prefixHosts.c_str(), R_OK) == 0) sources.push_back(prefixHosts);
    if (sources.empty()) GTEST_SKIP() << "no hosts file on this machine";

    sim.AddDrive('C');
    const char kHosts[] = "C:\\WINDOWS\\SYSTEM32\\drivers\\etc\\hosts";
    Shared.ActionCode = kActionDelete;
    // A copy is checked: the check would delete a hosts file that matched.
    for (const std::string& source : sources) {
        std::string bytes = ReadWhole(source);
        ASSERT_TRUE(sim.WriteFile(kHosts, bytes));
        EXPECT_EQ(0, CheckAndCleanEncodedFile(kHosts)) << source;
        EXPECT_EQ(bytes, sim.ReadFile(kHosts)) << source;
    }
    EXPECT_EQ(0, Shared.FilesInfected);
    EXPECT_TRUE(sim.logLines.empty());
    printf("real hosts files: %zu checked, 0 matches, 0 changed\n", sources.size());
}

// --- registry of a Wine prefix ----------------------------------------------------

struct RegValueText {
    std::string name;
    uint32_t type;
    std::vector<uint8_t> data;
};

// One quoted text of a Wine registry file, escapes resolved, from text[*at]
// (just after the opening quote) to the closing quote.
std::string Unquote(const std::string& text, size_t* at) {
    std::string out;
    while (*at < text.size() && text[*at] != '"') {
        char c = text[(*at)++];
        if (c != '\\' || *at >= text.size()) {
            out += c;
            continue;
        }
        char e = text[(*at)++];
        if (e == 'n') out += '\n';
        else if (e == 'r') out += '\r';
        else if (e == 't') out += '\t';
        else if (e == '0') out += '\0';
        else if (e == 'x') {
            unsigned value = 0;
            while (*at < text.size() && isxdigit(static_cast<unsigned char>(text[*at])))
                value = value * 16 + static_cast<unsigned>(strtol(text.substr((*at)++, 1).c_str(), nullptr, 16));
            out += value < 256 ? static_cast<char>(value) : '?';  // ANSI stands in for the wide text
        } else out += e;
    }
    ++*at;
    return out;
}

std::vector<uint8_t> HexBytes(const std::string& text) {
    std::vector<uint8_t> bytes;
    std::stringstream list(text);
    std::string item;
    while (std::getline(list, item, ','))
        if (!item.empty()) bytes.push_back(static_cast<uint8_t>(strtoul(item.c_str(), nullptr, 16)));
    return bytes;
}

// Every value of a Wine registry file (the prefix's system.reg, user.reg):
// strings ("..." and str(N):"..."), dword:, hex: and hex(N): over continued lines.
std::vector<RegValueText> ReadRegistryExport(const std::string& path) {
    std::vector<RegValueText> values;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && line.back() == '\\') {
            std::string more;
            if (!std::getline(in, more)) break;
            line.pop_back();
            line += more.substr(more.find_first_not_of(' ') == std::string::npos ? more.size()
                                                                                 : more.find_first_not_of(' '));
        }
        if (line.empty() || (line[0] != '"' && line[0] != '@')) continue;
        RegValueText value;
        size_t at = 1;
        if (line[0] == '"') value.name = Unquote(line, &at);
        if (at >= line.size() || line[at] != '=') continue;
        std::string data = line.substr(at + 1);
        if (data.compare(0, 6, "dword:") == 0) {
            uint32_t number = static_cast<uint32_t>(strtoul(data.c_str() + 6, nullptr, 16));
            value.type = kRegDword;
            value.data.assign(reinterpret_cast<uint8_t*>(&number), reinterpret_cast<uint8_t*>(&number) + 4);
        } else if (data.compare(0, 4, "hex:") == 0 || data.compare(0, 4, "hex(") == 0) {
            value.type = data[3] == ':' ? kRegBinary : static_cast<uint32_t>(strtoul(data.c_str() + 4, nullptr, 16));
            value.data = HexBytes(data.substr(data.find(':') + 1));
        } else if (data[0] == '"' || data.compare(0, 4, "str(") == 0) {
            value.type = data[0] == '"' ? kRegSz : static_cast<uint32_t>(strtoul(data.c_str() + 4, nullptr, 10));
            size_t quote = data.find('"') + 1;
            std::string text = Unquote(data, &quote);
            value.data.assign(text.begin(), text.end());
            value.data.push_back(0);
        } else {
            continue;
        }
        values.push_back(value);
    }
    return values;
}

class RealRegistryTest : public RealFilesTest {
protected:
    // Every value of the prefix's registry goes through the cleanup of both
    // autostart keys, a few hundred at a time, for the infected file path.
    // Returns the values removed.
    std::vector<std::string> CleanWithRealValues(const std::vector<RegValueText>& values, const char* path) {
        std::vector<std::string> removed;
        const size_t kBatch = 250;
        for (size_t start = 0; start < values.size(); start += kBatch) {
            for (const char* key : {kRunKeyPath, kRunServicesKeyPath}) sim.KeyDelete(kHkeyLocalMachine, key);
            for (size_t i = start; i < values.size() && i < start + kBatch; ++i) {
                const char* key = i % 2 ? kRunServicesKeyPath : kRunKeyPath;
                sim.SetRegistryBytes(kHkeyLocalMachine, key, values[i].name, values[i].data, values[i].type);
            }
            std::vector<std::string> names[2] = {sim.RegistryValueNames(kHkeyLocalMachine, kRunKeyPath),
                                                 sim.RegistryValueNames(kHkeyLocalMachine, kRunServicesKeyPath)};
            CopyText(Shared.CurrentFilePath, sizeof Shared.CurrentFilePath, path);
            RepairAfterDetection("W32/Drovak.Trojan");
            const char* keys[2] = {kRunKeyPath, kRunServicesKeyPath};
            for (int k = 0; k < 2; ++k)
                for (const std::string& name : names[k])
                    if (!sim.HasRegistryValue(kHkeyLocalMachine, keys[k], name)) removed.push_back(name);
        }
        return removed;
    }
};

TEST_F(RealRegistryTest, NoValueOfARealPrefixIsTakenForAnUnrelatedInfectedFile) {
    std::string prefix = PrefixFolder();
    if (prefix.empty()) GTEST_SKIP() << "no Wine prefix given (CORDAFIX_REAL_WINE_PREFIX)";
    std::vector<RegValueText> values;
    for (const char* file : {"/system.reg", "/user.reg", "/userdef.reg"}) {
        std::vector<RegValueText> more = ReadRegistryExport(prefix + file);
        values.insert(values.end(), more.begin(), more.end());
    }
    if (values.empty()) GTEST_SKIP() << "the prefix " << prefix << " has no registry files";
    sim.SetVersion(2, 5, 1);
    sim.SetEnvironment("SystemRoot", "C:\\windows");
    sim.SetEnvironment("ProgramFiles", "C:\\Program Files");

    std::vector<std::string> removed = CleanWithRealValues(values, "C:\\windows\\system32\\drovak32.exe");
    EXPECT_TRUE(removed.empty()) << removed.size() << " removed, the first: " << removed.front();
    EXPECT_TRUE(sim.logLines.empty());

    // The prefix's own autostart value goes when its program is the infected file.
    std::vector<RegValueText> autostart;
    for (const RegValueText& value : values)
        if (value.name == "winemenubuilder") autostart.push_back(value);
    std::vector<std::string> launcher;
    if (!autostart.empty())
        launcher = CleanWithRealValues(values, "C:\\windows\\system32\\winemenubuilder.exe");
    printf("real registry values: %zu read from %s, %zu removed for an unrelated file, %zu for winemenubuilder.exe\n",
           values.size(), prefix.c_str(), removed.size(), launcher.size());
    if (!autostart.empty()) {
        EXPECT_NE(launcher.end(), std::find(launcher.begin(), launcher.end(), "winemenubuilder"));
    }
}

}  // namespace
