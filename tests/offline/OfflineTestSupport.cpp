#include "offline/OfflineTestSupport.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

#include "common/Shared.h"
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

}  // namespace

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
    std::string command = Quoted(CORDAFIX_OFFLINE_EXE);
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
