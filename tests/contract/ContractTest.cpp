#include "contract/ContractTest.h"

#include <cstdio>

namespace {

const char kRegistryBase[] = "Software\\CordafixContract";

// Removes the case's key and whatever the case left below it, deepest first,
// so that it works where deleting a key with sub-keys is refused.
void RemoveKeyTree(const std::string& path) {
    for (const char* child : {"Child\\Grandchild", "Child", "Other"})
        SysRegistry().KeyDelete(kHkeyCurrentUser, (path + "\\" + child).c_str());
    SysRegistry().KeyDelete(kHkeyCurrentUser, path.c_str());
}

}  // namespace

void ContractTest::SetUp() {
    static int counter = 0;
    char name[16];
    snprintf(name, sizeof name, "CT%04d", ++counter);
    folder = env.Drive() + "\\" + name;
    registryKey = std::string(kRegistryBase) + "\\" + name;
    ASSERT_TRUE(env.MakeFolder(folder)) << folder;
}

void ContractTest::TearDown() {
    env.Release();
    RemoveKeyTree(registryKey);
    SysRegistry().KeyDelete(kHkeyCurrentUser, kRegistryBase);  // leaves no trace once the last case is done
}

std::vector<std::string> ContractTest::List(const std::string& pattern) {
    std::vector<std::string> names;
    FindEntry entry;
    SearchHandle search = SysFiles().FindFirst(pattern.c_str(), &entry);
    if (search == kNoSearch) return names;
    do names.push_back(entry.name);
    while (SysFiles().FindNext(search, &entry));
    SysFiles().FindEnd(search);
    return names;
}
