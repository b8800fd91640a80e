// Registry answers the autostart and service-key repairs rely on.
#include <cstring>
#include <string>
#include <vector>

#include "contract/ContractTest.h"
#include "repair/ServiceKeys.h"

namespace {

class RegistryContract : public ContractTest {
protected:
    void SetUp() override {
        ContractTest::SetUp();
        ASSERT_EQ(SysRegistry().KeyCreate(kHkeyCurrentUser, registryKey.c_str(), &key), 0);
    }
    void TearDown() override {
        SysRegistry().KeyClose(key);
        ContractTest::TearDown();
    }

    void SetText(RegKey where, const char* name, const char* text) {
        ASSERT_EQ(SysRegistry().KeySetValue(where, name, kRegSz, reinterpret_cast<const uint8_t*>(text),
                                    static_cast<uint32_t>(strlen(text) + 1)),
                  0);
    }

    std::vector<std::string> Enumerate(RegKey where) {
        std::vector<std::string> names;
        for (uint32_t index = 0;; ++index) {
            char name[64];
            uint32_t length = sizeof name;
            if (SysRegistry().KeyEnumValue(where, index, name, &length) != 0) break;
            names.push_back(name);
        }
        return names;
    }

    RegKey key = 0;
};

TEST_F(RegistryContract, ValuesEnumerateInCreationOrder) {
    if (env.IsWine()) GTEST_SKIP() << "Wine lists values sorted by name, Windows in creation order";
    SetText(key, "Zed", "z.exe");
    SetText(key, "alpha", "a.exe");
    SetText(key, "Mid", "m.exe");
    uint32_t count = 0;
    EXPECT_EQ(SysRegistry().KeyValueCount(key, &count), 0);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(Enumerate(key), (std::vector<std::string>{"Zed", "alpha", "Mid"}));
    char name[64];
    uint32_t length = sizeof name;
    EXPECT_EQ(SysRegistry().KeyEnumValue(key, 3, name, &length), kErrorNoMoreItems);
}

TEST_F(RegistryContract, DeletingAValueMovesTheLaterOnesUp) {
    for (const char* name : {"one", "two", "three", "four"}) SetText(key, name, "x");
    std::vector<std::string> before = Enumerate(key);
    ASSERT_EQ(before.size(), 4u);
    std::string second = before[1];
    for (char& c : second) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(SysRegistry().KeyDeleteValue(key, second.c_str()), 0);
    EXPECT_EQ(SysRegistry().KeyDeleteValue(key, before[1].c_str()), kErrorFileNotFound);
    char name[64];
    uint32_t length = sizeof name;
    ASSERT_EQ(SysRegistry().KeyEnumValue(key, 1, name, &length), 0);
    EXPECT_EQ(std::string(name), before[2]);
    EXPECT_EQ(length, before[2].size());
    before.erase(before.begin() + 1);
    EXPECT_EQ(Enumerate(key), before);
    uint32_t count = 0;
    EXPECT_EQ(SysRegistry().KeyValueCount(key, &count), 0);
    EXPECT_EQ(count, 3u);
}

TEST_F(RegistryContract, EnumerationNameLengthCountsTheZeroGoingIn) {
    SetText(key, "three", "x");
    char name[64];
    uint32_t length = 5;
    EXPECT_EQ(SysRegistry().KeyEnumValue(key, 0, name, &length), kErrorMoreData);
    length = 6;
    EXPECT_EQ(SysRegistry().KeyEnumValue(key, 0, name, &length), 0);
    EXPECT_EQ(length, 5u);
    EXPECT_STREQ(name, "three");
}

// The autostart walk enumerates with 16383 characters counting the zero, so
// the longest name the system holds is the one it cannot list.
TEST_F(RegistryContract, TheLongestValueNameListsOnlyWithRoomForItsZero) {
    // Created and sorted alike: "f..." lists first on Windows and on Wine.
    const std::string fits(16382, 'f'), longest(16383, 'l');
    SetText(key, fits.c_str(), "x");
    SetText(key, longest.c_str(), "x");
    std::vector<char> name(16384);
    uint32_t length = 16383;
    EXPECT_EQ(SysRegistry().KeyEnumValue(key, 0, name.data(), &length), 0);
    EXPECT_EQ(std::string(name.data()), fits);
    length = 16383;
    EXPECT_EQ(SysRegistry().KeyEnumValue(key, 1, name.data(), &length), kErrorMoreData);
    length = 16384;
    EXPECT_EQ(SysRegistry().KeyEnumValue(key, 1, name.data(), &length), 0);
    EXPECT_EQ(std::string(name.data()), longest);
}

TEST_F(RegistryContract, QueryTellsTheSizeAndRefusesSmallBuffers) {
    SetText(key, "App", "C:\\app.exe");
    RegKey reader;
    ASSERT_EQ(SysRegistry().KeyOpen(kHkeyCurrentUser, registryKey.c_str(), kKeyRead, &reader), 0);
    uint32_t size = 0;
    EXPECT_EQ(SysRegistry().KeyQueryValue(reader, "APP", nullptr, nullptr, &size), 0);
    EXPECT_EQ(size, 11u);
    uint8_t data[32];
    uint32_t type = 0;
    size = 4;
    EXPECT_EQ(SysRegistry().KeyQueryValue(reader, "app", &type, data, &size), kErrorMoreData);
    EXPECT_EQ(size, 11u);
    size = sizeof data;
    EXPECT_EQ(SysRegistry().KeyQueryValue(reader, "app", &type, data, &size), 0);
    EXPECT_EQ(size, 11u);
    EXPECT_EQ(type, kRegSz);
    EXPECT_STREQ(reinterpret_cast<const char*>(data), "C:\\app.exe");
    size = sizeof data;
    EXPECT_EQ(SysRegistry().KeyQueryValue(reader, "missing", &type, data, &size), kErrorFileNotFound);
    EXPECT_EQ(SysRegistry().KeyClose(reader), 0);
}

TEST_F(RegistryContract, KeyOpenedForReadingCannotChangeOnNt) {
    if (!env.IsNtFamily()) GTEST_SKIP() << "the 9x family has no registry security";
    SetText(key, "App", "C:\\app.exe");
    RegKey reader;
    ASSERT_EQ(SysRegistry().KeyOpen(kHkeyCurrentUser, registryKey.c_str(), kKeyRead, &reader), 0);
    EXPECT_EQ(SysRegistry().KeyDeleteValue(reader, "App"), kErrorAccessDenied);
    const uint8_t byte = 1;
    EXPECT_EQ(SysRegistry().KeySetValue(reader, "New", kRegBinary, &byte, 1), kErrorAccessDenied);
    SysRegistry().KeyClose(reader);
    uint32_t count = 0;
    EXPECT_EQ(SysRegistry().KeyValueCount(key, &count), 0);
    EXPECT_EQ(count, 1u);
}

TEST_F(RegistryContract, KeyNamesIgnoreCase) {
    RegKey child;
    ASSERT_EQ(SysRegistry().KeyCreate(key, "Child", &child), 0);
    SetText(child, "v", "1");
    SysRegistry().KeyClose(child);
    std::string upper = registryKey + "\\CHILD";
    for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    ASSERT_EQ(SysRegistry().KeyOpen(kHkeyCurrentUser, upper.c_str(), kKeyRead, &child), 0);
    uint32_t count = 0;
    EXPECT_EQ(SysRegistry().KeyValueCount(child, &count), 0);
    EXPECT_EQ(count, 1u);
    SysRegistry().KeyClose(child);
    EXPECT_EQ(SysRegistry().KeyOpen(kHkeyCurrentUser, (registryKey + "\\Other").c_str(), kKeyRead, &child),
              kErrorFileNotFound);
}

TEST_F(RegistryContract, KeyWithSubKeysIsKeptOnNt) {
    if (!env.IsNtFamily()) GTEST_SKIP() << "the 9x family deletes the whole tree";
    RegKey child;
    ASSERT_EQ(SysRegistry().KeyCreate(key, "Child\\Grandchild", &child), 0);
    SysRegistry().KeyClose(child);
    std::string path = registryKey + "\\Child";
    EXPECT_EQ(SysRegistry().KeyDelete(kHkeyCurrentUser, path.c_str()), kErrorAccessDenied);
    ASSERT_EQ(SysRegistry().KeyOpen(kHkeyCurrentUser, path.c_str(), kKeyRead, &child), 0);
    SysRegistry().KeyClose(child);
    EXPECT_EQ(SysRegistry().KeyDelete(kHkeyCurrentUser, (path + "\\grandchild").c_str()), 0);
    EXPECT_EQ(SysRegistry().KeyDelete(kHkeyCurrentUser, path.c_str()), 0);
    EXPECT_EQ(SysRegistry().KeyOpen(kHkeyCurrentUser, path.c_str(), kKeyRead, &child), kErrorFileNotFound);
    EXPECT_EQ(SysRegistry().KeyDelete(kHkeyCurrentUser, path.c_str()), kErrorFileNotFound);
}

TEST_F(RegistryContract, KeyWithSubKeysGoesWithItsTreeOn9x) {
    if (env.IsNtFamily()) GTEST_SKIP() << "the NT family refuses a key with sub-keys";
    RegKey child;
    ASSERT_EQ(SysRegistry().KeyCreate(key, "Child\\Grandchild", &child), 0);
    SysRegistry().KeyClose(child);
    std::string path = registryKey + "\\Child";
    EXPECT_EQ(SysRegistry().KeyDelete(kHkeyCurrentUser, path.c_str()), 0);
    EXPECT_EQ(SysRegistry().KeyOpen(kHkeyCurrentUser, (path + "\\Grandchild").c_str(), kKeyRead, &child),
              kErrorFileNotFound);
}

TEST_F(RegistryContract, ServiceKeysGoFromBothControlSetsAsFarAsTheSystemAllows) {
    const std::string name = "CfxSvc" + registryKey.substr(registryKey.size() - 4);
    const std::string set1 = "SYSTEM\\ControlSet001\\Services\\" + name;
    const std::string set2 = "SYSTEM\\ControlSet002\\Services\\" + name;
    for (const std::string& path : {set1 + "\\Enum", set1 + "\\Security", set2 + "\\Enum", set2 + "\\Parameters"}) {
        RegKey made;
        ASSERT_EQ(SysRegistry().KeyCreate(kHkeyLocalMachine, path.c_str(), &made), 0) << path;
        SysRegistry().KeyClose(made);
    }
    EXPECT_EQ(RemoveServiceKeys(name.c_str()), 1);
    RegKey left;
    EXPECT_EQ(SysRegistry().KeyOpen(kHkeyLocalMachine, set1.c_str(), kKeyRead, &left), kErrorFileNotFound);
    EXPECT_EQ(SysRegistry().KeyOpen(kHkeyLocalMachine, (set2 + "\\Enum").c_str(), kKeyRead, &left),
              kErrorFileNotFound);
    // NT keeps a service key that still has a sub-key of its own; the 9x family takes the tree.
    int32_t parameters = SysRegistry().KeyOpen(kHkeyLocalMachine, (set2 + "\\Parameters").c_str(), kKeyRead, &left);
    EXPECT_EQ(parameters, env.IsNtFamily() ? kErrorSuccess : kErrorFileNotFound);
    if (parameters == kErrorSuccess) SysRegistry().KeyClose(left);
    SysRegistry().KeyDelete(kHkeyLocalMachine, (set2 + "\\Parameters").c_str());
    SysRegistry().KeyDelete(kHkeyLocalMachine, set2.c_str());
}

}  // namespace
