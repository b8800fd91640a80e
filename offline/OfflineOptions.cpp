#include "offline/OfflineOptions.h"

#include <getopt.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "engine/SignatureTable.h"

const char kOfflineUsage[] =
    "Usage: cordafix-offline [--dry-run] [--report FILE] [--drive LETTER=PATH]... [--partition [LETTER=]N]...\n"
    "                        [--force] WINDOWS-VOLUME\n"
    "\n"
    "Cleans a Windows system volume of W32/Drovak.Trojan: every file on WINDOWS-VOLUME (drive C:) and on\n"
    "the drives given with --drive is checked, infected files are deleted, and the autostart values,\n"
    "service keys and hosts file that belong to them are repaired in the volume's own registry hives\n"
    "(Windows\\System32\\config\\SOFTWARE and SYSTEM).\n"
    "\n"
    "A volume (or PATH) is a folder where it is mounted on this system, or a block device or image file\n"
    "that holds NTFS, read in this program through libntfs-3g without mounting it (the fastest way).\n"
    "For a whole disk, --partition names the partition that holds the volume.\n"
    "\n"
    "  -n, --dry-run              change nothing; tell what would be done\n"
    "  -r, --report FILE          also write a report in JSON to FILE\n"
    "  -d, --drive LETTER=PATH    scan PATH as drive LETTER: as well (D to Z; may be repeated)\n"
    "  -p, --partition [LETTER=]N the volume of drive LETTER: (C: when left out) is partition N of\n"
    "                             the whole disk given for it\n"
    "  -f, --force                scan a volume without Windows\\System32\\config (no registry repair)\n"
    "  -h, --help                 show this text\n"
    "  -V, --version              show the version\n"
    "\n"
    "Exit status: 0 nothing found; 1 everything found was removed; 2 something found was left, or\n"
    "something could not be checked (always so after a dry run that found something); 3 could not\n"
    "run, nothing was changed (no Windows volume, mounted read-only, Windows hibernated);\n"
    "130 interrupted.\n";

std::string OfflineVersionLine() {
    char line[128];
    snprintf(line, sizeof line, "cordafix-offline 1.0 (Cordafix Ver 1.0, %d detection records)", kSignatureCount);
    return line;
}

namespace {

bool AddDrive(const char* text, OfflineOptions* options, std::string* message) {
    char letter = static_cast<char>(toupper(static_cast<unsigned char>(text[0])));
    if (letter < 'A' || letter > 'Z' || text[1] != '=' || text[2] == '\0') {
        *message = std::string("--drive wants LETTER=PATH, not ") + text;
        return false;
    }
    if (letter < 'D') {
        *message = std::string("--drive ") + letter + ": " +
                   (letter == 'C' ? "C: is the Windows volume itself" : "A: and B: are never scanned");
        return false;
    }
    for (const auto& drive : options->drives) {
        if (drive.first == letter) {
            *message = std::string("--drive ") + letter + ": given twice";
            return false;
        }
    }
    options->drives.push_back({letter, text + 2});
    return true;
}

// "2" (drive C:) or "D=3".
bool AddPartition(const char* text, OfflineOptions* options, std::string* message) {
    char letter = 'C';
    if (isalpha(static_cast<unsigned char>(text[0])) && text[1] == '=') {
        letter = static_cast<char>(toupper(static_cast<unsigned char>(text[0])));
        text += 2;
    }
    char* end = nullptr;
    long number = strtol(text, &end, 10);
    if (!isdigit(static_cast<unsigned char>(text[0])) || *end != '\0' || number < 1 || number > 256 || letter < 'C') {
        *message = std::string("--partition wants N or LETTER=N (a partition number from 1), not ") + text;
        return false;
    }
    if (!options->partitions.emplace(letter, static_cast<int>(number)).second) {
        *message = std::string("--partition ") + letter + ": given twice";
        return false;
    }
    return true;
}

}  // namespace

OptionsOutcome ParseOfflineOptions(int argc, char** argv, OfflineOptions* options, std::string* message) {
    static const struct option kLong[] = {
        {"dry-run", no_argument, nullptr, 'n'}, {"report", required_argument, nullptr, 'r'},
        {"drive", required_argument, nullptr, 'd'}, {"partition", required_argument, nullptr, 'p'},
        {"force", no_argument, nullptr, 'f'},   {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},
        {nullptr, 0, nullptr, 0},
    };
    optind = 1;
    opterr = 0;
    int option;
    while ((option = getopt_long(argc, argv, "nr:d:p:fhV", kLong, nullptr)) != -1) {
        switch (option) {
            case 'n': options->dryRun = true; break;
            case 'r': options->reportPath = optarg; break;
            case 'f': options->force = true; break;
            case 'h': return OptionsOutcome::kHelp;
            case 'V': return OptionsOutcome::kVersion;
            case 'd':
                if (!AddDrive(optarg, options, message)) return OptionsOutcome::kError;
                break;
            case 'p':
                if (!AddPartition(optarg, options, message)) return OptionsOutcome::kError;
                break;
            default:
                *message = std::string("unknown option or missing argument: ") + argv[optind - 1];
                return OptionsOutcome::kError;
        }
    }
    if (argc - optind != 1) {
        *message = argc - optind == 0 ? "the Windows volume to scan is missing" : "give exactly one Windows volume";
        return OptionsOutcome::kError;
    }
    options->volume = argv[optind];
    for (const auto& partition : options->partitions) {
        bool named = partition.first == 'C';
        for (const auto& drive : options->drives) named = named || drive.first == partition.first;
        if (!named) {
            *message = std::string("--partition ") + partition.first + "=: no --drive " + partition.first + "= given";
            return OptionsOutcome::kError;
        }
    }
    return OptionsOutcome::kRun;
}
