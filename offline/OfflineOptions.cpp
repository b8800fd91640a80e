#include "offline/OfflineOptions.h"

#include <getopt.h>

#include <cctype>
#include <cstdio>

#include "engine/SignatureTable.h"

const char kOfflineUsage[] =
    "Usage: cordafix-offline [--dry-run] [--report FILE] [--drive LETTER=PATH]... [--force] WINDOWS-VOLUME\n"
    "\n"
    "Cleans a Windows system volume mounted on this system of W32/Drovak.Trojan: every file on\n"
    "WINDOWS-VOLUME (drive C:) and on the folders given with --drive is checked, infected files are\n"
    "deleted, and the autostart values, service keys and hosts file that belong to them are repaired\n"
    "in the volume's own registry hives (Windows\\System32\\config\\SOFTWARE and SYSTEM).\n"
    "\n"
    "  -n, --dry-run              change nothing; tell what would be done\n"
    "  -r, --report FILE          also write a report in JSON to FILE\n"
    "  -d, --drive LETTER=PATH    scan PATH as drive LETTER: as well (D to Z; may be repeated)\n"
    "  -f, --force                scan a folder without Windows\\System32\\config (no registry repair)\n"
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

}  // namespace

OptionsOutcome ParseOfflineOptions(int argc, char** argv, OfflineOptions* options, std::string* message) {
    static const struct option kLong[] = {
        {"dry-run", no_argument, nullptr, 'n'}, {"report", required_argument, nullptr, 'r'},
        {"drive", required_argument, nullptr, 'd'}, {"force", no_argument, nullptr, 'f'},
        {"help", no_argument, nullptr, 'h'},    {"version", no_argument, nullptr, 'V'},
        {nullptr, 0, nullptr, 0},
    };
    optind = 1;
    opterr = 0;
    int option;
    while ((option = getopt_long(argc, argv, "nr:d:fhV", kLong, nullptr)) != -1) {
        switch (option) {
            case 'n': options->dryRun = true; break;
            case 'r': options->reportPath = optarg; break;
            case 'f': options->force = true; break;
            case 'h': return OptionsOutcome::kHelp;
            case 'V': return OptionsOutcome::kVersion;
            case 'd':
                if (!AddDrive(optarg, options, message)) return OptionsOutcome::kError;
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
    return OptionsOutcome::kRun;
}
