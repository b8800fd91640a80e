// make_samples: writes synthetic test files for the detection table.
//
//   make_samples --record N --out FILE [--sections K | --pe32plus]
//   make_samples --near-miss KIND --record N --out FILE
//       KIND: first-byte second-byte length-plus length-minus sections21 truncated
//   make_samples --plain SIZE --out FILE
//   make_samples --demo DIR
//   make_samples --runnable BASE.exe --record N --out FILE
//   make_samples --placeable BASE.exe
//   make_samples --check FILE      (which record the file matches, by the model)
//   make_samples --headers LENGTH [--pe-offset N] [--entry N] [--headers-size N]
//                [--section VA,VSIZE,RAW]... [--section-count N] [--pe32plus] --out FILE
//       a file of bare PE headers (WritePe); --section-count overrides the
//       count field; numbers may be given in hex (0x...)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/samplegen/SampleGen.h"

using namespace samplegen;

namespace {

struct Options {
    int record = -1;
    int sections = 2;
    bool pe32plus = false;
    long plainSize = -1;
    std::string out, demo, runnable, placeable, check, nearMiss;
    long headersLength = -1;
    PeHeaders headers;
    long sectionCount = -1;
};

uint32_t Number(const char* text) { return static_cast<uint32_t>(std::strtoul(text, nullptr, 0)); }

bool ParseSection(const char* text, std::vector<PeSection>* sections) {
    unsigned long va = 0, vsize = 0, raw = 0;
    char* end = nullptr;
    va = std::strtoul(text, &end, 0);
    if (*end != ',') return false;
    vsize = std::strtoul(end + 1, &end, 0);
    if (*end != ',') return false;
    raw = std::strtoul(end + 1, &end, 0);
    if (*end != '\0') return false;
    sections->push_back({"", static_cast<uint32_t>(vsize), static_cast<uint32_t>(va), 0, static_cast<uint32_t>(raw)});
    return true;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: make_samples --record N --out FILE [--sections K | --pe32plus]\n"
                 "       make_samples --near-miss KIND --record N --out FILE\n"
                 "       make_samples --plain SIZE --out FILE\n"
                 "       make_samples --demo DIR\n"
                 "       make_samples --runnable BASE.exe --record N --out FILE\n"
                 "       make_samples --placeable BASE.exe\n"
                 "       make_samples --check FILE\n"
                 "       make_samples --headers LENGTH [--pe-offset N] [--entry N] [--headers-size N]\n"
                 "                    [--section VA,VSIZE,RAW]... [--section-count N] [--pe32plus] --out FILE\n");
    return 2;
}

bool Parse(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (i + 1 >= argc && a != "--pe32plus") return false;
        if (a == "--record") o->record = std::atoi(argv[++i]);
        else if (a == "--sections") o->sections = std::atoi(argv[++i]);
        else if (a == "--pe32plus") o->pe32plus = true;
        else if (a == "--plain") o->plainSize = std::atol(argv[++i]);
        else if (a == "--out") o->out = argv[++i];
        else if (a == "--demo") o->demo = argv[++i];
        else if (a == "--runnable") o->runnable = argv[++i];
        else if (a == "--placeable") o->placeable = argv[++i];
        else if (a == "--check") o->check = argv[++i];
        else if (a == "--near-miss") o->nearMiss = argv[++i];
        else if (a == "--headers") o->headersLength = std::atol(argv[++i]);
        else if (a == "--pe-offset") o->headers.peOffset = Number(argv[++i]);
        else if (a == "--entry") o->headers.entryPoint = Number(argv[++i]);
        else if (a == "--headers-size") o->headers.sizeOfHeaders = Number(argv[++i]);
        else if (a == "--section-count") o->sectionCount = std::atol(argv[++i]);
        else if (a == "--section") {
            if (!ParseSection(argv[++i], &o->headers.sections)) return false;
        } else return false;
    }
    return true;
}

bool ValidRecord(int record) {
    if (record >= 0 && record < kSignatureCount) return true;
    std::fprintf(stderr, "make_samples: record must be 0 to %d\n", kSignatureCount - 1);
    return false;
}

int Write(const Options& o, const Bytes& bytes, const char* what) {
    if (bytes.empty()) {
        std::fprintf(stderr, "make_samples: cannot make %s for record %d\n", what, o.record);
        return 1;
    }
    if (!WriteBytes(o.out, bytes)) {
        std::fprintf(stderr, "make_samples: cannot write %s\n", o.out.c_str());
        return 1;
    }
    std::printf("%s\t%zu bytes\t%s\n", o.out.c_str(), bytes.size(), what);
    return 0;
}

int Placeable(const std::string& basePath) {
    Bytes base;
    if (!ReadBytes(basePath, &base)) {
        std::fprintf(stderr, "make_samples: cannot read %s\n", basePath.c_str());
        return 1;
    }
    int count = 0;
    for (int i = 0; i < kSignatureCount; ++i) {
        Placement p = PlaceInOverlay(base, SignatureTable[i]);
        if (p.possible) {
            std::printf("%d\t%s\tlength %d\tpatterns at %u and %u\n", i, SignatureTable[i].name,
                        SignatureTable[i].fileSize, p.firstAt, p.secondAt);
            ++count;
        }
    }
    std::fprintf(stderr, "%d records placeable for %s (%zu bytes)\n", count, basePath.c_str(), base.size());
    return count > 0 ? 0 : 1;
}

int Runnable(const Options& o) {
    Bytes base;
    if (!ReadBytes(o.runnable, &base)) {
        std::fprintf(stderr, "make_samples: cannot read %s\n", o.runnable.c_str());
        return 1;
    }
    Placement p = PlaceInOverlay(base, SignatureTable[o.record]);
    if (!p.possible) {
        std::fprintf(stderr, "make_samples: record %d cannot be placed: %s\n", o.record, p.reason);
        return 1;
    }
    return Write(o, RunnableSample(base, SignatureTable[o.record]), "runnable sample");
}

int Headers(Options o) {
    o.headers.plus = o.pe32plus;
    Bytes file = WritePe(o.headers, static_cast<size_t>(o.headersLength));
    if (o.sectionCount >= 0 && o.headers.peOffset + 8 <= file.size())
        Put16(file, o.headers.peOffset + 6, static_cast<uint32_t>(o.sectionCount));
    return Write(o, file, "PE headers");
}

int Check(const std::string& path) {
    Bytes file;
    if (!ReadBytes(path, &file)) {
        std::fprintf(stderr, "make_samples: cannot read %s\n", path.c_str());
        return 1;
    }
    int match = ModelMatch(file, SignatureTable);
    std::printf("%d\t%s\n", match, match >= 0 ? SignatureTable[match].name : "-");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (argc < 2 || !Parse(argc, argv, &o)) return Usage();
    if (!o.demo.empty()) {
        std::vector<std::string> listing;
        bool ok = WriteDemoTree(o.demo, &listing);
        for (const std::string& line : listing) std::printf("%s\n", line.c_str());
        if (!ok) std::fprintf(stderr, "make_samples: demo tree incomplete\n");
        return ok ? 0 : 1;
    }
    if (!o.placeable.empty()) return Placeable(o.placeable);
    if (!o.check.empty()) return Check(o.check);
    if (o.out.empty()) return Usage();
    if (o.plainSize >= 0) return Write(o, PlainFile(static_cast<size_t>(o.plainSize), 7), "plain file");
    if (o.headersLength >= 0) return Headers(o);
    if (!ValidRecord(o.record)) return Usage();
    if (!o.runnable.empty()) return Runnable(o);
    const SignatureRecord& record = SignatureTable[o.record];
    if (!o.nearMiss.empty()) {
        NearMiss kind;
        if (!NearMissFromName(o.nearMiss, &kind)) return Usage();
        return Write(o, NearMissSample(record, kind), NearMissName(kind));
    }
    if (o.pe32plus) return Write(o, MatchingSamplePe32Plus(record), "PE32+ matching sample");
    return Write(o, MatchingSample(record, o.sections), "matching sample");
}
