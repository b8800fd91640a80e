// Shared set-up of the scan engine's tests: a two-record detection table,
// program files that match it, and recording stand-ins for the memory and
// repair operations the engine calls.
#pragma once

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/FileMatcher.h"
#include "engine/ScanServices.h"
#include "engine/WalkTree.h"
#include "support/SimTest.h"
#include "tools/samplegen/SampleGen.h"

namespace scantest {

const int32_t kSampleLength = 1024;
const uint32_t kEntryPoint = 512;
const int32_t kSecondOffset = 32;

inline SignatureRecord MakeRecord(const char* name, uint8_t seed) {
    SignatureRecord record;
    memset(&record, 0, sizeof record);
    snprintf(record.name, sizeof record.name, "%s", name);
    record.firstOffset = 0;
    record.secondOffset = kSecondOffset;
    for (int i = 0; i < 20; ++i) {
        record.firstPattern[i] = static_cast<uint8_t>(seed + i);
        record.secondPattern[i] = static_cast<uint8_t>(seed + 100 + i);
    }
    record.fileSize = kSampleLength;
    record.sizeTest = 1;
    return record;
}

inline const SignatureRecord* TestTable() {
    static SignatureRecord table[3];
    static bool made = false;
    if (!made) {
        table[0] = MakeRecord("W32/Drovak.Zg.Trojan", 1);
        table[1] = MakeRecord("W32/Drovak.Trojan", 50);
        memset(&table[2], 0, sizeof table[2]);
        made = true;
    }
    return table;
}

// A PE file without sections (so image addresses are file offsets) whose
// entry point carries the patterns of test record `record`; -1 gives the
// same file with patterns of no record.
inline std::vector<uint8_t> SampleFile(int record) {
    samplegen::PeHeaders headers;
    headers.peOffset = 64;
    headers.entryPoint = kEntryPoint;
    headers.sizeOfHeaders = 0x200;
    std::vector<uint8_t> bytes = samplegen::WritePe(headers, kSampleLength);
    if (record >= 0) {
        const SignatureRecord& r = TestTable()[record];
        memcpy(&bytes[kEntryPoint], r.firstPattern, 20);
        memcpy(&bytes[kEntryPoint + kSecondOffset], r.secondPattern, 20);
    } else {
        memset(&bytes[kEntryPoint], 0x90, 64);
    }
    return bytes;
}

// What the engine asked of the memory and repair subsystems.
struct ServiceLog {
    int memoryPasses = 0;
    int restarts = 0;
    std::vector<std::string> killed;
    std::vector<std::string> repaired;
    std::vector<std::string> scheduled;
    int killResult = 0;
    int scheduleResult = 1;
    std::function<void(const char*)> onKill;
    std::function<void()> onMemoryPass;
};

inline ServiceLog*& Services() {
    static ServiceLog* log = nullptr;
    return log;
}

inline void FakeMemoryPass() {
    ++Services()->memoryPasses;
    if (Services()->onMemoryPass) Services()->onMemoryPass();
}
inline int FakeKill(const char* path) {
    Services()->killed.push_back(path);
    if (Services()->onKill) Services()->onKill(path);
    return Services()->killResult;
}
inline int FakeRepair(const char* name) {
    Services()->repaired.push_back(name);
    return 1;
}
inline int FakeSchedule(const char* path) {
    Services()->scheduled.push_back(path);
    return Services()->scheduleResult;
}
inline int FakeRestart() {
    ++Services()->restarts;
    return 1;
}

// A checker list whose one checker records what it was handed.
struct CheckerCall {
    std::string tag;
    std::string path;
    int64_t listedLength;
};

inline std::vector<CheckerCall>& CheckerCalls() {
    static std::vector<CheckerCall> calls;
    return calls;
}

inline int RecordingChecker(const char* tag, const char* path) {
    CheckerCalls().push_back({tag, path, Shared.ListedFileLength});
    return 0;
}

inline const FileCheckerEntry* RecordingCheckerList() {
    static const FileCheckerEntry list[] = {
        {"test-tag", RecordingChecker},
        {nullptr, nullptr},
    };
    return list;
}

}  // namespace scantest

class ScanTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        ActiveSignatureTable = scantest::TestTable();
        ActiveScanServices = {scantest::FakeMemoryPass, scantest::FakeKill, scantest::FakeRepair,
                              scantest::FakeSchedule, scantest::FakeRestart};
        scantest::Services() = &services;
        scantest::CheckerCalls().clear();
    }
    void TearDown() override {
        scantest::Services() = nullptr;
        SimTest::TearDown();
    }

    void UseRecordingChecker() { ActiveFileCheckerList = scantest::RecordingCheckerList(); }
    std::vector<std::string> CheckedPaths() const {
        std::vector<std::string> paths;
        for (const auto& call : scantest::CheckerCalls()) paths.push_back(call.path);
        return paths;
    }
    bool WriteInfected(const std::string& path, int record = 0) {
        return sim.WriteFile(path, scantest::SampleFile(record));
    }
    bool WriteClean(const std::string& path) { return sim.WriteFile(path, scantest::SampleFile(-1)); }

    scantest::ServiceLog services;

private:
};
