// Service keys removed from both numbered control sets.
#include <string>

#include "repair/ServiceKeys.h"
#include "support/SimTest.h"

namespace {

const char kSet1[] = "SYSTEM\\ControlSet001\\Services\\";
const char kSet2[] = "SYSTEM\\ControlSet002\\Services\\";

class ServiceKeysTest : public SimTest {
protected:
    void MakeService(const std::string& set, const std::string& name) {
        sim.SetRegistryText(kHkeyLocalMachine, set + name, "ImagePath", "C:\\evil.exe");
        sim.SetRegistryText(kHkeyLocalMachine, set + name + "\\Enum", "Count", "1");
        sim.SetRegistryText(kHkeyLocalMachine, set + name + "\\Security", "Security", "x");
    }
    bool Has(const std::string& path) { return sim.HasRegistryKey(kHkeyLocalMachine, path); }
};

TEST_F(ServiceKeysTest, KeysInOneControlSetAreRemovedSubKeysFirst) {
    MakeService(kSet1, "EVIL");
    MakeService(kSet1, "Other");
    EXPECT_EQ(1, RemoveServiceKeys("evil"));
    EXPECT_FALSE(Has(std::string(kSet1) + "EVIL"));
    EXPECT_TRUE(Has(std::string(kSet1) + "Other\\Enum"));
}

TEST_F(ServiceKeysTest, BothControlSetsAndAnExtraSubKeyOnNt) {
    MakeService(kSet1, "evil");
    MakeService(kSet2, "evil");
    sim.SetRegistryText(kHkeyLocalMachine, std::string(kSet2) + "evil\\Parameters", "x", "y");
    EXPECT_EQ(1, RemoveServiceKeys("evil"));
    EXPECT_FALSE(Has(std::string(kSet1) + "evil"));
    // NT keeps a key that still has a sub-key of its own; only the known ones went.
    EXPECT_TRUE(Has(std::string(kSet2) + "evil\\Parameters"));
    EXPECT_FALSE(Has(std::string(kSet2) + "evil\\Enum"));
    EXPECT_FALSE(Has(std::string(kSet2) + "evil\\Security"));
}

TEST_F(ServiceKeysTest, NoKeyAnywhereGivesZero) {
    MakeService("SYSTEM\\ControlSet003\\Services\\", "evil");
    EXPECT_EQ(0, RemoveServiceKeys("evil"));
    EXPECT_TRUE(Has("SYSTEM\\ControlSet003\\Services\\evil"));
}

TEST_F(ServiceKeysTest, EmptyOrOverlongNamesTouchNothing) {
    // The 9x registry deletes whole trees, so a wrong path would show at once.
    sim.SetVersion(1, 4, 10);
    std::string overlong(473, 'a');
    MakeService(kSet1, overlong);
    EXPECT_EQ(0, RemoveServiceKeys(""));
    EXPECT_EQ(0, RemoveServiceKeys(overlong.c_str()));
    EXPECT_TRUE(Has(std::string(kSet1) + overlong + "\\Security"));
    EXPECT_TRUE(Has("SYSTEM\\ControlSet001\\Services"));
}

TEST_F(ServiceKeysTest, LongestNameThatFitsIsStillTried) {
    std::string name(472, 'n');
    sim.SetRegistryText(kHkeyLocalMachine, std::string(kSet2) + name, "ImagePath", "x");
    EXPECT_EQ(1, RemoveServiceKeys(name.c_str()));
    EXPECT_FALSE(Has(std::string(kSet2) + name));
}

}  // namespace
