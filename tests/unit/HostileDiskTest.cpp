// The scan on disks whose content works against it: links that loop or lead
// off the drive, names the 8-bit calls cannot open, paths past 260
// characters, a file larger than 4 GiB, and entries that are no files at all.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/Shared.h"
#include "engine/WalkTree.h"
#include "tools/samplegen/SampleGen.h"
#include "unit/ScanTestSupport.h"

namespace {

using Paths = std::vector<std::string>;

class HostileDiskTest : public ScanTest {
protected:
    void SetUp() override {
        ScanTest::SetUp();
        sim.AddDrive('D');
        Shared.ActionCode = 100;
        sim.onFileOpen = [this](const char* path) { opened.push_back(path); };
    }

    // Host folder of a Windows folder, made when missing.
    std::string HostFolder(const std::string& windowsFolder) {
        std::string host = sim.HostPath(windowsFolder);
        std::filesystem::create_directories(host);
        return host;
    }
    static void WriteHost(const std::string& hostPath, const std::vector<uint8_t>& bytes) {
        std::filesystem::create_directories(std::filesystem::path(hostPath).parent_path());
        FILE* file = fopen(hostPath.c_str(), "wb");
        ASSERT_NE(nullptr, file);
        fwrite(bytes.data(), 1, bytes.size(), file);
        fclose(file);
    }
    // A file under a host name that no Windows path may spell.
    void HostFile(const std::string& windowsFolder, const std::string& hostName, const std::vector<uint8_t>& bytes) {
        WriteHost(HostFolder(windowsFolder) + "/" + hostName, bytes);
    }
    void HostLink(const std::string& windowsFolder, const std::string& name, const std::string& target) {
        ASSERT_EQ(0, symlink(target.c_str(), (HostFolder(windowsFolder) + "/" + name).c_str()));
    }
    bool Shown(const std::string& path) const {
        for (const std::string& text : sim.statusTexts)
            if (text == path) return true;
        return false;
    }
    std::string Removed(const std::string& path, int record = 0) const {
        return path + "     " + scantest::TestTable()[record].name + " removed";
    }

    Paths opened;
};

TEST_F(HostileDiskTest, FolderLinksAreListedButNeverEntered) {
    WriteInfected("D:\\loop\\in loop.exe");
    HostLink("D:\\loop", "L1", ".");
    WriteInfected("D:\\real\\sub\\inf42.exe");
    HostLink("D:\\", "single", "real");
    std::string outside = sim.HostRoot() + "/outside";
    WriteHost(outside + "/kept.exe", scantest::SampleFile(0));
    HostLink("D:\\", "away", outside);

    EXPECT_EQ(2, WalkTree("D:\\*.*"));

    EXPECT_EQ((Paths{Removed("D:\\loop\\in loop.exe"), Removed("D:\\real\\sub\\inf42.exe")}), sim.logLines);
    EXPECT_TRUE(std::filesystem::exists(outside + "/kept.exe"));
    // The links are listed (and shown) like any entry, their content is not.
    EXPECT_TRUE(Shown("D:\\loop\\L1"));
    EXPECT_TRUE(Shown("D:\\single"));
    EXPECT_FALSE(Shown("D:\\single\\sub"));
    EXPECT_FALSE(Shown("D:\\away\\kept.exe"));
}

TEST_F(HostileDiskTest, TwoLoopLinksEndTheWalkAtOnce) {
    WriteClean("D:\\loop\\a.exe");
    HostLink("D:\\loop", "L1", ".");
    HostLink("D:\\loop", "L2", ".");
    EXPECT_EQ(1, WalkTree("D:\\*.*"));
    EXPECT_EQ(6u, sim.statusTexts.size());  // loop, then . .. a.exe L1 L2 inside it
}

TEST_F(HostileDiskTest, FileLinksAreCountedButNeverOpenedOrChanged) {
    std::string outside = sim.HostRoot() + "/outside";
    WriteHost(outside + "/sample.exe", scantest::SampleFile(0));
    ASSERT_TRUE(WriteInfected("D:\\links\\real.exe"));
    HostLink("D:\\links", "link0.exe", outside + "/sample.exe");
    HostLink("D:\\links", "dangling.exe", outside + "/none.exe");
    HostLink("D:\\dev", "zero.exe", "/dev/zero");
    ASSERT_EQ(0, mkfifo((HostFolder("D:\\dev") + "/fifo.exe").c_str(), 0644));
    UseRecordingChecker();

    EXPECT_EQ(5, WalkTree("D:\\*.*"));

    EXPECT_EQ((Paths{"D:\\dev\\fifo.exe", "D:\\links\\real.exe"}), CheckedPaths());
    EXPECT_TRUE(Shown("D:\\links\\link0.exe"));

    // With the real checker: the sample behind the link stays, and so does
    // the link; neither the FIFO nor the device is ever opened.
    ActiveFileCheckerList = FileCheckerList;
    EXPECT_EQ(10, WalkTree("D:\\*.*"));
    EXPECT_EQ((Paths{Removed("D:\\links\\real.exe")}), sim.logLines);
    EXPECT_TRUE(std::filesystem::exists(outside + "/sample.exe"));
    EXPECT_TRUE(std::filesystem::is_symlink(sim.HostPath("D:\\links\\link0.exe")));
    EXPECT_EQ((Paths{"D:\\links\\real.exe"}), opened);

    // The memory pass, handed a link as a program file, leaves it alone too.
    Shared.MemoryPassActive = 1;
    WalkTree("D:\\links\\link0.exe");
    EXPECT_EQ(0, Shared.MemoryHit);
    EXPECT_EQ(1u, opened.size());
}

// Names the 8-bit calls list but cannot open (on NTFS through other APIs,
// on any host file system under Wine) are reached through their short names.
class UnopenableNameTest : public HostileDiskTest {
protected:
    void MakeOddNames() {
        for (const char* name : {"trail.exe.", "trailsp.exe ", "a?b.exe", "a*b.exe", "a<b.exe", "a|b.exe",
                                 "a\"b.exe", "a\\b.exe", "\xE6\x97\xA5\xE6\x9C\xAC.exe"})
            HostFile("D:\\odd", name, scantest::SampleFile(0));
        WriteHost(HostFolder("D:\\odd") + "/dir./inside.exe", scantest::SampleFile(0));
        WriteInfected("D:\\odd\\Long Name.exe");
        WriteInfected("D:\\odd\\plain.exe");
    }
};

TEST_F(UnopenableNameTest, ShortNamesCheckAndRemoveThem) {
    MakeOddNames();

    EXPECT_EQ(12, WalkTree("D:\\*.*"));

    // Long names that open keep them; the others show as the short name.
    EXPECT_EQ((Paths{Removed("D:\\odd\\A_B~1.EXE"), Removed("D:\\odd\\A_B~2.EXE"), Removed("D:\\odd\\A_B~3.EXE"),
                     Removed("D:\\odd\\A_B~4.EXE"), Removed("D:\\odd\\A_B~5.EXE"), Removed("D:\\odd\\A_B~6.EXE"),
                     Removed("D:\\odd\\Long Name.exe"), Removed("D:\\odd\\plain.exe"),
                     Removed("D:\\odd\\TRAIL~1.EXE"), Removed("D:\\odd\\TRAILS~1.EXE"),
                     Removed("D:\\odd\\__~1.EXE"), Removed("D:\\odd\\DIR~1\\inside.exe")}),
              sim.logLines);
    EXPECT_EQ(12, Shared.FilesRemoved);
    EXPECT_TRUE(Shown("D:\\odd\\TRAIL~1.EXE"));
    EXPECT_FALSE(Shown("D:\\odd\\trail.exe."));
}

TEST_F(UnopenableNameTest, WithoutShortNamesTheLongNameIsTriedAsBefore) {
    sim.GenerateShortNames(false);
    MakeOddNames();
    UseRecordingChecker();

    EXPECT_EQ(11, WalkTree("D:\\*.*"));  // "dir." cannot be entered

    EXPECT_EQ("D:\\odd\\a\"b.exe", CheckedPaths()[0]);
    ActiveFileCheckerList = FileCheckerList;
    WalkTree("D:\\*.*");
    EXPECT_EQ((Paths{Removed("D:\\odd\\Long Name.exe"), Removed("D:\\odd\\plain.exe")}), sim.logLines);
}

TEST_F(HostileDiskTest, PathsPastTheLimitInADeepTreeAreLeftAlone) {
    // Folders "D:\d\d\...": a file at depth k named n has 2 + 2k + 1 + |n| characters.
    auto at = [](int depth, const std::string& name) {
        std::string path = "D:";
        for (int i = 0; i < depth; ++i) path += "\\d";
        return path + "\\" + name;
    };
    const Paths samples = {at(50, "s115xxxx.exe"), at(120, "s256xxxxx.exe"), at(130, "s27.exe"),
                           at(200, "s416xxxxx.exe")};
    ASSERT_EQ((std::vector<size_t>{115, 256, 270, 416}),
              (std::vector<size_t>{samples[0].size(), samples[1].size(), samples[2].size(), samples[3].size()}));
    for (std::string sample : samples) {
        for (char& c : sample)
            if (c == '\\') c = '/';
        WriteHost(sim.HostPath("D:\\") + sample.substr(2), scantest::SampleFile(0));
    }

    EXPECT_EQ(2, WalkTree("D:\\*.*"));

    EXPECT_EQ((Paths{Removed(samples[0]), Removed(samples[1])}), sim.logLines);
    for (const std::string& shown : sim.statusTexts) EXPECT_LE(shown.size(), 60u);
}

TEST_F(HostileDiskTest, AFileOfFourGibibytesPlusARecordLengthNeverMatches) {
    ActiveSignatureTable = SignatureTable;
    samplegen::Bytes sample = samplegen::MatchingSample(SignatureTable[0]);
    ASSERT_EQ(95744u, sample.size());
    HostFile("D:\\big", "huge.exe", sample);
    std::string huge = sim.HostPath("D:\\big\\huge.exe");
    ASSERT_EQ(0, truncate(huge.c_str(), (4LL << 30) + 95744));  // sparse: takes no room
    HostFile("D:\\big", "real.exe", sample);

    EXPECT_EQ(2, WalkTree("D:\\*.*"));

    EXPECT_EQ((Paths{"D:\\big\\real.exe     W32/Drovak.Trojan removed"}), sim.logLines);
    EXPECT_TRUE(sim.Exists("D:\\big\\huge.exe"));
}

}  // namespace
