// The structural check of hives and the comparison of a hive written back
// with the one it replaces.
#include <gtest/gtest.h>

#include <functional>

#include "offline/HiveTestSupport.h"
#include "platform/offline/HiveCompare.h"
#include "platform/offline/HiveReader.h"
#include "platform/offline/HiveWalk.h"

namespace {

hive_set_value Value(const char* name, std::string& data) {
    return {const_cast<char*>(name), hive_t_REG_BINARY, data.size(), &data[0]};
}

// Root \ Key (values "a" and "b", subkeys Alpha and Beta).
HiveBytes SmallHive() {
    return HiveMadeWith([](hive_h* hive) {
        std::string a(8, 'a'), b(8, 'b');
        hive_set_value values[] = {Value("a", a), Value("b", b)};
        hive_node_h key = hivex_node_add_child(hive, hivex_root(hive), "Key");
        return key && hivex_node_set_values(hive, key, 2, values, 0) == 0 && hivex_node_add_child(hive, key, "Alpha") &&
               hivex_node_add_child(hive, key, "Beta");
    });
}

struct Records {
    HiveKey root, key, alpha, beta;
    HiveValue a, b;
    uint32_t subkeyList;
};

Records Read(const HiveBytes& image) {
    HiveReader hive(image);
    Records r;
    std::string problem;
    std::vector<HiveSubkey> subkeys;
    std::vector<uint32_t> lists, values;
    uint32_t list;
    hive.Open(&problem);
    hive.Key(hive.Root(), &r.root, &problem);
    hive.Subkeys(r.root, &subkeys, &lists, &problem);
    hive.Key(subkeys.at(0).key, &r.key, &problem);
    hive.Subkeys(r.key, &subkeys, &lists, &problem);
    hive.Key(subkeys.at(0).key, &r.alpha, &problem);
    hive.Key(subkeys.at(1).key, &r.beta, &problem);
    r.subkeyList = lists.at(0);
    hive.Values(r.key, &values, &list, &problem);
    hive.Value(values.at(0), &r.a, &problem);
    hive.Value(values.at(1), &r.b, &problem);
    return r;
}

void Put(HiveBytes* image, uint32_t cell, size_t field, uint32_t value) {
    HiveWrite32(image->data(), kHiveBaseBlockSize + cell + 4 + field, value);
}

TEST(HiveWalkTest, RefusesWhatWouldMakeHivexAbortOrReadOtherwiseThanWindows) {
    const HiveBytes sound = SmallHive();
    std::string problem;
    ASSERT_TRUE(WalkHive(sound, &problem)) << problem;
    const Records r = Read(sound);
    struct Case {
        const char* expected;
        std::function<void(HiveBytes*)> damage;
    };
    const Case cases[] = {
        {"used twice", [&](HiveBytes* h) { Put(h, r.b.offset, 8, r.a.dataOffset); }},  // two values, one data cell
        {"used twice", [&](HiveBytes* h) { Put(h, r.a.offset, 8, HiveRead32(sound.data(), kHiveRootCell)); }},
        {"parent pointer", [&](HiveBytes* h) { Put(h, r.beta.offset, 0x10, r.alpha.offset); }},
        {"more values", [&](HiveBytes* h) { Put(h, r.key.offset, 0x24, 0xFFFFFFFFu); }},
        {"out of order", [&](HiveBytes* h) {  // the entries of Alpha and Beta swapped
             for (size_t at = 4; at < 12; ++at) std::swap((*h)[kHiveBaseBlockSize + r.subkeyList + 4 + at],
                                                          (*h)[kHiveBaseBlockSize + r.subkeyList + 12 + at]);
         }},
        {"hash", [&](HiveBytes* h) { Put(h, r.subkeyList, 8, 0x1234); }},
        {"impossible size", [&](HiveBytes* h) { HiveWrite32(h->data(), kHiveBaseBlockSize + r.a.offset, 0xFFFFFFF4u); }},
        {"security", [&](HiveBytes* h) { Put(h, r.key.security, 12, 0); }},
    };
    for (const Case& c : cases) {
        HiveBytes damaged = sound;
        c.damage(&damaged);
        EXPECT_FALSE(WalkHive(damaged, &problem)) << c.expected;
        EXPECT_NE(std::string::npos, problem.find(c.expected)) << problem;
    }
}

TEST(HiveWalkTest, AWrittenHiveMustBeTheOldOneButForTheIntendedRemoval) {
    const HiveBytes before = SmallHive();
    const Records r = Read(before);
    auto keepOnly = [](const char* name, char fill) {
        return [name, fill](hive_h* hive) {
            std::string data(8, fill);
            hive_set_value value = Value(name, data);
            hive_node_h key = hivex_node_get_child(hive, hivex_root(hive), "Key");
            return hivex_node_set_values(hive, key, 1, &value, 0) == 0;
        };
    };
    const HiveBytes removed = HiveMadeWith(keepOnly("a", 'a'), before);
    const HiveBytes alsoChanged = HiveMadeWith(keepOnly("a", 'z'), before);
    std::string difference;
    ASSERT_TRUE(WalkHive(removed, &difference)) << difference;
    const HiveEdit removeB = {HiveEdit::kRemoveValue, r.key.offset, r.b.offset, ""};
    EXPECT_TRUE(CompareHives(before, removed, {removeB}, &difference)) << difference;
    EXPECT_FALSE(CompareHives(before, removed, {}, &difference));
    EXPECT_FALSE(CompareHives(before, removed, {{HiveEdit::kRemoveValue, r.key.offset, r.a.offset, ""}}, &difference));
    EXPECT_FALSE(CompareHives(before, alsoChanged, {removeB}, &difference));
    EXPECT_EQ("key \\Key: value \"a\" changed", difference);

    const HiveBytes keyGone = HiveMadeWith([](hive_h* hive) {
        hive_node_h key = hivex_node_get_child(hive, hivex_root(hive), "Key");
        return hivex_node_delete_child(hive, hivex_node_get_child(hive, key, "Beta")) == 0;
    }, before);
    EXPECT_TRUE(CompareHives(before, keyGone, {{HiveEdit::kRemoveKey, r.beta.offset, 0, ""}}, &difference)) << difference;
    EXPECT_FALSE(CompareHives(before, keyGone, {{HiveEdit::kRemoveKey, r.alpha.offset, 0, ""}}, &difference));
}

}  // namespace
