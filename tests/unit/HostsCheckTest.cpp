#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "repair/HostsCheck.h"
#include "support/SimTest.h"

// The record layout is packed, field by field.
static_assert(offsetof(AttachmentRecord, referenceSize) == 25, "referenceSize at 25");
static_assert(offsetof(AttachmentRecord, position) == 29, "position at 29");
static_assert(offsetof(AttachmentRecord, patternLength) == 31, "patternLength at 31");
static_assert(offsetof(AttachmentRecord, region) == 33, "region at 33");
static_assert(offsetof(AttachmentRecord, pattern) == 35, "pattern at 35");
static_assert(offsetof(AttachmentRecord, searchMode) == 135, "searchMode at 135");
static_assert(offsetof(AttachmentRecord, sizeRule) == 139, "sizeRule at 139");
static_assert(offsetof(AttachmentRecord, resultCode) == 141, "resultCode at 141");
static_assert(offsetof(AttachmentRecord, reserved2) == 143, "reserved2 at 143");

namespace {

// The plain signature text; the table stores it scrambled.
const char kPlainPattern[] =
    R"pat(E=&EC(&%T=&%C:&UE;G0@<V%M<&QE(&9O<B!T:&4@M96YC;V1E9"UT97AT(&UA=&-H97([(&AA<FUL97-S(&9I;&QE<B!B>71E<R)pat";
const char kHosts[] = "C:\\WINDOWS\\SYSTEM32\\drivers\\etc\\hosts";

std::string Pattern() { return std::string(kPlainPattern, 100); }

// Encoded-looking filler without the pattern's first byte.
std::string Filler(size_t length) {
    std::string text;
    const char kChars[] = "M0V]R9&%F:7@@<WN=&A=&C(&%T=&%C:&U;G0@<V%M<&Q(&9O<B!T:&4@";
    while (text.size() < length) text += kChars[text.size() % (sizeof kChars - 1)];
    return text;
}

// Breaks text into uuencode-like lines of 61 characters ended by CR LF.
std::string AsLines(const std::string& text) {
    std::string result;
    for (size_t i = 0; i < text.size(); i += 61) result += text.substr(i, 61) + "\r\n";
    return result;
}

class HostsCheckTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        sim.AddDrive('C');
        UnscramblePatterns();
        Shared.ActionCode = 100;
    }

    void WriteHosts(const std::string& content) { ASSERT_TRUE(sim.WriteFile(kHosts, content)); }
    int Check() { return CheckAndCleanEncodedFile(kHosts); }
    std::string Line(const char* outcome) { return std::string(kHosts) + "     W32/Nyxem.Worm " + outcome; }
};

TEST_F(HostsCheckTest, TheStoredPatternIsScrambledUuencodedText) {
    const AttachmentRecord& record = AttachmentTable[0];
    EXPECT_STREQ("W32/Nyxem.Worm", record.name);
    EXPECT_EQ(0, memcmp(record.pattern, kPlainPattern, 100));
    UnscramblePatterns();  // only the first call changes the table
    EXPECT_EQ(0, memcmp(record.pattern, kPlainPattern, 100));
    for (uint8_t c : record.pattern) {
        EXPECT_GE(c, '!');
        EXPECT_LE(c, '`');
    }
    // Packed fields are compared by value: a reference to one may be misaligned.
    EXPECT_EQ(100, uint16_t{record.patternLength});
    EXPECT_EQ(kSearchWholeRegion, int16_t{record.searchMode});
    EXPECT_EQ(kRegionHead, int16_t{record.region});
    EXPECT_EQ(18, int16_t{record.sizeRule});
    EXPECT_EQ(134042, int32_t{record.referenceSize});
    EXPECT_EQ(1888, int16_t{record.position});
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&record);
    EXPECT_EQ('E', bytes[35]) << "the pattern field starts at offset 35";
    EXPECT_EQ(100, bytes[31] | (bytes[32] << 8));
}

TEST_F(HostsCheckTest, OrdinaryHostsFileIsLeftAlone) {
    WriteHosts("# hosts\r\n127.0.0.1 localhost\r\n" + Pattern() + "\r\n");
    EXPECT_EQ(0, Check());
    EXPECT_TRUE(sim.Exists(kHosts));
    EXPECT_TRUE(sim.logLines.empty());
    EXPECT_EQ(0, Shared.FilesInfected);
}

TEST_F(HostsCheckTest, EncodedHostsFileWithThePatternIsDeleted) {
    WriteHosts("begin 644 x.exe\r\n" + AsLines(Filler(200) + Pattern() + Filler(300)) + "end\r\n");
    EXPECT_EQ(1, Check());
    EXPECT_FALSE(sim.Exists(kHosts));
    EXPECT_EQ(std::vector<std::string>{Line("removed")}, sim.logLines);
    EXPECT_EQ(1, Shared.FilesInfected);
    EXPECT_EQ(1, Shared.FilesRemoved);
    EXPECT_STREQ("W32/Nyxem.Worm", Shared.LastDetectionName);
    EXPECT_STREQ(kHosts, Shared.StatusText);
    EXPECT_EQ(0, sim.OpenDescriptorCount());
}

TEST_F(HostsCheckTest, HeaderIgnoresLetterCaseAndWhitespaceSplitsDoNotMatter) {
    std::string split = Pattern();
    split.insert(70, "\r\n \t");
    split.insert(30, "\n\v\f ");
    WriteHosts("BeGiN 644 x\n" + split);
    EXPECT_EQ(1, Check());
    WriteHosts("BEGIN" + Pattern());
    EXPECT_EQ(1, Check());
    EXPECT_EQ(2, Shared.FilesRemoved);
    WriteHosts(" begin" + Pattern());  // the word must be the first five bytes
    EXPECT_EQ(0, Check());
    WriteHosts("begi");
    EXPECT_EQ(0, Check());
}

TEST_F(HostsCheckTest, OnlyTheFirst4096BytesAreSearched) {
    std::string head = "begin 644 x\n" + Filler(4096 - 12);
    WriteHosts(head + Pattern() + Filler(5000));
    EXPECT_EQ(0, Check());
    // The pattern's last byte is the file's byte 4095: still inside the head.
    WriteHosts("begin" + Filler(4096 - 5 - 100) + Pattern());
    EXPECT_EQ(1, Check());
    // Blanks removed from the head leave room, but nothing from behind byte
    // 4096 moves in: the pattern's last 40 bytes lie beyond it.
    WriteHosts("begin" + std::string(50, ' ') + Filler(4096 - 55 - 60) + Pattern() + Filler(100));
    EXPECT_EQ(0, Check());
}

TEST_F(HostsCheckTest, AFileOfExactlyOneBlockMatchesAndFilesShorterThanThePatternDoNot) {
    std::string exact = "begin" + Filler(2000) + Pattern();
    exact += Filler(4096 - exact.size());
    ASSERT_EQ(4096u, exact.size());
    WriteHosts(exact);
    EXPECT_EQ(1, Check());

    // Shorter than the pattern: the record is not tried at all.
    WriteHosts("begin" + Pattern().substr(0, 90));
    EXPECT_EQ(0, Check());
    WriteHosts("begin");
    EXPECT_EQ(0, Check());
    EXPECT_EQ(1, Shared.FilesInfected);
}

TEST_F(HostsCheckTest, AFiftyMegabyteFileIsJudgedByItsHead) {
    const std::string block = Filler(1 << 20);
    std::string half = "begin 644 x\n";
    for (int i = 0; i < 25; ++i) half += block;
    WriteHosts(half + Pattern() + half);  // 50 MB, the pattern deep inside only
    EXPECT_EQ(0, Check());
    EXPECT_TRUE(sim.Exists(kHosts));
    WriteHosts("begin 644 x\n" + Pattern() + half + half);
    EXPECT_EQ(1, Check());
    EXPECT_FALSE(sim.Exists(kHosts));
    EXPECT_EQ(std::vector<std::string>{Line("removed")}, sim.logLines);
}

TEST_F(HostsCheckTest, ActionCodesDecideTheDisposition) {
    std::string content = "begin\n" + Pattern() + "\n";
    Shared.ActionCode = 103;
    WriteHosts(content);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(1, Check());
    EXPECT_EQ(3, Shared.FilesInfected);
    EXPECT_EQ(std::vector<std::string>(3, Line("Not Disinfected As Per User's Selection")), sim.logLines);
    EXPECT_TRUE(sim.Exists(kHosts));

    sim.logLines.clear();
    Shared.ActionCode = 99;
    EXPECT_EQ(1, Check());
    EXPECT_TRUE(sim.logLines.empty());
    EXPECT_TRUE(sim.Exists(kHosts));

    Shared.ActionCode = 102;
    sim.LockFile(kHosts);
    EXPECT_EQ(1, Check());
    EXPECT_EQ(std::vector<std::string>{Line("Remove failed")}, sim.logLines);
    EXPECT_EQ(0, Shared.FilesRemoved);
    sim.UnlockFile(kHosts);
    EXPECT_EQ(1, Check());
    EXPECT_EQ(Line("removed"), sim.logLines.back());
    EXPECT_EQ(1, Shared.FilesRemoved);
}

TEST_F(HostsCheckTest, RenameKeepsAPathWithoutDotAndChangesTheLetterAfterTheLastDot) {
    Shared.ActionCode = 101;
    WriteHosts("begin\n" + Pattern());
    EXPECT_EQ(1, Check());
    EXPECT_EQ(std::vector<std::string>{Line("renamed")}, sim.logLines);
    EXPECT_EQ(1, Shared.FilesRenamed);
    EXPECT_TRUE(sim.Exists(kHosts));

    const char kDotted[] = "C:\\WINDOWS\\hosts.sam";
    ASSERT_TRUE(sim.WriteFile(kDotted, "begin\n" + Pattern()));
    EXPECT_EQ(1, CheckAndCleanEncodedFile(kDotted));
    EXPECT_TRUE(sim.Exists("C:\\WINDOWS\\hosts.Vam"));
    ASSERT_TRUE(sim.WriteFile(kDotted, "begin\n" + Pattern()));
    EXPECT_EQ(1, CheckAndCleanEncodedFile(kDotted));  // the new name is taken
    EXPECT_EQ(std::string(kDotted) + "     W32/Nyxem.Worm Rename failed", sim.logLines.back());
    EXPECT_EQ(2, Shared.FilesRenamed);
}

TEST_F(HostsCheckTest, HostsPathFollowsThePlatformFamily) {
    char path[260];
    ASSERT_TRUE(GetHostsFilePath(path, sizeof path));
    EXPECT_STREQ(kHosts, path);
    sim.SetVersion(1, 4, 10);
    ASSERT_TRUE(GetHostsFilePath(path, sizeof path));
    EXPECT_STREQ("C:\\WINDOWS\\hosts", path);
    sim.SetVersion(3, 1, 0);
    EXPECT_FALSE(GetHostsFilePath(path, sizeof path));
    sim.FailVersion();
    EXPECT_FALSE(GetHostsFilePath(path, sizeof path));

    // On another platform even a matching file in either place stays.
    sim.SetVersion(0, 3, 1);
    WriteHosts("begin\n" + Pattern());
    ASSERT_TRUE(sim.WriteFile("C:\\WINDOWS\\hosts", "begin\n" + Pattern()));
    CheckHostsFile();
    EXPECT_TRUE(sim.Exists(kHosts));
    EXPECT_TRUE(sim.Exists("C:\\WINDOWS\\hosts"));
    sim.SetVersion(1, 4, 10);
    CheckHostsFile();
    EXPECT_FALSE(sim.Exists("C:\\WINDOWS\\hosts"));
    EXPECT_TRUE(sim.Exists(kHosts));
}

TEST_F(HostsCheckTest, MissingHostsFileIsSilent) {
    EXPECT_EQ(0, Check());
    CheckHostsFile();
    EXPECT_TRUE(sim.logLines.empty());
    EXPECT_EQ(0, Shared.FilesInfected);
}

TEST(FindPatternTest, NeverReadsPastTheTextAndResumesAfterAFalseStart) {
    const uint8_t text[] = {'a', 'a', 'b', 'a', 'b', 'c'};
    const uint8_t pattern[] = {'a', 'b', 'c'};
    EXPECT_EQ(1, FindPattern(text, 6, pattern, 3, sizeof text));
    EXPECT_EQ(1, FindPattern(text, 4, pattern, 3, sizeof text)) << "start 3 lies below the search length";
    EXPECT_EQ(0, FindPattern(text, 3, pattern, 3, sizeof text));
    // Starts whose comparison would run past the text's end are mismatches.
    EXPECT_EQ(0, FindPattern(text, 6, pattern, 3, 5));
    EXPECT_EQ(0, FindPattern(text, 100, pattern, 3, 5));
}

TEST(StripWhitespaceTest, KeepsEverythingButTheSixBlanks) {
    const uint8_t source[] = {'a', ' ', '\t', '\n', 'b', '\v', '\f', '\r', 0, 'c', 0xA0};
    uint8_t destination[sizeof source];
    ASSERT_EQ(5, StripWhitespace(source, destination, sizeof source));
    const uint8_t expected[] = {'a', 'b', 0, 'c', 0xA0};
    EXPECT_EQ(0, memcmp(expected, destination, sizeof expected));
    EXPECT_EQ(1, StripWhitespace(source, destination, 2));
}

// Records other than the built-in one: fixed positions, the tail, size rules.
const int16_t kAtPosition = 0;  // any search mode but kSearchWholeRegion

class AttachmentRulesTest : public HostsCheckTest {
protected:
    void Use(std::vector<AttachmentRecord> records) {
        table_ = records;
        ActiveAttachmentTable = table_.data();
        ActiveAttachmentCount = table_.size();
    }
    AttachmentRecord Record(const char* name, const std::string& pattern, int16_t mode, int16_t region,
                            int16_t position) {
        AttachmentRecord record;
        memset(&record, 0, sizeof record);
        snprintf(record.name, sizeof record.name, "%s", name);
        memcpy(record.pattern, pattern.data(), pattern.size());
        record.patternLength = static_cast<uint16_t>(pattern.size());
        record.searchMode = mode;
        record.region = region;
        record.position = position;
        return record;
    }
    int Match() {
        int fd = sim.FileOpen(kHosts, kOpenReadOnly | kOpenBinary, 0);
        int index = -1;
        int result = MatchEncodedFile(fd, &index);
        sim.FileClose(fd);
        return result ? index : -1;
    }
    std::vector<AttachmentRecord> table_;
};

TEST_F(AttachmentRulesTest, FixedPositionsCountInTheStrippedText) {
    Use({Record("Head", "XYZ", kAtPosition, kRegionHead, 7), Record("Tail", "end", kAtPosition, kRegionTail, 3)});
    WriteHosts("begin \r\n XYZ0123456789");  // stripped: "beginXYZ0..." -> XYZ at 5
    EXPECT_EQ(-1, Match());
    WriteHosts("begin\r\n12XYZ0123456789");  // stripped: XYZ at 7
    EXPECT_EQ(0, Match());
    WriteHosts("begin 1234 \n end");  // the tail's last three bytes
    EXPECT_EQ(1, Match());
    EXPECT_EQ(2, Shared.FilesInfected);
}

TEST_F(AttachmentRulesTest, FixedPositionsOutsideTheTextNeverMatchStaleBytes) {
    Use({Record("Far", "XYZ", kAtPosition, kRegionHead, 20), Record("Back", "beg", kAtPosition, kRegionTail, 40)});
    WriteHosts("begin" + std::string(15, '-') + "XYZ");
    EXPECT_EQ(0, Match());
    WriteHosts("begin");  // HeadText still holds "XYZ" at 20 from before
    EXPECT_EQ(-1, Match());
    WriteHosts("begin" + std::string(40, '-'));
    EXPECT_EQ(-1, Match()) << "40 back from the end of 45 bytes holds dashes";
    table_[1].position = 45;
    EXPECT_EQ(1, Match());
    table_[1].position = 46;
    EXPECT_EQ(-1, Match());
}

TEST_F(AttachmentRulesTest, TailSearchAndRecordOrder) {
    Use({Record("Off", "QQQ", kSearchWholeRegion, kRegionHead, 0),
         Record("Tailer", "TAILMARK", kSearchWholeRegion, kRegionTail, 0),
         Record("Later", "TAILMARK", kSearchWholeRegion, kRegionTail, 0)});
    table_[0].patternLength = 0;  // disabled
    std::string content = "begin" + std::string(5000, '.') + "TAILMARK" + std::string(100, '.');
    content.replace(10, 3, "QQQ");
    WriteHosts(content);
    EXPECT_EQ(1, Match());
    WriteHosts("begin" + std::string(5000, '.') + "TAILMARK" + std::string(4096, '.'));
    EXPECT_EQ(-1, Match());
}

TEST_F(AttachmentRulesTest, SizeRulesCompareWithTheFilesLength) {
    Use({Record("Equal", "ZZ", kSearchWholeRegion, kRegionHead, 0),
         Record("Near", "ZZ", kSearchWholeRegion, kRegionHead, 0)});
    table_[0].sizeRule = kSizeRuleEqual;
    table_[0].referenceSize = 9;
    table_[1].sizeRule = kSizeRuleNear;
    table_[1].referenceSize = 9 + 4096;
    WriteHosts("beginZZ..");  // 9 bytes
    EXPECT_EQ(0, Match());
    WriteHosts("beginZZ.");  // 8 bytes: only the near rule holds
    EXPECT_EQ(-1, Match()) << "4105 lies more than 4096 above 8";
    table_[1].referenceSize = 8 + 4096;
    EXPECT_EQ(1, Match());
    table_[1].referenceSize = 8 - 4096;
    EXPECT_EQ(1, Match());
}

}  // namespace
