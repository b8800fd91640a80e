#include "tools/samplegen/SampleGen.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "engine/PeLayout.h"
#include "platform/LittleEndian.h"

namespace samplegen {

namespace {

const uint32_t kPeOffset = 0x80;  // e_lfanew of every generated file
const uint32_t kSizeOfHeaders = 0x600;
const uint32_t kEntryPoint = 0x80000;  // far enough up that every table offset stays positive

// The header fields written besides those the matcher reads (engine/PeLayout.h).
const uint32_t kMachineAt = 0;                // file header
const uint32_t kOptionalHeaderSizeAt = 16;    // file header: SizeOfOptionalHeader
const uint32_t kFileCharacteristicsAt = 18;   // file header
const uint32_t kOptionalHeaderSize = 224;     // PE32 with 16 data directories
const uint32_t kOptionalHeaderSizePlus = 240;  // PE32+ with 16 data directories
const uint32_t kMagicAt = 0;                  // optional header: 0x10b PE32, 0x20b PE32+
const uint32_t kBaseOfCodeAt = 20;
const uint32_t kImageBaseAt = 28;      // PE32: 4 bytes
const uint32_t kImageBasePlusAt = 24;  // PE32+: 8 bytes
const uint32_t kSectionAlignmentAt = 32;
const uint32_t kFileAlignmentAt = 36;
const uint32_t kOsVersionAt = 40;
const uint32_t kSubsystemVersionAt = 48;
const uint32_t kSizeOfImageAt = 56;
const uint32_t kSubsystemAt = 68;
const uint32_t kRvaCountAt = 92;       // PE32: NumberOfRvaAndSizes
const uint32_t kRvaCountPlusAt = 108;  // PE32+
const uint32_t kSectionNameSize = 8;
const uint32_t kRawDataSizeAt = 16;  // section header: SizeOfRawData
const uint32_t kSectionCharacteristicsAt = 36;

uint32_t Get16(const Bytes& b, size_t at) { return ReadLe16(&b[at]); }
uint32_t Get32(const Bytes& b, size_t at) { return ReadLe32(&b[at]); }

uint32_t OptionalHeaderSize(bool plus) { return plus ? kOptionalHeaderSizePlus : kOptionalHeaderSize; }

void WriteFileHeader(const PeHeaders& h, Bytes& file) {
    size_t coff = h.peOffset + kSignatureSize;
    Put16(file, coff + kMachineAt, h.plus ? 0x8664 : 0x14c);
    Put16(file, coff + kSectionCountAt, static_cast<uint32_t>(h.sections.size()));
    Put16(file, coff + kOptionalHeaderSizeAt, OptionalHeaderSize(h.plus));
    // Executable, and large-address aware or 32-bit.
    Put16(file, coff + kFileCharacteristicsAt, h.plus ? 0x0022 : 0x0102);
}

void WriteOptionalHeader(const PeHeaders& h, Bytes& file) {
    size_t opt = h.peOffset + kOptionalHeaderAt;
    Put16(file, opt + kMagicAt, h.plus ? 0x20b : 0x10b);
    Put32(file, opt + kEntryPointAt, h.entryPoint);
    Put32(file, opt + kBaseOfCodeAt, 0x1000);
    if (h.plus) {
        Put32(file, opt + kImageBasePlusAt, 0x40000000);
        Put32(file, opt + kImageBasePlusAt + 4, 0x1);  // image base 0x140000000
    } else {
        Put32(file, opt + kImageBaseAt, 0x400000);
    }
    Put32(file, opt + kSectionAlignmentAt, 0x1000);
    Put32(file, opt + kFileAlignmentAt, 0x200);
    Put16(file, opt + kOsVersionAt, 4);         // operating system version 4.0
    Put16(file, opt + kSubsystemVersionAt, 4);  // subsystem version 4.0
    uint32_t imageEnd = 0x1000;
    for (const PeSection& s : h.sections) {
        uint32_t end = (s.virtualAddress + s.virtualSize + 0xFFF) & ~0xFFFu;
        if (end > imageEnd) imageEnd = end;
    }
    Put32(file, opt + kSizeOfImageAt, imageEnd);
    Put32(file, opt + kSizeOfHeadersAt, h.sizeOfHeaders);
    Put16(file, opt + kSubsystemAt, 2);  // GUI subsystem
    Put32(file, opt + (h.plus ? kRvaCountPlusAt : kRvaCountAt), 16);
}

// Writes the headers of a PE file (see WritePe) into file, which is large
// enough for them.
void WriteHeaderFields(const PeHeaders& h, Bytes& file) {
    file[0] = 'M';
    file[1] = 'Z';
    Put32(file, kHeaderOffsetAt, h.peOffset);
    std::memcpy(&file[h.peOffset], "PE\0\0", kSignatureSize);
    WriteFileHeader(h, file);
    WriteOptionalHeader(h, file);
    size_t table = h.peOffset + kOptionalHeaderAt + OptionalHeaderSize(h.plus);
    for (size_t i = 0; i < h.sections.size(); ++i) {
        size_t at = table + i * kSectionHeaderSize;
        std::strncpy(reinterpret_cast<char*>(&file[at]), h.sections[i].name, kSectionNameSize);
        Put32(file, at + kVirtualSizeAt, h.sections[i].virtualSize);
        Put32(file, at + kVirtualAddressAt, h.sections[i].virtualAddress);
        Put32(file, at + kRawDataSizeAt, h.sections[i].rawSize);
        Put32(file, at + kRawDataPointerAt, h.sections[i].rawPointer);
        Put32(file, at + kSectionCharacteristicsAt, 0x60000020);  // code, execute, read
    }
}

Bytes WriteHeaders(bool plus, uint32_t entryPoint, const std::vector<PeSection>& sections,
                   size_t length) {
    PeHeaders headers;
    headers.plus = plus;
    headers.peOffset = kPeOffset;
    headers.entryPoint = entryPoint;
    headers.sizeOfHeaders = kSizeOfHeaders;
    headers.sections = sections;
    return WritePe(headers, length);
}

bool PlacePattern(Bytes& file, uint32_t at, const uint8_t* pattern) {
    if (static_cast<uint64_t>(at) + kPatternLength > file.size()) return false;
    std::memcpy(&file[at], pattern, kPatternLength);
    return true;
}

bool Overlap(uint32_t a, uint32_t b) {
    return (a > b ? a - b : b - a) < kPatternLength;
}

// Both patterns written where the model says the matcher looks; false when
// they would overlap each other or the headers, or fall outside the file.
bool PlaceBoth(Bytes& file, const SignatureRecord& record) {
    PeView view = ReadView(file);
    if (!view.readable) return false;
    uint32_t length = static_cast<uint32_t>(file.size());
    uint32_t first = 0;
    uint32_t second = 0;
    if (!LookupOffset(view, view.entryPoint + static_cast<uint32_t>(record.firstOffset), length, &first) ||
        !LookupOffset(view, view.entryPoint + static_cast<uint32_t>(record.secondOffset), length,
                      &second)) {
        return false;
    }
    if (first < kSizeOfHeaders || second < kSizeOfHeaders || Overlap(first, second)) return false;
    return PlacePattern(file, first, record.firstPattern) &&
           PlacePattern(file, second, record.secondPattern);
}

bool PatternOffset(const Bytes& file, int32_t distance, uint32_t* offset) {
    PeView view = ReadView(file);
    return view.readable &&
           LookupOffset(view, view.entryPoint + static_cast<uint32_t>(distance),
                        static_cast<uint32_t>(file.size()), offset);
}

}  // namespace

void Put16(Bytes& b, size_t at, uint32_t v) { WriteLe16(&b[at], static_cast<uint16_t>(v)); }

void Put32(Bytes& b, size_t at, uint32_t v) { WriteLe32(&b[at], v); }

Bytes WritePe(const PeHeaders& headers, size_t length) {
    size_t end = headers.peOffset + kOptionalHeaderAt + OptionalHeaderSize(headers.plus) +
                 headers.sections.size() * kSectionHeaderSize;
    Bytes file(length > end ? length : end, 0);
    WriteHeaderFields(headers, file);
    file.resize(length);
    return file;
}

PeView ReadView(const Bytes& file) {
    PeView view;
    if (file.size() < kHeaderOffsetAt + 2) return view;
    size_t pe = Get16(file, kHeaderOffsetAt);
    if (pe + kOptionalHeaderAt > file.size() || std::memcmp(&file[pe], "PE\0\0", kSignatureSize) != 0)
        return view;
    size_t opt = pe + kOptionalHeaderAt;
    if (opt + kOptionalHeaderRead > file.size()) return view;
    int count = static_cast<int>(Get16(file, pe + kSignatureSize + kSectionCountAt));
    if (count > kMaxSections) return view;
    size_t table = pe + kSectionTableDistance;
    if (count > 0 && table + count * kSectionHeaderSize > file.size()) return view;
    view.entryPoint = Get32(file, opt + kEntryPointAt);
    view.sizeOfHeaders = Get32(file, opt + kSizeOfHeadersAt);
    view.sectionCount = count;
    for (int i = 0; i < count; ++i) {
        size_t section = table + i * kSectionHeaderSize;
        view.sections[i].virtualSize = Get32(file, section + kVirtualSizeAt);
        view.sections[i].virtualAddress = Get32(file, section + kVirtualAddressAt);
        view.sections[i].rawPointer = Get32(file, section + kRawDataPointerAt);
    }
    view.readable = true;
    return view;
}

bool LookupOffset(const PeView& view, uint32_t rva, uint32_t fileLength, uint32_t* offset) {
    uint32_t at = rva;
    if (view.sectionCount > 0) {
        const ViewSection* chosen = &view.sections[view.sectionCount - 1];
        for (int i = 0; i < view.sectionCount; ++i) {
            const ViewSection& s = view.sections[i];
            if (static_cast<uint32_t>(s.virtualAddress + s.virtualSize) > rva) {
                chosen = &s;
                break;
            }
        }
        at = rva - chosen->virtualAddress + chosen->rawPointer;
    }
    if (at >= fileLength) at = rva;
    if (at == 0) at = view.sizeOfHeaders;
    *offset = at;
    return at <= 0x7FFFFFFFu && static_cast<uint64_t>(at) + kPatternLength <= fileLength;
}

int ModelMatch(const Bytes& file, const SignatureRecord* table) {
    PeView view = ReadView(file);
    if (!view.readable) return -1;
    int64_t length = static_cast<int64_t>(file.size());
    for (int i = 0; table[i].name[0] != '\0'; ++i) {
        const SignatureRecord& r = table[i];
        bool lengthOk = (r.sizeTest == 1 && length == r.fileSize) ||
                        (r.sizeTest == 2 && length - r.fileSize > -SizeTolerance &&
                         length - r.fileSize < SizeTolerance) ||
                        r.sizeTest == 3;
        if (!lengthOk) continue;
        uint32_t first = 0;
        uint32_t second = 0;
        if (!LookupOffset(view, view.entryPoint + static_cast<uint32_t>(r.firstOffset),
                          static_cast<uint32_t>(length), &first) ||
            std::memcmp(&file[first], r.firstPattern, kPatternLength) != 0) {
            continue;
        }
        if (!LookupOffset(view, view.entryPoint + static_cast<uint32_t>(r.secondOffset),
                          static_cast<uint32_t>(length), &second) ||
            std::memcmp(&file[second], r.secondPattern, kPatternLength) != 0) {
            continue;
        }
        return i;
    }
    return -1;
}

Bytes MatchingSample(const SignatureRecord& record, int sectionCount) {
    uint32_t length = static_cast<uint32_t>(record.fileSize);
    if (record.fileSize < 0x3000 || sectionCount < 2 || sectionCount > kMaxSections) return Bytes();
    uint32_t firstRva = kEntryPoint + static_cast<uint32_t>(record.firstOffset);
    uint32_t secondRva = kEntryPoint + static_cast<uint32_t>(record.secondOffset);
    if (Overlap(firstRva, secondRva)) return Bytes();
    uint32_t lowRva = firstRva < secondRva ? firstRva : secondRva;
    uint32_t highRva = firstRva < secondRva ? secondRva : firstRva;
    uint32_t lowAt = (length / 3) & ~0xFu;
    uint32_t highAt = (length / 3 * 2) & ~0xFu;
    // The first section ends exactly where the higher address begins, so the
    // higher one falls through to the second section.
    std::vector<PeSection> sections;
    uint32_t lowBase = lowRva & ~0xFFFu;
    sections.push_back({".text", highRva - lowBase, lowBase, 0x1000, lowAt - (lowRva - lowBase)});
    uint32_t highBase = highRva & ~0xFFFu;
    sections.push_back({".data", highRva - highBase + 0x1000, highBase, 0x1000,
                        highAt - (highRva - highBase)});
    for (int i = 2; i < sectionCount; ++i) {
        sections.push_back({".rsrc", 0x1000, highBase + 0x10000u * i, 0x200, kSizeOfHeaders});
    }
    Bytes file = WriteHeaders(false, kEntryPoint, sections, length);
    if (!PlaceBoth(file, record)) return Bytes();
    return file;
}

Bytes MatchingSamplePe32Plus(const SignatureRecord& record) {
    uint32_t length = static_cast<uint32_t>(record.fileSize);
    if (record.fileSize < 0x3000) return Bytes();
    // One real section. Read from 248 bytes after the signature, its header
    // shows up shifted by 16 bytes: the matcher sees an empty section whose
    // raw pointer is the tail of the name, so every address is moved by it.
    std::vector<PeSection> sections{{".text", 0x2000, 0x1000, 0x2000, 0x1000}};
    Bytes file = WriteHeaders(true, 0, sections, length);
    PeView view = ReadView(file);
    if (!view.readable || view.sectionCount != 1) return Bytes();
    uint32_t shift = view.sections[0].rawPointer - view.sections[0].virtualAddress;
    int32_t lowest = record.firstOffset < record.secondOffset ? record.firstOffset : record.secondOffset;
    uint32_t entry = kSizeOfHeaders + 0x400 - shift - static_cast<uint32_t>(lowest);
    Put32(file, kPeOffset + kOptionalHeaderAt + kEntryPointAt, entry);
    if (!PlaceBoth(file, record)) return Bytes();
    return file;
}

const char* NearMissName(NearMiss kind) {
    switch (kind) {
    case NearMiss::FirstPatternByte: return "first-byte";
    case NearMiss::SecondPatternByte: return "second-byte";
    case NearMiss::LengthPlusOne: return "length-plus";
    case NearMiss::LengthMinusOne: return "length-minus";
    case NearMiss::TwentyOneSections: return "sections21";
    case NearMiss::TruncatedHeaders: return "truncated";
    }
    return "";
}

bool NearMissFromName(const std::string& name, NearMiss* kind) {
    for (int i = 0; i < kNearMissKinds; ++i) {
        if (name == NearMissName(static_cast<NearMiss>(i))) {
            *kind = static_cast<NearMiss>(i);
            return true;
        }
    }
    return false;
}

Bytes NearMissSample(const SignatureRecord& record, NearMiss kind) {
    Bytes file = MatchingSample(record, kind == NearMiss::TwentyOneSections ? kMaxSections : 2);
    if (file.empty()) return file;
    uint32_t at = 0;
    switch (kind) {
    case NearMiss::FirstPatternByte:
        if (!PatternOffset(file, record.firstOffset, &at)) return Bytes();
        file[at + 7] ^= 0x5A;
        break;
    case NearMiss::SecondPatternByte:
        if (!PatternOffset(file, record.secondOffset, &at)) return Bytes();
        file[at + 19] ^= 0x01;
        break;
    case NearMiss::LengthPlusOne:
        file.push_back(0);
        break;
    case NearMiss::LengthMinusOne:
        file.pop_back();
        break;
    case NearMiss::TwentyOneSections: {
        size_t slot = kPeOffset + kSectionTableDistance + kMaxSections * kSectionHeaderSize;
        std::memcpy(&file[slot], ".reloc\0\0", kSectionNameSize);
        Put32(file, slot + kVirtualSizeAt, 0x1000);
        Put32(file, slot + kVirtualAddressAt, 0x7FF00000);
        Put16(file, kPeOffset + kSignatureSize + kSectionCountAt, kMaxSections + 1);
        break;
    }
    case NearMiss::TruncatedHeaders:
        file.resize(kPeOffset + kOptionalHeaderAt + kSizeOfHeadersAt);
        break;
    }
    return file;
}

Bytes PlainFile(size_t length, uint32_t seed) {
    static const char kWords[] = "the quick scan of every fixed drive found nothing to clean\r\n";
    Bytes file(length);
    size_t words = sizeof(kWords) - 1;
    for (size_t i = 0; i < length; ++i) file[i] = static_cast<uint8_t>(kWords[(i + seed) % words]);
    return file;
}

Placement PlaceInOverlay(const Bytes& base, const SignatureRecord& record) {
    Placement placement;
    PeView view = ReadView(base);
    if (!view.readable) {
        placement.reason = "the program is not read as a PE file (malformed or more than 20 sections)";
        return placement;
    }
    if (record.fileSize < 0 || base.size() > static_cast<uint32_t>(record.fileSize)) {
        placement.reason = "the record's length is shorter than the program";
        return placement;
    }
    uint32_t length = static_cast<uint32_t>(record.fileSize);
    uint32_t first = 0;
    uint32_t second = 0;
    if (!LookupOffset(view, view.entryPoint + static_cast<uint32_t>(record.firstOffset), length, &first) ||
        !LookupOffset(view, view.entryPoint + static_cast<uint32_t>(record.secondOffset), length,
                      &second)) {
        placement.reason = "a pattern would be looked for outside the file";
        return placement;
    }
    if (first < base.size() || second < base.size()) {
        placement.reason = "a pattern would be looked for inside the program itself";
        return placement;
    }
    if (Overlap(first, second)) {
        placement.reason = "the two patterns would overlap";
        return placement;
    }
    placement.possible = true;
    placement.firstAt = first;
    placement.secondAt = second;
    return placement;
}

Bytes RunnableSample(const Bytes& base, const SignatureRecord& record) {
    Placement placement = PlaceInOverlay(base, record);
    if (!placement.possible) return Bytes();
    Bytes file = base;
    file.resize(static_cast<size_t>(record.fileSize), 0);
    PlacePattern(file, placement.firstAt, record.firstPattern);
    PlacePattern(file, placement.secondAt, record.secondPattern);
    return file;
}

bool WriteBytes(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

bool ReadBytes(const std::string& path, Bytes* bytes) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    bytes->clear();
    uint8_t chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof(chunk), f)) > 0) bytes->insert(bytes->end(), chunk, chunk + got);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

namespace {

struct DemoFile {
    const char* path;  // relative, with backslashes
    int record;        // -1 for files that are no sample
    int kind;          // 0 matching, 1 20 sections, 2 PE32+, 3 plain, 10 + NearMiss
};

const DemoFile kDemoFiles[] = {
    {"setup.exe", 42, 0},
    {"Program Files\\Tools\\helper.exe", 0, 0},
    {"Program Files\\App\\app64.exe", 42, 2},
    {"Program Files\\App\\readme.txt", -1, 3},
    {"games\\launcher.exe", 5, 1},
    {"games\\level1\\patch.exe", 13, 0},
    {"temp\\copy.exe", 84, 0},
    {"docs\\report.doc", -1, 3},
    {"docs\\notes.txt", -1, 3},
    {"near\\first_byte.exe", 42, 10 + static_cast<int>(NearMiss::FirstPatternByte)},
    {"near\\second_byte.exe", 0, 10 + static_cast<int>(NearMiss::SecondPatternByte)},
    {"near\\length_plus.exe", 13, 10 + static_cast<int>(NearMiss::LengthPlusOne)},
    {"near\\length_minus.exe", 27, 10 + static_cast<int>(NearMiss::LengthMinusOne)},
    {"near\\sections21.exe", 20, 10 + static_cast<int>(NearMiss::TwentyOneSections)},
    {"near\\truncated.exe", 30, 10 + static_cast<int>(NearMiss::TruncatedHeaders)},
};

Bytes DemoBytes(const DemoFile& demo, uint32_t seed) {
    if (demo.kind == 3) return PlainFile(1000 + seed * 37, seed);
    const SignatureRecord& record = SignatureTable[demo.record];
    if (demo.kind == 0) return MatchingSample(record);
    if (demo.kind == 1) return MatchingSample(record, kMaxSections);
    if (demo.kind == 2) return MatchingSamplePe32Plus(record);
    return NearMissSample(record, static_cast<NearMiss>(demo.kind - 10));
}

}  // namespace

bool WriteDemoTree(const std::string& folder, std::vector<std::string>* listing) {
    namespace fs = std::filesystem;
    std::error_code error;
    uint32_t seed = 1;
    for (const DemoFile& demo : kDemoFiles) {
        Bytes bytes = DemoBytes(demo, seed++);
        if (bytes.empty()) return false;
        std::string relative = demo.path;
        std::string host = relative;
        for (char& c : host) {
            if (c == '\\') c = '/';
        }
        fs::path target = fs::path(folder) / host;
        fs::create_directories(target.parent_path(), error);
        if (error || !WriteBytes(target.string(), bytes)) return false;
        int expected = demo.kind < 10 ? demo.record : -1;
        if (ModelMatch(bytes, SignatureTable) != expected) return false;
        listing->push_back(relative + "\t" + std::to_string(expected));
    }
    return true;
}

}  // namespace samplegen
