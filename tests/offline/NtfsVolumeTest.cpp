// cordafix-offline on NTFS images read and written through libntfs-3g, no
// mount: images made by mkntfs, filled through the library by the tests.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>

#include "common/Shared.h"
#include "offline/NtfsTestImage.h"
#include "offline/OfflineTestSupport.h"
#include "platform/LittleEndian.h"
#include "platform/ntfs/NtfsDrives.h"
#include "platform/ntfs/NtfsVolume.h"
#include "platform/ntfs/PartitionLayout.h"
#include "platform/ntfs/PartitionTable.h"
#include "platform/offline/OfflineSession.h"

namespace {

std::string Text(const samplegen::Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

bool Fill(const std::string& image, const std::function<bool(ntfs_volume*)>& fill) {
    NtfsVolume volume;
    std::string error;
    return volume.Open(image, 0, true, &error) && fill(volume.Handle()) && volume.Close(&error);
}

bool Shell(const std::string& command) { return system(command.c_str()) == 0; }

bool Consistent(const std::string& image) {
    return Shell("ntfsfix -n " + image + " 2>&1 | grep -q 'processed successfully'");
}

int Count(const std::string& text, const std::string& what) {
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

// Attributes of files on an image, read through the drives under test.
std::vector<uint32_t> AttributesOn(const std::string& image, const std::vector<std::string>& paths) {
    NtfsVolume volume;
    std::string error;
    uint32_t lastError = 0;
    NtfsDrives drives(&lastError);
    std::vector<uint32_t> attributes;
    if (!volume.Open(image, 0, false, &error)) return attributes;
    drives.MapDrive('C', &volume);
    for (const std::string& path : paths) attributes.push_back(drives.GetAttributes(path.c_str()));
    drives.UnmapAll();
    return attributes;
}

#define NEED_IMAGE(image) \
    if (!(image).Problem().empty()) GTEST_SKIP() << (image).Problem()

TEST(NtfsVolume, ReadsCompressedSparseAndOddlyNamedFilesButNeitherStreamsNorJunctions) {
    NtfsTestImage image;
    NEED_IMAGE(image);
    ASSERT_TRUE(Fill(image.Path(), [](ntfs_volume* volume) {
        return NtfsCompressFolder(volume, "Program Files\\Packed") &&
               NtfsWriteFile(volume, "Program Files\\Packed\\packed.exe", Text(Sample(0))) &&
               NtfsWriteFile(volume, "Program Files\\Packed\\near.exe", Text(NearMiss(0))) &&
               NtfsWriteSparse(volume, "Users\\sparse.exe", Text(Sample(1))) &&
               NtfsWriteFile(volume, "Users\\made on linux?.exe.", Text(Sample(7))) &&
               NtfsWriteFile(volume, "Users\\notes.txt", "notes") &&
               NtfsWriteStream(volume, "Users\\notes.txt", "evil.exe", Text(Sample(2))) &&
               NtfsWriteFile(volume, "Users\\Deep\\deep.exe", Text(Sample(3))) &&
               NtfsMakeJunction(volume, "Users\\Deep\\loop", "C:\\Users");
    }));
    std::vector<uint32_t> before =
        AttributesOn(image.Path(), {"C:\\Program Files\\Packed\\packed.exe", "C:\\users\\SPARSE.EXE"});
    ASSERT_EQ(2u, before.size());
    EXPECT_NE(0u, before[0] & 0x800) << "compressed";
    EXPECT_NE(0u, before[1] & 0x200) << "sparse";

    ScanOutcome outcome = ScanWithProgram({"--force", image.Path()});
    EXPECT_EQ(kExitAllRemoved, outcome.status) << outcome.out << outcome.err;
    EXPECT_EQ(4, Count(outcome.out, "Trojan removed")) << outcome.out;  // the junction's way in once only
    EXPECT_NE(std::string::npos, outcome.out.find("alternate data streams are not scanned"));
    std::vector<uint32_t> after = AttributesOn(
        image.Path(), {"C:\\Program Files\\Packed\\packed.exe", "C:\\Program Files\\Packed\\near.exe",
                       "C:\\Users\\sparse.exe", "C:\\Users\\Deep\\deep.exe", "C:\\Users\\notes.txt",
                       "C:\\Users\\made on linux?.exe."});
    EXPECT_EQ((std::vector<uint32_t>{kInvalidAttributes, 0x820, kInvalidAttributes, kInvalidAttributes, 0x20,
                                     kInvalidAttributes}),
              after);
    EXPECT_TRUE(Consistent(image.Path()));
}

// A disk: partition 1 (not NTFS), then an extended partition whose logical
// partition 5 holds the file system, then bytes of no partition.
TEST(NtfsVolume, AWholeDiskIsReadAndWrittenOnlyInTheChosenPartition) {
    NtfsTestImage image("16M");
    NEED_IMAGE(image);
    ASSERT_TRUE(Fill(image.Path(), [](ntfs_volume* volume) {
        return NtfsWriteFile(volume, "bin\\tool.exe", Text(Sample(4)));
    }));
    const uint32_t kSector = 512, kLogicalAt = 6144, kSectors = 16 * 2048;
    std::string disk = image.Folder() + "/disk.img";
    std::string other(2048 * kSector, '\xA5');
    std::ifstream ntfs(image.Path(), std::ios::binary);
    std::string volume((std::istreambuf_iterator<char>(ntfs)), std::istreambuf_iterator<char>());
    std::string bytes(kSector * kLogicalAt, '\0');
    bytes.replace(2048 * kSector, other.size(), other);
    bytes += volume + other;
    auto entry = [&](size_t sector, int slot, uint8_t type, uint32_t start, uint32_t count) {
        uint8_t* record = reinterpret_cast<uint8_t*>(&bytes[sector * kSector]);
        uint8_t* at = record + kMbrEntriesAt + slot * kMbrEntrySize;
        at[kMbrTypeAt] = type;
        WriteLe32(at + kMbrFirstSectorAt, start);
        WriteLe32(at + kMbrSectorCountAt, count);
        WriteLe16(record + kBootSignatureAt, kBootSignature);
    };
    entry(0, 0, 0x0C, 2048, 2048);
    entry(0, 1, 0x05, 4096, 2048 + kSectors);
    entry(4096, 0, 0x07, 2048, kSectors);
    std::ofstream(disk, std::ios::binary) << bytes;
    auto outside = [&] {
        std::ifstream in(disk, std::ios::binary);
        std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        return all.substr(0, kLogicalAt * kSector) + all.substr(kLogicalAt * kSector + volume.size());
    };
    std::string untouched = outside();

    ScanOutcome whole = ScanWithProgram({"--force", disk});
    EXPECT_EQ(kExitCouldNotRun, whole.status);
    EXPECT_NE(std::string::npos, whole.err.find("NTFS on partition 5")) << whole.err;
    ScanOutcome first = ScanWithProgram({"--force", "--partition", "1", disk});
    EXPECT_EQ(kExitCouldNotRun, first.status);
    EXPECT_NE(std::string::npos, first.err.find("partition 1 holds no NTFS")) << first.err;
    ScanOutcome fifth = ScanWithProgram({"--force", "--partition", "5", disk});
    EXPECT_EQ(kExitAllRemoved, fifth.status) << fifth.out << fifth.err;
    EXPECT_EQ(1, Count(fifth.out, "Trojan removed"));
    EXPECT_TRUE(outside() == untouched);
}

TEST(NtfsVolume, AHibernatedVolumeIsScannedButNeverWritten) {
    NtfsTestImage image;
    NEED_IMAGE(image);
    ASSERT_TRUE(Fill(image.Path(), [](ntfs_volume* volume) {
        return NtfsWriteFile(volume, "HiberFil.sys", "RSTR" + std::string(8188, '\0')) &&
               NtfsWriteFile(volume, "Temp\\x.exe", Text(Sample(5)));
    }));
    uint64_t before = HashFile(image.Path());
    ScanOutcome cleaning = ScanWithProgram({"--force", image.Path()});
    EXPECT_EQ(kExitCouldNotRun, cleaning.status);
    EXPECT_NE(std::string::npos, cleaning.err.find("hibernated")) << cleaning.err;
    EXPECT_EQ(before, HashFile(image.Path()));
    ScanOutcome dryRun = ScanWithProgram({"--force", "--dry-run", image.Path()});
    EXPECT_EQ(kExitSomethingLeft, dryRun.status) << dryRun.out << dryRun.err;
    EXPECT_NE(std::string::npos, dryRun.err.find("hibernated"));
    EXPECT_EQ(before, HashFile(image.Path()));
}

TEST(NtfsVolume, RefusedWhileMountedReadWriteElsewhere) {
    NtfsTestImage image;
    NEED_IMAGE(image);
    ASSERT_TRUE(Fill(image.Path(), [](ntfs_volume* volume) {
        return NtfsWriteFile(volume, "x.exe", Text(Sample(6)));
    }));
    std::string point = image.Folder() + "/mnt";
    mkdir(point.c_str(), 0700);
    if (!Shell("timeout 30 ntfs-3g " + image.Path() + " " + point + " 2>/dev/null"))
        GTEST_SKIP() << "ntfs-3g could not mount the image (FUSE unavailable?)";
    ScanOutcome whileWritable = ScanWithProgram({"--force", "--dry-run", image.Path()});
    // The daemon lets go of its lock on the image a moment after umount returns.
    Shell("umount " + point + " && while grep -q \":$(stat -c %i " + image.Path() +
          ") \" /proc/locks; do sleep 0.02; done && timeout 30 ntfs-3g -o ro " + image.Path() + " " + point);
    ScanOutcome cleaning = ScanWithProgram({"--force", image.Path()});
    ScanOutcome reading = ScanWithProgram({"--force", "--dry-run", image.Path()});
    Shell("umount " + point);
    EXPECT_EQ(kExitCouldNotRun, whileWritable.status) << whileWritable.err;
    EXPECT_EQ(kExitCouldNotRun, cleaning.status) << cleaning.err;
    EXPECT_NE(std::string::npos, cleaning.err.find("mounted read-only")) << cleaning.err;
    EXPECT_EQ(kExitSomethingLeft, reading.status) << reading.out << reading.err;
}

// Output that asks the scan to stop, as Ctrl-C does, once it told of enough removals.
struct StopAfter {
    int removals;
    std::string text;
};

ssize_t StopWhenEnoughRemoved(void* cookie, const char* bytes, size_t size) {
    StopAfter* stop = static_cast<StopAfter*>(cookie);
    stop->text.append(bytes, size);
    if (Count(stop->text, "Trojan removed") >= stop->removals) OfflineSession::stopRequested = 1;
    return static_cast<ssize_t>(size);
}

TEST(NtfsVolume, AnInterruptedRunLeavesTheVolumeWhole) {
    NtfsTestImage image("96M");
    NEED_IMAGE(image);
    const int kSamples = 40;
    ASSERT_TRUE(Fill(image.Path(), [](ntfs_volume* volume) {
        bool filled = true;
        for (int i = 0; filled && i < kSamples; ++i)
            filled = NtfsWriteFile(volume, "Data\\f" + std::to_string(i % 7) + "\\s" + std::to_string(i) + ".exe",
                                   Text(Sample(i)));
        return filled;
    }));
    StopAfter stop = {10, ""};
    FILE* out = fopencookie(&stop, "w", {nullptr, StopWhenEnoughRemoved, nullptr, nullptr});
    FILE* err = tmpfile();
    OfflineOptions options;
    options.volume = image.Path();
    options.force = true;
    int status = RunOfflineScan(options, out, err);
    fclose(out);
    fclose(err);
    OfflineSession::stopRequested = 0;
    ClearProcessState();
    EXPECT_EQ(kExitInterrupted, status);
    EXPECT_EQ(10, Count(stop.text, "Trojan removed"));
    EXPECT_TRUE(Consistent(image.Path()));
    // The rest is still there, and goes in a second run.
    ScanOutcome again = ScanWithProgram({"--force", image.Path()});
    EXPECT_EQ(kSamples - 10, Count(again.out, "Trojan removed")) << again.out;
    EXPECT_TRUE(Consistent(image.Path()));
}

TEST(PartitionTable, GptEntriesOutsideTheDiskAreLeftOut) {
    const size_t kSector = kBootSectorSize;
    std::vector<uint8_t> disk(64 * kSector);
    disk[kMbrEntriesAt + kMbrTypeAt] = kMbrTypeGptProtective;
    WriteLe16(&disk[kBootSignatureAt], kBootSignature);
    uint8_t* header = &disk[kSector];
    memcpy(header, "EFI PART", 8);
    WriteLe64(header + kGptEntriesSectorAt, 2);
    WriteLe32(header + kGptEntryCountAt, 4);
    WriteLe32(header + kGptEntrySizeAt, kGptMinEntrySize);
    auto partition = [&](int slot, uint64_t first, uint64_t last) {
        uint8_t* entry = &disk[2 * kSector + slot * kGptMinEntrySize];
        entry[0] = 1;  // a type
        WriteLe64(entry + kGptFirstSectorAt, first);
        WriteLe64(entry + kGptLastSectorAt, last);
    };
    partition(0, 34, 40);
    partition(1, 50, 1000);  // past the end
    partition(3, 41, 60);    // slot 2 unused
    memcpy(&disk[41 * kSector + kNtfsNameAt], "NTFS    ", 8);
    WriteLe16(&disk[41 * kSector + kBootSignatureAt], kBootSignature);
    DiskReader read = [&](uint64_t at, void* buffer, size_t count) {
        if (at > disk.size() || count > disk.size() - at) return false;
        memcpy(buffer, &disk[at], count);
        return true;
    };
    std::vector<DiskPartition> partitions;
    ASSERT_TRUE(ReadPartitionTable(read, disk.size(), 0, &partitions));
    ASSERT_EQ(2u, partitions.size());
    EXPECT_EQ(1, partitions[0].number);
    EXPECT_EQ(4, partitions[1].number);
    EXPECT_EQ(41u * 512, partitions[1].offset);
    EXPECT_EQ("4", NtfsPartitionNumbers(partitions));
}

}  // namespace
