#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "repair/Autostart.h"
#include "support/SimTest.h"

namespace {

using Lines = std::vector<std::string>;

const char kRemovedByWalk[] = "System Registry     W32/Drovak.Trojan removed";

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

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

// One Run value against one infected file: a bare value (no folder, or a
// leading backslash) goes when it holds the file's name and the file is in a
// system folder; any other value when it starts with the file's path, in any
// case, after an opening quote, also one that only its expansion brings.
TEST_F(AutostartTest, AValueGoesWhenItLaunchesTheInfectedFile) {
    sim.SetWindowsDirectory("D:\\Windows");
    sim.SetEnvironment("ProgDir", "\"D:\\Apps");
    const char kSystem32File[] = "D:\\Windows\\System32\\abc.exe";
    const char kSystemFile[] = "C:\\WINDOWS\\SYSTEM\\abc.exe";
    const struct {
        const char* infected;
        const char* data;
        bool removed;
        uint32_t type;
    } kCases[] = {
        {kSystem32File, "abc.exe", true, kRegSz},
        {"D:\\Temp\\abc.exe", "abc.exe", false, kRegSz},
        {kSystemFile, "xabc.exe", true, kRegSz},
        {kSystemFile, "\\abc.exe -quiet", true, kRegSz},
        {kSystemFile, "notepad.exe", false, kRegSz},
        {kSystem32File, "D:\\WINDOWS\\SYSTEM32\\ABC.EXE /s", true, kRegSz},
        {kSystem32File, "\"d:\\windows\\system32\\abc.exe\" -run now", true, kRegSz},
        {kSystem32File, "C:\\Tools\\launch.exe D:\\Windows\\System32\\abc.exe", false, kRegSz},
        {kSystem32File, "D:\\Program Files\\abc.exe", false, kRegSz},
        {kSystem32File, "%SystemRoot%\\system32\\abc.exe", true, kRegExpandSz},
        {"D:\\Apps\\tool.exe", "%ProgDir%\\tool.exe\" /x", true, kRegSz},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.data);
        ResetProcessState();
        Shared.MainWindowHandle = sim.mainWindow;
        sim.logLines.clear();
        Infected(c.infected);
        Run("Loader", c.data, c.type);
        CleanRun();
        EXPECT_EQ(!c.removed, InRun("Loader"));
        EXPECT_EQ(c.removed ? Lines{kRemovedByWalk} : Lines{}, sim.logLines);
        EXPECT_STREQ(c.removed ? "Loader" : "", Shared.RememberedRunValue);
        // The walk leaves the path in lower case, as later steps compare it that way.
        EXPECT_EQ(Lower(c.infected), Shared.CurrentFilePath);
        DeleteRegistryValue(kHkeyLocalMachine, kRunKeyPath, "Loader");
    }
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
