#include "offline/OfflineTestSupport.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "common/Shared.h"
#include "offline/HiveTestSupport.h"
#include "repair/HostsCheck.h"

namespace {

std::string ReadAll(FILE* file) {
    std::string text;
    rewind(file);
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    fclose(file);
    return text;
}

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Where a record's name starts and where its length is kept, from its signature.
struct RecordLayout {
    size_t nameAt;
    size_t lengthAt;
};

RecordLayout LayoutOf(const char* signature) {
    return signature[0] == 'v' ? RecordLayout{0x14, 0x02} : RecordLayout{0x4C, 0x48};
}

}  // namespace

// Only cells in use count (their size, just before the signature, is negative).
size_t FindRecord(const std::vector<uint8_t>& bytes, const char* signature, const std::string& name) {
    RecordLayout layout = LayoutOf(signature);
    for (size_t at = 4096 + 4; at + layout.nameAt + name.size() <= bytes.size(); ++at) {
        if (bytes[at] != signature[0] || bytes[at + 1] != signature[1] || (bytes[at - 1] & 0x80) == 0) continue;
        size_t length = bytes[at + layout.lengthAt] | (bytes[at + layout.lengthAt + 1] << 8);
        if (length == name.size() && memcmp(&bytes[at + layout.nameAt], name.data(), name.size()) == 0) return at;
    }
    return 0;
}

uint32_t PeekRecord(const std::string& hive, const char* signature, const std::string& name, size_t fieldAt) {
    std::vector<uint8_t> bytes = ReadBytes(hive);
    size_t at = FindRecord(bytes, signature, name);
    uint32_t value = 0;
    for (int i = 0; at != 0 && i < 4; ++i) value |= static_cast<uint32_t>(bytes[at + fieldAt + i]) << (8 * i);
    return value;
}

bool PokeRecord(const std::string& hive, const char* signature, const std::string& name, size_t fieldAt,
                uint32_t value) {
    std::vector<uint8_t> bytes = ReadBytes(hive);
    size_t at = FindRecord(bytes, signature, name);
    if (at == 0) return false;
    for (int i = 0; i < 4; ++i) bytes[at + fieldAt + i] = static_cast<uint8_t>(value >> (8 * i));
    std::ofstream file(hive, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return file.good();
}

ScanOutcome ScanInProcess(const OfflineOptions& options, const std::function<void(OfflinePlatform&)>& beforeScan) {
    FILE* out = tmpfile();
    FILE* err = tmpfile();
    int status = RunOfflineScan(options, out, err, beforeScan);
    ClearProcessState();
    return {status, ReadAll(out), ReadAll(err)};
}

ScanOutcome ScanWithProgram(const std::vector<std::string>& arguments) {
    FILE* out = tmpfile();
    FILE* err = tmpfile();
    std::string command = "timeout 120 " + Quoted(CORDAFIX_OFFLINE_EXE);
    for (const std::string& argument : arguments) command += " " + Quoted(argument);
    command += " >/dev/fd/" + std::to_string(fileno(out)) + " 2>/dev/fd/" + std::to_string(fileno(err)) +
               " </dev/null";
    int raw = system(command.c_str());
    int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return {status, ReadAll(out), ReadAll(err)};
}

std::string EncodedHosts() {
    UnscramblePatterns();
    const AttachmentRecord& record = AttachmentTable[0];
    std::string pattern(reinterpret_cast<const char*>(record.pattern), record.patternLength);
    return "begin 644 update.exe\r\n" + pattern.substr(0, 40) + "\r\n" + pattern.substr(40) + "\r\nend\r\n";
}

samplegen::Bytes Sample(int record) { return samplegen::MatchingSample(SignatureTable[record]); }

samplegen::Bytes NearMiss(int record) {
    return samplegen::NearMissSample(SignatureTable[record], samplegen::NearMiss::FirstPatternByte);
}
