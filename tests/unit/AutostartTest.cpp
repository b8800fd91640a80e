#include <cstring>
#include <string>
#include <vector>

#include "repair/Autostart.h"
#include "support/SimTest.h"

namespace {

const char kRemovedByWalk[] = "System Registry     W32/Drovak.Trojan removed";

class AutostartTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        sim.AddDrive('C');
        sim.AddDrive('D');
    }

    void Infected(const std::string& path) {
        snprintf(Shared.CurrentFilePath, sizeof Shared.CurrentFilePath, "%s", path.c_str());
    }
    void Run(const std::string& name, const std::string& data, uint32_t type = kRegSz) {
        sim.SetRegistryText(kHkeyLocalMachine, kRunKeyPath, name, data, type);
    }
    void RunServices(const std::string& name, const std::string& data) {
        sim.SetRegistryText(kHkeyLocalMachine, kRunServicesKeyPath, name, data);
    }
    bool InRun(const std::string& name) { return sim.HasRegistryValue(kHkeyLocalMachine, kRunKeyPath, name); }
    bool InRunServices(const std::string& name) {
        return sim.HasRegistryValue(kHkeyLocalMachine, kRunServicesKeyPath, name);
    }
    void CleanRun() { CleanAutostartKey(kHkeyLocalMachine, kRunKeyPath); }
};

TEST_F(AutostartTest, BareValueGoesOnlyForFilesInASystemFolder) {
    Infected("D:\\Windows\\System32\\abc.exe");
    Run("Loader", "abc.exe");
    CleanRun();
    EXPECT_FALSE(InRun("Loader"));
    EXPECT_EQ(std::vector<std::string>{kRemovedByWalk}, sim.logLines);
    EXPECT_STREQ("Loader", Shared.RememberedRunValue);

    ClearProcessState();
    Shared.MainWindowHandle = sim.mainWindow;
    sim.logLines.clear();
    Infected("D:\\Temp\\abc.exe");
    Run("Loader", "abc.exe");
    CleanRun();
    EXPECT_TRUE(InRun("Loader"));
    EXPECT_TRUE(sim.logLines.empty());
    EXPECT_STREQ("", Shared.RememberedRunValue);
}

TEST_F(AutostartTest, BareValuesMatchBySubstringAndLeadingBackslash) {
    Infected("C:\\WINDOWS\\SYSTEM\\abc.exe");
    Run("Longer", "xabc.exe");
    Run("Rooted", "\\abc.exe -quiet");
    Run("Other", "notepad.exe");
    CleanRun();
    EXPECT_FALSE(InRun("Longer"));
    EXPECT_FALSE(InRun("Rooted"));
    EXPECT_TRUE(InRun("Other"));
    EXPECT_EQ(2u, sim.logLines.size());
    // The walk left the path in lower case, as later steps compare it that way.
    EXPECT_STREQ("c:\\windows\\system\\abc.exe", Shared.CurrentFilePath);
}

TEST_F(AutostartTest, FullPathsMatchAtTheStartWhateverTheCaseOrArguments) {
    Infected("D:\\Windows\\System32\\abc.exe");
    Run("Upper", "D:\\WINDOWS\\SYSTEM32\\ABC.EXE /s");
    Run("Quoted", "\"d:\\windows\\system32\\abc.exe\" -run now");
    Run("AsArgument", "C:\\Tools\\launch.exe D:\\Windows\\System32\\abc.exe");
    Run("OtherFolder", "D:\\Program Files\\abc.exe");
    CleanRun();
    EXPECT_FALSE(InRun("Upper"));
    EXPECT_FALSE(InRun("Quoted"));
    EXPECT_TRUE(InRun("AsArgument"));
    EXPECT_TRUE(InRun("OtherFolder"));
    EXPECT_EQ((std::vector<std::string>{kRemovedByWalk, kRemovedByWalk}), sim.logLines);
    EXPECT_STREQ("Quoted", Shared.RememberedRunValue);
}

TEST_F(AutostartTest, EnvironmentReferencesAreExpandedBeforeMatching) {
    sim.SetWindowsDirectory("D:\\Windows");
    sim.SetEnvironment("ProgDir", "\"D:\\Apps");
    Infected("D:\\Windows\\System32\\abc.exe");
    Run("Expanded", "%SystemRoot%\\system32\\abc.exe", kRegExpandSz);
    Infected("D:\\Windows\\System32\\abc.exe");
    CleanRun();
    EXPECT_FALSE(InRun("Expanded"));

    // A quote that only the expansion brings is skipped as well.
    Infected("D:\\Apps\\tool.exe");
    Run("QuotedByExpansion", "%ProgDir%\\tool.exe\" /x");
    CleanRun();
    EXPECT_FALSE(InRun("QuotedByExpansion"));
    EXPECT_EQ(2u, sim.logLines.size());
}

TEST_F(AutostartTest, ConsecutiveMatchesAreAllRemovedWithoutSkippingTheNext) {
    Infected("D:\\Windows\\System32\\abc.exe");
    Run("A1", "D:\\Windows\\System32\\abc.exe");
    Run("A2", "D:\\Windows\\System32\\abc.exe /second");
    Run("A3", "D:\\Windows\\System32\\abc.exe /third");
    Run("Keep", "C:\\keep.exe");
    Run("A4", "d:\\windows\\system32\\abc.exe");
    CleanRun();
    EXPECT_EQ(std::vector<std::string>{"Keep"}, sim.RegistryValueNames(kHkeyLocalMachine, kRunKeyPath));
    EXPECT_EQ(4u, sim.logLines.size());
    EXPECT_STREQ("A4", Shared.RememberedRunValue);
}

TEST_F(AutostartTest, MissingOrEmptyKeysAndPathsWithoutFolderDoNothing) {
    Infected("D:\\Windows\\System32\\abc.exe");
    CleanRun();  // the key does not exist
    sim.SetRegistryText(kHkeyLocalMachine, kRunKeyPath, "x", "");
    EXPECT_EQ(1, DeleteRegistryValue(kHkeyLocalMachine, kRunKeyPath, "x"));
    CleanRun();  // the key exists, with no values
    EXPECT_TRUE(sim.logLines.empty());

    Infected("abc.exe");
    Run("Bare", "abc.exe");
    CleanRun();
    EXPECT_TRUE(InRun("Bare"));
    Infected("C:\\WINDOWS\\SYSTEM\\");
    CleanRun();
    EXPECT_TRUE(InRun("Bare"));
    EXPECT_TRUE(sim.logLines.empty());
}

TEST_F(AutostartTest, OverlongNamesGoUnrememberedAndOverlongDataStays) {
    Infected("D:\\Windows\\System32\\abc.exe");
    std::string longName(128, 'n');
    std::string longest(16383, 'z');
    std::string fitName(127, 'f');
    Run(longName, "D:\\Windows\\System32\\abc.exe");
    Run(longest, "D:\\Windows\\System32\\abc.exe");
    Run(fitName, "D:\\Windows\\System32\\abc.exe");
    std::string longData = "D:\\Windows\\System32\\abc.exe " + std::string(260, 'a');
    std::string fits = longData.substr(0, 260);  // 260 bytes without a zero
    sim.SetRegistryBytes(kHkeyLocalMachine, kRunKeyPath, "LongData", std::vector<uint8_t>(fits.begin(), fits.end()));
    Run("TooLong", longData.substr(0, 260));  // 260 characters and the zero: 261 bytes
    CleanRun();
    EXPECT_FALSE(InRun(longName));
    EXPECT_FALSE(InRun(longest));
    EXPECT_FALSE(InRun(fitName));
    EXPECT_FALSE(InRun("LongData"));
    EXPECT_TRUE(InRun("TooLong"));
    EXPECT_STREQ("LongData", Shared.RememberedRunValue);
}

TEST_F(AutostartTest, ValuesOfEveryTypeAndLengthsAroundTheBuffer) {
    const std::string path = "D:\\Apps\\evil.exe";
    Infected(path);
    auto bytes = [](const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); };
    const uint32_t kRegNone = 0, kRegDwordBigEndian = 5, kRegLink = 6, kRegResourceList = 8, kRegQword = 11;
    // Whatever the type, the data are read as text: those that begin with the path go.
    for (uint32_t type : {kRegNone, kRegBinary, kRegDwordBigEndian, kRegLink, kRegResourceList, kRegQword})
        sim.SetRegistryBytes(kHkeyLocalMachine, kRunKeyPath, "Type" + std::to_string(type), bytes(path + " /x"), type);
    Run("Sz", path, kRegSz);
    Run("Expand", path, kRegExpandSz);
    Run("Multi", path + std::string(1, '\0') + "second", kRegMultiSz);
    sim.SetRegistryBytes(kHkeyLocalMachine, kRunKeyPath, "Dword", {1, 0, 0, 0}, kRegDword);
    // 259 and 260 bytes fit the data buffer with the zero added; 261 do not.
    for (size_t length : {259u, 260u, 261u})
        sim.SetRegistryBytes(kHkeyLocalMachine, kRunKeyPath, "Bytes" + std::to_string(length),
                             bytes(path + std::string(length - path.size(), ' ')), kRegSz);
    CleanRun();
    EXPECT_EQ((std::vector<std::string>{"Dword", "Bytes261"}), sim.RegistryValueNames(kHkeyLocalMachine, kRunKeyPath));
    EXPECT_EQ(11u, sim.logLines.size());
}

TEST_F(AutostartTest, ReadRegistryTextTakesAnyTypeAsText) {
    std::vector<uint8_t> bytes = {'a', 'b', 'c'};
    sim.SetRegistryBytes(kHkeyLocalMachine, kRunKeyPath, "Bin", bytes);
    char buffer[8];
    memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(1, ReadRegistryText(kHkeyLocalMachine, kRunKeyPath, "Bin", buffer, sizeof buffer));
    EXPECT_STREQ("abc", buffer);
    EXPECT_EQ(0, ReadRegistryText(kHkeyLocalMachine, kRunKeyPath, "Missing", buffer, sizeof buffer));
    EXPECT_EQ(0, ReadRegistryText(kHkeyLocalMachine, "Software\\Nowhere", "Bin", buffer, sizeof buffer));
    // "abc" fits a 4-byte buffer with its added zero, "abcd" does not.
    EXPECT_EQ(1, ReadRegistryText(kHkeyLocalMachine, kRunKeyPath, "Bin", buffer, 4));
    sim.SetRegistryBytes(kHkeyLocalMachine, kRunKeyPath, "Bin", {'a', 'b', 'c', 'd'});
    EXPECT_EQ(0, ReadRegistryText(kHkeyLocalMachine, kRunKeyPath, "Bin", buffer, 4));
}

TEST_F(AutostartTest, DeleteRegistryValueReportsOnlyARealDeletion) {
    Run("One", "x");
    EXPECT_EQ(0, DeleteRegistryValue(kHkeyLocalMachine, kRunKeyPath, "Two"));
    EXPECT_EQ(0, DeleteRegistryValue(kHkeyLocalMachine, "Software\\Nowhere", "One"));
    EXPECT_EQ(1, DeleteRegistryValue(kHkeyLocalMachine, kRunKeyPath, "one"));
    EXPECT_FALSE(InRun("One"));
}

TEST_F(AutostartTest, RepairWalksRunThenRunServicesAndRemembersTheName) {
    Infected("D:\\Windows\\System32\\abc.exe");
    Run("Unrelated", "C:\\Program Files\\app.exe");
    RunServices("Svc", "D:\\Windows\\System32\\abc.exe");
    EXPECT_EQ(1, RepairAfterDetection("W32/Drovak.Zg.Trojan"));
    EXPECT_TRUE(InRun("Unrelated"));
    EXPECT_FALSE(InRunServices("Svc"));
    EXPECT_EQ(std::vector<std::string>{kRemovedByWalk}, sim.logLines);
    EXPECT_STREQ("Svc", Shared.RememberedRunValue);

    // The second infected file: the remembered name is removed again from
    // both keys, each with a line carrying that file's detection name.
    Run("Svc", "C:\\anything.exe");
    RunServices("Svc", "C:\\anything.exe");
    Infected("D:\\Temp\\second.exe");
    sim.logLines.clear();
    EXPECT_EQ(1, RepairAfterDetection("W32/Drovak.Ab.Trojan"));
    EXPECT_FALSE(InRun("Svc"));
    EXPECT_FALSE(InRunServices("Svc"));
    EXPECT_TRUE(InRun("Unrelated"));
    EXPECT_EQ((std::vector<std::string>{"System Registry     W32/Drovak.Ab.Trojan removed",
                                        "System Registry     W32/Drovak.Ab.Trojan removed"}),
              sim.logLines);
}

TEST_F(AutostartTest, NoLinesBeforeTheScanHasAWindowButValuesStillGo) {
    Shared.MainWindowHandle = 0;
    Infected("D:\\Windows\\System32\\abc.exe");
    Run("A", "D:\\Windows\\System32\\abc.exe");
    RunServices("A", "x");
    RepairAfterDetection("W32/Drovak.Trojan");
    EXPECT_FALSE(InRun("A"));
    EXPECT_TRUE(InRunServices("A"));
    Infected("D:\\Temp\\other.exe");
    RepairAfterDetection("W32/Drovak.Trojan");
    EXPECT_FALSE(InRunServices("A")) << "the remembered name goes on the next detection";
    Shared.MainWindowHandle = sim.mainWindow;
    EXPECT_TRUE(sim.logLines.empty());
}

TEST_F(AutostartTest, AnEmptyCurrentPathSkipsTheWalk) {
    Run("A", "abc.exe");
    strcpy(Shared.RememberedRunValue, "Gone");
    EXPECT_EQ(1, RepairAfterDetection("W32/Drovak.Trojan"));
    EXPECT_TRUE(InRun("A"));
    EXPECT_TRUE(sim.logLines.empty());
}

}  // namespace
