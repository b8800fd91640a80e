// The product key read at start and the pages the links open.
#include <cstring>
#include <string>

#include "common/ProductKey.h"
#include "res/resource.h"
#include "support/SimTest.h"
#include "ui/logic/MakerSite.h"

namespace {

const char kProductKey[] = "Software\\Quorvex\\Kestrova 2000";

// Remembers the buffer size each value read offers.
class RecordingSim : public SimPlatform {
public:
    int32_t KeyQueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                          uint32_t* size) override {
        offeredSize = size ? *size : 0;
        ++reads;
        return SimPlatform::KeyQueryValue(key, name, type, data, size);
    }
    uint32_t offeredSize = 0;
    int reads = 0;
};

}  // namespace

class UiProductKey : public SimTest {
protected:
    RecordingSim recording;
    PlatformScope recordingSeam{recording.Parts()};
    SimPlatform& sim = recording;
};

TEST_F(UiProductKey, MissingKeyOrValueIsNotInstalled) {
    EXPECT_FALSE(IsProductInstalled());
    sim.SetRegistryText(kHkeyLocalMachine, kProductKey, "Other Value", "C:\\Kestrova");
    EXPECT_FALSE(IsProductInstalled());
    // The right value under another root does not count.
    sim.SetRegistryText(kHkeyCurrentUser, kProductKey, "Installed Folder", "C:\\Kestrova");
    EXPECT_FALSE(IsProductInstalled());
}

TEST_F(UiProductKey, ValuePresentIsInstalledWhateverItsType) {
    sim.SetRegistryText(kHkeyLocalMachine, kProductKey, "Installed Folder", "C:\\Kestrova");
    EXPECT_TRUE(IsProductInstalled());
}

TEST_F(UiProductKey, BinaryValueCountsToo) {
    sim.SetRegistryBytes(kHkeyLocalMachine, kProductKey, "Installed Folder",
                         std::vector<uint8_t>{1, 2, 3});
    EXPECT_TRUE(IsProductInstalled());
}

TEST_F(UiProductKey, OverlongValueIsReadSafelyAndCountsAsInstalled) {
    // 400 characters cannot fit the 300-byte buffer: the read is offered
    // exactly the buffer's size, so the system refuses instead of overrunning.
    sim.SetRegistryText(kHkeyLocalMachine, kProductKey, "Installed Folder",
                        std::string(400, 'K'));
    EXPECT_TRUE(IsProductInstalled());
    EXPECT_EQ(1, recording.reads);
    EXPECT_EQ(300u, recording.offeredSize);  // never more than the buffer holds
    sim.SetRegistryText(kHkeyLocalMachine, kProductKey, "Installed Folder",
                        std::string(299, 'K'));  // 300 bytes with its zero: fits exactly
    EXPECT_TRUE(IsProductInstalled());
}

TEST(UiMakerPages, LinksOpenTheirPages) {
    EXPECT_STREQ(kDownloadPage, PageForCommand(IDC_DOWNLOAD));
    EXPECT_STREQ(kDownloadPage, PageForCommand(IDC_DLINK));
    EXPECT_STREQ(kUtilityPage, PageForCommand(IDC_ULINK));
    EXPECT_EQ(nullptr, PageForCommand(IDC_LOGO));  // the logo has no command
    EXPECT_EQ(nullptr, PageForCommand(IDC_SCAN));
    const char* pages[] = {kDownloadPage, kUtilityPage};
    const char* tails[] = {"/download/downloadnow.htm", "/download/utility.htm"};
    for (int i = 0; i < 2; ++i) {
        std::string page = pages[i];
        EXPECT_EQ(0u, page.find("http://"));
        ASSERT_GE(page.size(), strlen(tails[i]));
        EXPECT_EQ(tails[i], page.substr(page.size() - strlen(tails[i])));
    }
}
